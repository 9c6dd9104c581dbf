#include "game/gameflow.h"
#include "cards/cardcode.h"
#include "game/dealend.h"
#include "game/messagerouter.h"
#include "game/moves.h"
#include "game/protocol.h"
#include "game/tablesnapshot.h"
#include "game/gamecontext.h"
#include "game/tableview.h"
#include "game/turnclock.h"
#include "hub/hubserver.h"
#include <QTimer>
#include <algorithm>

// How long after its countdown the host waits before it passes for a player who does not move.
static constexpr int kTurnGraceMs = 5000;

TGameFlow::TGameFlow(TGameContext &w) : w(w)
{
    m_deadline = new QTimer;
    m_deadline->setSingleShot(true);
    QObject::connect(m_deadline, &QTimer::timeout, m_deadline, [this] { deadlinePassed(); });
}

TGameFlow::~TGameFlow()
{
    delete m_deadline;
}

int TGameFlow::absoluteSeat(int screen) const
{
    const int mine = w.roster.seatOfNick(w.st.myNick);
    if (screen < 1 || screen > 4 || !TuserInfo::validSeat(mine))
        return 0;
    return (mine - 1 + screen - 1) % 4 + 1;
}

int TGameFlow::screenSeat(int absolute) const
{
    const int mine = w.roster.seatOfNick(w.st.myNick);
    if (!TuserInfo::validSeat(absolute) || !TuserInfo::validSeat(mine))
        return 0;
    return (absolute - mine + 4) % 4 + 1;
}

void TGameFlow::whenDealStarted(std::function<void()> action)
{
    if (m_startingDeal)
        m_deferred << std::move(action);
    else
        action();
}

void TGameFlow::runDeferred()
{
    while (!m_deferred.isEmpty() && !m_startingDeal) {
        std::function<void()> action = m_deferred.takeFirst();
        action();
    }
}

void TGameFlow::btnNewClick()
{
    if (!w.st.hosting) {
        w.view->setButtonEnabled(TGameButton::NewGame, false);
        w.router->sendToTable(Tag::NEXTGAME);
        return;
    }
    // One deal at a time: a second "New Game" while dealing or playing is not a new deal.
    if (m_dealing || m_startingDeal || w.st.gameOn || !w.gHost || !w.gHost->Active())
        return;
    w.view->setButtonEnabled(TGameButton::NewGame, false);

    m_dealing = true;
    const int serial = ++m_dealSerial;
    w.st.gameOn = true;
    w.view->showHand(false);
    w.CardEng1.ResetDeck();
    w.st.selectedCount = 0;
    w.table.beginDealing();
    std::array<QStringList, 5> dealt;

    // The deal is called off when wait mode or the end of hosting comes while messages run.
    auto stillDealing = [this, serial] {
        return w.st.gameOn && w.st.hosting && w.gHost && w.gHost->Active() && m_dealSerial == serial;
    };

    for (int k = 1; k <= 13; ++k) {
        for (int s = 1; s <= 4; ++s) {
            const QString code = w.CardEng1.DrawCard();
            dealt[size_t(s)] << code;
            if (s == 1) {
                w.view->placeDealtCard(w.st.myNick, k, code);
                continue;
            }
            const TuserRec &u = w.roster.user(s);
            if (u.port >= 0 && !u.nick.isEmpty() && !u.away)
                w.gHost->SendToClient(u.port, Tag::CARD, QString::number(u.port), u.nick, QString::number(k), code,
                                      QString(), QString());
        }
        w.view->processPending();
        if (!stillDealing()) {
            m_dealing = false;
            return;
        }
        w.view->waitProcessing(10);
        if (!stillDealing()) {
            m_dealing = false;
            return;
        }
    }

    // The host knows every seated hand; the cards of a free seat are out of play.
    for (int s = 1; s <= 4; ++s)
        if (w.table.seated(s))
            w.table.setHand(s, dealt[size_t(s)]);
    w.router->sendToTable(Tag::NEWGAME);
    m_dealing = false;
    startDeal();
}

void TGameFlow::startDeal()
{
    // The host is still dealing: a "[NEWGAME]" now cannot be its own.
    if (m_dealing)
        return;
    if (m_startingDeal) {
        m_deferred << [this] { startDeal(); };
        return;
    }
    m_startingDeal = true;
    ++m_dealSerial;
    m_turnHeld = false;
    m_heldTurnNick.clear();
    m_moveSeen = true;

    w.st.gameOn = true;
    w.view->hideWaitPanel();
    w.view->setWhoThrow(QString());
    w.view->showTableCards({});
    // Nobody has passed yet in a new deal; a marker left from the last one would differ between copies.
    for (int s = 1; s <= 4; ++s)
        w.view->setPassMarker(s, false);
    for (int s = 1; s <= 4; ++s)
        if (w.table.seated(absoluteSeat(s)))
            w.view->showSeatCards(s, true);
    if (!w.st.gameOn) {
        // Wait mode came while the seats were shown: this deal is off.
        m_startingDeal = false;
        runDeferred();
        return;
    }

    if (!w.st.hosting) {
        // A client sees its own hand and only the size of the others.
        const int mine = w.roster.seatOfNick(w.st.myNick);
        QStringList own;
        for (int k = 1; k <= 13; ++k)
            if (!m_dealt[size_t(k)].isEmpty())
                own << m_dealt[size_t(k)];
        for (int s = 1; s <= 4; ++s) {
            if (s == mine)
                w.table.setHand(s, own);
            else
                w.table.setHiddenHand(s, w.table.seated(s) ? 13 : 0);
        }
    }
    m_dealt = {};
    w.table.startPlay();
    const QStringList codes = w.table.hand(w.roster.seatOfNick(w.st.myNick));

    w.view->setButtonEnabled(TGameButton::SortNumber, true);
    w.view->setButtonEnabled(TGameButton::SortFlower, true);
    w.view->setButtonEnabled(TGameButton::CardDown, true);
    w.view->setButtonEnabled(TGameButton::Throw, false);
    w.view->setButtonEnabled(TGameButton::Pass, false);

    if (w.st.startSeat != 0) {
        w.roster.turnCursor = w.st.startSeat;
        takeTurn(w.st.startSeat);
    } else if (w.st.hosting) {
        // The host dealt every card: the holder of the lowest one leads, whatever anyone reports.
        const int first = w.table.lowestCardSeat();
        if (first != 0) {
            const TuserRec &u = w.roster.user(first);
            w.st.startSeat = first;
            w.roster.turnCursor = first;
            takeTurn(first);
            w.router->sendToTable(Tag::WHOSETURN, QString::number(u.port), u.nick);
        }
    } else {
        w.router->sendToTable(Tag::SMALLESTCARD, QString::number(w.rules.nthLowestValue(codes, 1)));
    }

    w.view->sortHandByNumber();
    if (w.st.hosting && w.gHost && w.gHost->Active())
        w.view->setButtonEnabled(TGameButton::Stop, true);
    w.view->redrawTable();
    w.view->lowerAllCards();

    // Reports and moves that came in while the seats were shown are handled now, in their order.
    m_startingDeal = false;
    runDeferred();

    if (w.st.gameOn && (w.rules.hasFourTwos(codes) || w.rules.isThirteenRun(codes))) {
        w.router->sendToTable(Tag::GAMEOVER, QString::number(w.st.myPort), w.st.myNick);
        w.dealEnd->endDeal(w.st.myPort, w.st.myNick);
    }
}

void TGameFlow::onWhoseTurn(const QString &nick)
{
    if (m_startingDeal) {
        m_deferred << [this, nick] { onWhoseTurn(nick); };
        return;
    }
    if (!w.st.gameOn)
        return;
    const int n = w.roster.relativeSeat(w.st.myNick, nick);
    if (n < 1)
        return;
    if (m_turnHeld)
        releaseHeldTurn(); // two notices without a move between: the first one stands as it came
    // Another guest's move is announced after the turn notice it caused: hold the notice for it.
    if (!w.st.hosting && !m_moveSeen && w.st.turnSeat > 1) {
        m_turnHeld = true;
        m_heldTurnNick = nick;
        return;
    }
    takeTurn(n);
}

void TGameFlow::takeTurn(int seat)
{
    w.st.turnSeat = seat;
    m_moveSeen = false;
    showTurn(seat);
    if (w.st.hosting)
        armDeadline(seat);
}

bool TGameFlow::receivingDeal() const
{
    return std::any_of(m_dealt.begin(), m_dealt.end(), [](const QString &code) { return !code.isEmpty(); });
}

bool TGameFlow::deadlineRunning() const
{
    return m_deadline->isActive();
}

void TGameFlow::armDeadline(int seat)
{
    m_deadline->stop();
    // The host's own player has its countdown; every other player is watched here.
    if (!w.st.gameOn || seat <= 1 || !w.table.seated(seat))
        return;
    // A player whose connection is away cannot move: the others wait only a moment.
    int ms = w.roster.user(seat).away ? kAwayDeadlineMs : m_deadlineOverrideMs;
    if (ms <= 0) {
        const QStringList hand = w.table.hand(seat);
        const QStringList table = w.table.tableCards();
        const QString handCode = hand.value(0);
        const QString tableCode = table.value(0);
        ms = 1000 * countdownSeconds(int(hand.size()), int(table.size()), tableCode, handCode,
                                           w.CardEng1.CardValue(tableCode), w.CardEng1.CardValue(handCode))
             + kTurnGraceMs;
    }
    m_deadlineSeat = seat;
    m_deadlineSerial = m_dealSerial;
    m_deadline->start(ms);
}

void TGameFlow::deadlinePassed()
{
    const int seat = m_deadlineSeat;
    if (!w.st.hosting || !w.st.gameOn || m_dealSerial != m_deadlineSerial || w.table.toMove() != seat
        || !w.table.seated(seat))
        return;
    const TuserRec u = w.roster.user(seat);
    // The pass every copy already understands, the stalled player's own copy included.
    w.router->sendToTable(Tag::THROW, QString::number(u.port), u.nick, QStringLiteral("0"), QString());
    applyThrow(u.port, u.nick, 0, QString());
}

void TGameFlow::releaseHeldTurn()
{
    m_turnHeld = false;
    const int n = w.roster.relativeSeat(w.st.myNick, m_heldTurnNick);
    m_heldTurnNick.clear();
    if (w.st.gameOn && n >= 1)
        takeTurn(n);
}

void TGameFlow::onCard(const QString &nick, int position, const QString &code)
{
    if (position < 1 || position > 13)
        return;
    // The hand of the last deal turns face down as the new one comes in, as it does on the host.
    if (position == 1 && !w.st.gameOn && nick == w.st.myNick)
        w.view->showHand(false);
    if (nick == w.st.myNick && isCardCode(code))
        m_dealt[size_t(position)] = code;
    w.view->placeDealtCard(nick, position, code);
}

void TGameFlow::onUser(const QString &what, const QString &nick, const QString &ip, int port, int seat)
{
    if (what == Tag::JOIN)
        seatPlayer(nick, ip, port, seat);
    else if (what == Tag::QUIT)
        unseatPlayer(nick);
}

void TGameFlow::showTurn(int seat)
{
    if (seat < 1 || seat > 4)
        return;
    w.view->setPassMarker(seat, false);
    w.view->setTurnMarker(seat);
    const bool mine = w.st.turnSeat == 1;
    w.view->setButtonEnabled(TGameButton::Throw, mine);
    w.view->setButtonEnabled(TGameButton::Pass, mine);

    const int absolute = absoluteSeat(seat);
    const bool backAtThrower = w.table.inDeal() && absolute != 0 && absolute == w.table.thrower();
    w.table.setToMove(absolute);
    if (backAtThrower) {
        // Everybody else passed: the table is cleared and the thrower leads anything.
        w.view->setWhoThrow(QString());
        w.view->showTableCards({});
        for (int s = 1; s <= 4; ++s)
            w.view->setPassMarker(s, false);
    }
    if (!mine) {
        w.view->stopCountdown();
        return;
    }
    w.view->startCountdown();
}

void TGameFlow::applyThrow(int port, const QString &nick, int count, const QString &cardList)
{
    if (const std::optional<TThrowClaim> claim =
            parseThrowClaim(QString::number(port), nick, QString::number(count), cardList))
        applyThrow(*claim);
}

void TGameFlow::applyThrow(const TThrowClaim &claim)
{
    if (m_startingDeal) {
        m_deferred << [this, claim] { applyThrow(claim); };
        return;
    }
    // Between deals there is nothing to throw on.
    if (!w.st.gameOn)
        return;
    const QString &nick = claim.nick;
    const int n = w.roster.relativeSeat(w.st.myNick, nick);
    if (n == 0)
        return;
    w.view->restoreIcon();

    const TMove move{absoluteSeat(n), claim.shown};
    const int count = claim.count;
    const int before = w.table.cardCount(move.seat);
    const bool pass = claim.pass;
    if (pass)
        w.table.applyMove(TMove{move.seat, {}}, 0);
    else
        w.table.applyMove(move, count);

    if (pass) {
        w.view->setPassMarker(n, true);
    } else {
        // The thrown cards leave another seat's row from the right.
        if (n > 1 && w.table.cardCount(move.seat) < before)
            w.view->hideSeatCards(n, w.table.cardCount(move.seat) + 1, before);
        w.view->showTableCards(w.table.tableCards());
        w.view->setWhoThrow(letterSpaced(nick));
    }

    m_moveSeen = true;
    if (w.st.hosting) {
        const int next = w.roster.nextSeat();
        const TuserRec &u = w.roster.user(next);
        const QString movePort = QString::number(u.port);
        const QString moveNick = u.nick;
        w.st.turnSeat = next;
        w.router->sendToTable(Tag::WHOSETURN, movePort, moveNick);
        takeTurn(w.st.turnSeat);
    } else if (m_turnHeld) {
        releaseHeldTurn();
    }
}

void TGameFlow::endOwnTurn()
{
    w.view->stopCountdown();
    w.view->setButtonEnabled(TGameButton::Pass, false);
    w.view->setButtonEnabled(TGameButton::Throw, false);
}

void TGameFlow::btnPassClick()
{
    w.view->stopCountdown();
    w.view->setButtonEnabled(TGameButton::Pass, false);
    w.view->setButtonEnabled(TGameButton::Throw, false);
    w.router->sendToTable(Tag::THROW, QString::number(w.st.myPort), w.st.myNick, QStringLiteral("0"), QString());
    w.view->restoreIcon();
    applyThrow(w.st.myPort, w.st.myNick, 0, QString());
}

bool TGameFlow::seatPlayer(const QString &nick, const QString &ip, int port, int seat)
{
    if (nick.isEmpty())
        return false;
    if (TuserInfo::validSeat(seat) && w.roster.user(seat).nick == nick && w.roster.user(seat).port >= 0) {
        TuserRec &back = w.roster.user(seat);
        back.IP = ip;
        back.port = port;
        back.alive = true;
        seatBack(seat);
        return true;
    }
    TuserRec rec;
    rec.nick = nick;
    rec.IP = ip;
    rec.port = port;
    rec.credit = 1000;
    // A newcomer never saw a ping that may be running, so it is not taken for a lost player.
    rec.alive = true;
    if (!w.roster.setSeat(rec, seat))
        return false;
    const int n = w.roster.relativeSeat(w.st.myNick, nick);
    if (n > 0) {
        w.view->showSeat(n, letterSpaced(nick), QStringLiteral("1000"), true);
        w.view->showSeatCards(n, true);
    }
    return true;
}

bool TGameFlow::unseatPlayer(const QString &nick)
{
    const int n = w.roster.relativeSeat(w.st.myNick, nick);
    if (n == 0)
        return false;
    w.view->showSeat(n, kEmptySeatText, QStringLiteral("0"), false);
    w.view->showSeatCards(n, false);
    w.view->setSeatAway(n, false);
    return w.roster.removeByNick(nick);
}

void TGameFlow::seatAway(int seat)
{
    if (!w.table.seated(seat))
        return;
    w.roster.user(seat).away = true;
    if (const int n = screenSeat(seat))
        w.view->setSeatAway(n, true);
    if (w.st.hosting && w.st.gameOn && w.table.toMove() == seat)
        armDeadline(seat);
}

void TGameFlow::onAway(const QString &nick)
{
    if (nick != w.st.myNick)
        seatAway(w.roster.seatOfNick(nick));
}

void TGameFlow::seatBack(int seat)
{
    if (!TuserInfo::validSeat(seat))
        return;
    w.roster.user(seat).away = false;
    if (const int n = screenSeat(seat))
        w.view->setSeatAway(n, false);
    // Back in time for its turn: the full time again, as its own copy counts it.
    if (w.st.hosting && w.st.gameOn && w.table.toMove() == seat)
        armDeadline(seat);
}

void TGameFlow::forgetTable()
{
    for (int s = 1; s <= 4; ++s) {
        w.view->showSeat(s, kEmptySeatText, QStringLiteral("0"), false);
        w.view->setSeatAway(s, false);
    }
    w.roster.clearAll();
    m_dealt = {};
    m_turnHeld = false;
    m_heldTurnNick.clear();
    w.enterWaitMode();
}

void TGameFlow::resumeDeal(const QString &cards, const QString &thrower, const QString &passed, const QString &counts)
{
    const std::optional<TTableSnapshot> snapshot = parseTableSnapshot(cards, thrower, passed, counts);
    const int mine = w.roster.seatOfNick(w.st.myNick);
    if (!snapshot || w.st.hosting || m_dealing || m_startingDeal || !TuserInfo::validSeat(mine))
        return;
    ++m_dealSerial;
    m_turnHeld = false;
    m_heldTurnNick.clear();
    m_moveSeen = true;
    w.st.gameOn = true;
    w.st.turnSeat = 0;
    w.st.selectedCount = 0;

    QStringList own;
    for (int k = 1; k <= 13; ++k)
        if (!m_dealt[size_t(k)].isEmpty())
            own << m_dealt[size_t(k)];
    m_dealt = {};
    for (int s = 1; s <= 4; ++s) {
        if (s == mine)
            w.table.setHand(s, own);
        else
            w.table.setHiddenHand(s, w.table.seated(s) ? snapshot->counts[size_t(s)] : 0);
    }
    w.table.startPlay();
    w.table.setTableCards(snapshot->tableCards, w.roster.seatOfNick(snapshot->thrower));
    for (const QString &nick : snapshot->passed)
        w.table.markPassed(w.roster.seatOfNick(nick));

    w.view->hideWaitPanel();
    for (int n = 1; n <= 4; ++n) {
        const int s = absoluteSeat(n);
        const bool seated = w.table.seated(s);
        w.view->showSeatCards(n, seated);
        if (seated)
            w.view->hideSeatCards(n, w.table.cardCount(s) + 1, 13);
        w.view->setPassMarker(n, seated && w.table.passed(s));
    }
    w.view->showTableCards(w.table.tableCards());
    w.view->setWhoThrow(snapshot->thrower.isEmpty() ? QString() : letterSpaced(snapshot->thrower));
    w.view->setButtonEnabled(TGameButton::SortNumber, true);
    w.view->setButtonEnabled(TGameButton::SortFlower, true);
    w.view->setButtonEnabled(TGameButton::CardDown, true);
    w.view->setButtonEnabled(TGameButton::Throw, false);
    w.view->setButtonEnabled(TGameButton::Pass, false);
    w.view->sortHandByNumber();
    w.view->redrawTable();
    w.view->lowerAllCards();

    // A hand that wins as dealt and was never played from is claimed now, as at the start of a deal.
    if (own.size() == 13 && (w.rules.hasFourTwos(own) || w.rules.isThirteenRun(own))) {
        w.router->sendToTable(Tag::GAMEOVER, QString::number(w.st.myPort), w.st.myNick);
        w.dealEnd->endDeal(w.st.myPort, w.st.myNick);
    }
}
