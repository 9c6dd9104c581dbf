// The window draws the client model: every change redraws the table from what the model holds, and
// the model's events become message boxes, chat lines and the status bar.
#include "client/clienttable.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/connection.h"
#include "net/hubdialer.h"
#include "ui/botseats.h"
#include "ui/chatpanel.h"
#include "ui/countdown.h"
#include "ui/handhandling.h"
#include "ui/homehosting.h"
#include "portmap/hostingstatus.h"
#include "ui/mainfrm.h"
#include "ui/playcard.h"
#include "ui/tablesession.h"
#include <QAction>
#include <QLabel>
#include <QPushButton>

ClientTable *TmainFrm::client() const
{
    return session ? session->client() : nullptr;
}

TableHost *TmainFrm::tableHost() const
{
    return session ? session->tableHost() : nullptr;
}

bool TmainFrm::startHosting(int port, const QString &nick)
{
    session->setOpenPort(homeHosting && homeHosting->openPort());
    if (!session->host(port, nick)) {
        socketError(session->errorText());
        return false;
    }
    bindHost(session->tableHost());
    mnuSetting->setEnabled(false);
    mnuDisconn->setEnabled(true);
    setStatusText(hostingText(session->hostAddress(), session->listeningPort()));
    showTable();
    return true;
}

void TmainFrm::startJoining(const QString &host, int port, const QString &nick, const QString &table)
{
    session->join(host, port, nick, table);
    showTable();
}

void TmainFrm::leaveTable()
{
    const bool joined = session->active() && !session->hosting();
    ClientTable *c = client();
    if (joined && c) {
        c->leave(); // its end says where it was connected
        return;
    }
    socketError(QString());
    setStatusText(QStringLiteral(" Connection closed."));
}

int TmainFrm::absoluteSeat(int screen) const
{
    const ClientTable *c = client();
    const int mine = c ? c->mySeat() : 0;
    if (screen < 1 || screen > 4 || mine == 0)
        return 0;
    return (mine - 1 + screen - 1) % 4 + 1;
}

int TmainFrm::screenSeat(int absolute) const
{
    const ClientTable *c = client();
    const int mine = c ? c->mySeat() : 0;
    if (absolute < 1 || absolute > 4 || mine == 0)
        return 0;
    return (absolute - mine + 4) % 4 + 1;
}

void TmainFrm::bindClient(ClientTable *c)
{
    const auto redraw = [this] { showTable(); };
    for (auto signal : {&ClientTable::seatsChanged, &ClientTable::handChanged, &ClientTable::waitMode})
        connect(c, signal, this, redraw);
    connect(c, &ClientTable::leaderChanged, this, redraw);
    connect(c, &ClientTable::creditChanged, this, redraw);
    connect(c, &ClientTable::awayChanged, this, redraw);
    connect(c, &ClientTable::moved, this, redraw);
    connect(c, &ClientTable::turnChanged, this, redraw);
    connect(c, &ClientTable::dealStarted, this, [this, c] {
        m_winnerText.clear();
        hand->newHand(c->hand());
        restoreIcon();
        showTable();
    });
    connect(c, &ClientTable::dealEnded, this, &TmainFrm::dealEnded);
    connect(c, &ClientTable::countdownChanged, this, [this](int) { countdown->tick(); });
    connect(c, &ClientTable::chatLine, this, [this](const QString &nick, const QString &text) { chat->onChat(nick, text); });
    connect(c, &ClientTable::systemLine, this, [this](const QString &line) { chat->onSystem(line); });
    connect(c, &ClientTable::dealChecked, this, [this](const QString &line) { chat->onSystem(line); });
    connect(c, &ClientTable::refused, this, [this](const QString &text, bool error) {
        showMessage(error ? QMessageBox::Critical : QMessageBox::Information, text);
    });
    connect(c, &ClientTable::bankrupt, this, &TmainFrm::bankrupt);
    connect(c->connection(), &Connection::opened, this, [this, c] {
        mnuSetting->setEnabled(false);
        mnuDisconn->setEnabled(true);
        if (!session->hosting())
            setStatusText(QStringLiteral(" Connected to ") + c->connection()->peerAddress() + QStringLiteral(" : ")
                          + QString::number(c->connection()->wirePort()));
    });
    connect(c, &ClientTable::connectionLost, this, [this, c](const QString &) {
        setStatusText(QStringLiteral(" Reconnecting to ") + c->connection()->peerAddress() + QStringLiteral(" : ")
                      + QString::number(session->dialer() ? session->dialer()->port() : 0) + QStringLiteral(" ..."));
        showTable();
    });
    connect(c, &ClientTable::disconnected, this, &TmainFrm::tableOver, Qt::QueuedConnection);
}

void TmainFrm::bindHost(TableHost *host)
{
    connect(host, &TableHost::refused, this, [this](const QString &line) { chat->onSystem(line); });
    connect(host, &TableHost::phaseChanged, this, [this] { showTable(); });
    connect(host, &TableHost::seatsChanged, this, [this] { showTable(); });
}

void TmainFrm::tableOver(const QString &text)
{
    socketError(text);
}

void TmainFrm::dealEnded(int winnerSeat)
{
    const ClientTable *c = client();
    restoreIcon();
    m_winnerText = QStringLiteral(" ") + c->roster().user(winnerSeat).nick + QStringLiteral(" WIN !");
    showTable();
}

void TmainFrm::bankrupt(int seat)
{
    ClientTable *c = client();
    if (!c)
        return;
    if (seat != c->mySeat()) {
        showMessage(QMessageBox::Information, QStringLiteral(" ") + c->roster().user(seat).nick
                                                  + QStringLiteral(" BANKRUPT !"));
        return;
    }
    showMessage(QMessageBox::Information, QStringLiteral(" YOU ARE BANKRUPT !"));
    // A bankrupt host ends the whole table; a guest's model has left its table already.
    if (session->hosting())
        leaveTable();
}

void TmainFrm::showTable()
{
    showSeats();
    showDeal();
    showButtons();
    countdown->show();
}

void TmainFrm::showSeats()
{
    const ClientTable *c = client();
    const bool seatedHere = c && c->mySeat() != 0;
    const bool dealShown = seatedHere && c->table().phase() != TablePhase::Waiting;
    for (int n = 1; n <= 4; ++n) {
        const int a = absoluteSeat(n);
        const bool seated = seatedHere && c->table().seated(a);
        const TuserRec u = seated ? c->roster().user(a) : TuserRec{};
        nickLabel(n)->setText(seated ? letterSpaced(u.nick) : emptySeatText());
        pointLabel(n)->setText(seated ? c->creditText(a) : QStringLiteral("0"));
        pointLabel(n)->setVisible(seated);
        awayLabel(n)->setVisible(seated && c->away(a));
        passLabel(n)->setVisible(seated && c->inDeal() && c->table().passed(a));
        if (n == 1)
            continue;
        // Another seat's backs: the cards it still holds in a deal, a full hand otherwise.
        const int shown = !seated ? 0 : dealShown ? c->table().cardCount(a) : 13;
        for (int k = 1; k <= 13; ++k)
            if (QWidget *slot = seatSlot(n, k))
                slot->setVisible(k <= shown);
    }
}

void TmainFrm::showDeal()
{
    const ClientTable *c = client();
    const bool seatedHere = c && c->mySeat() != 0;
    const TablePhase phase = seatedHere ? c->table().phase() : TablePhase::Waiting;
    const bool dealShown = phase == TablePhase::Playing || phase == TablePhase::DealOver;

    // The own hand: face up in a deal, face down between deals, none away from a table.
    if (dealShown) {
        hand->showHand(c->hand(), true);
    } else {
        showSeatCards(1, seatedHere);
        hand->showHand({}, false);
    }
    txtWait->setVisible(seatedHere && !dealShown);

    if (!dealShown) {
        hideTableCards();
        txtWhoThrow->hide();
        imgTurn->hide();
        return;
    }
    // The winning throw stays beside the winner's name until the next deal.
    const QStringList codes = c->table().tableCards();
    for (int n = 1; n <= 5; ++n) {
        TPlayCard *slot = tableSlot(n);
        if (n > codes.size()) {
            slot->hide();
            continue;
        }
        slot->SetCardCode(codes.at(n - 1));
        slot->OpenCard();
        slot->show();
    }
    const int thrower = c->table().thrower();
    if (!m_winnerText.isEmpty())
        setWhoThrow(m_winnerText);
    else
        setWhoThrow(c->inDeal() && thrower ? letterSpaced(c->roster().user(thrower).nick) : QString());
    // The turn marker: the player to move, or the leader of the next deal once one is won.
    const int marked = screenSeat(c->inDeal() ? c->turnSeat() : c->leader());
    if (marked)
        setTurnMarker(marked);
    else
        imgTurn->hide();
}

void TmainFrm::showButtons()
{
    const ClientTable *c = client();
    const TableHost *host = tableHost();
    const bool inDeal = c && c->inDeal();
    const bool myTurn = inDeal && c->myTurn();
    // The owner deals when nobody has won the last deal; after a win only the winner starts the next.
    const bool ownerDeals = host && host->mayDeal() && c && c->mySeat() != 0 && c->leader() == 0;
    btnNew->setEnabled(ownerDeals || (c && c->mayAskNextDeal()));
    for (QPushButton *b : {btnSortN, btnSortF, btnCardDown})
        b->setEnabled(inDeal);
    btnThrow->setEnabled(myTurn);
    Hint1->setEnabled(myTurn);
    btnPass->setEnabled(myTurn);
    btnStop->setEnabled(host && host->phase() != TableHost::Phase::Waiting);
    btnPing->setEnabled(host && host->connectionCount() > 1 && !host->pinging());
    if (botSeats)
        botSeats->refresh();
}
