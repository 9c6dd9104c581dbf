#pragma once
// A hosted table with one guest seated on a raw connection, through which arbitrary bytes reach the
// host's message handling (hub parser, router, game control). Used by the fuzz target fuzz_dispatch
// and by the replay test of its corpus. Needs a QApplication.
#include "cards/playcard.h"
#include "game/gameflow.h"
#include "game/protocol.h"
#include "hub/hubserver.h"
#include "hub/wire.h"
#include "ui/frmsetting.h"
#include "ui/mainfrm.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPair>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <memory>

namespace DispatchHarness {

inline const QString kHostNick = QStringLiteral("Hank");
inline const QString kGuestNick = QStringLiteral("Fz");
// Written after every input; the host ignores the tag, and its arrival means everything before it was handled.
inline const QString kEndTag = QStringLiteral("[FEEDEND]");

// The host deals this deck to every input, so a deal is the same each time: the guest (seat 3) holds
// the Diamonds 3 to K and the Cloves 3 and 4, and leads with the Diamond 3; the host holds the Hearts
// 3 to K and the Cloves 5 and 6.
inline QStringList guestCards()
{
    QStringList g;
    for (int r = 3; r <= 13; ++r)
        g << QStringLiteral("4%1").arg(r);
    g << QStringLiteral("33") << QStringLiteral("34");
    return g;
}

inline QStringList hostCards()
{
    QStringList h;
    for (int r = 3; r <= 13; ++r)
        h << QStringLiteral("2%1").arg(r);
    h << QStringLiteral("35") << QStringLiteral("36");
    return h;
}

inline QStringList stackedDeck()
{
    const QStringList g = guestCards();
    const QStringList h = hostCards();
    QStringList rest;
    for (int s = 1; s <= 4; ++s)
        for (int r = 1; r <= 13; ++r) {
            const QString code = QStringLiteral("%1%2").arg(s).arg(r);
            if (!g.contains(code) && !h.contains(code))
                rest << code;
        }
    QStringList deck;
    for (int i = 0; i < 52; ++i) {
        if (i % 4 == 0)
            deck << h.at(i / 4);
        else if (i % 4 == 2)
            deck << g.at(i / 4);
        else
            deck << rest.takeFirst();
    }
    return deck;
}

// Runs events until pred holds or ms have passed; the answer is pred's.
inline bool runUntil(const std::function<bool()> &pred, int ms)
{
    QDeadlineTimer deadline(ms);
    QTimer wake; // WaitForMoreEvents returns at least this often
    wake.start(20);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline QByteArray frame(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
                        const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {})
{
    return BuildFrame(tag, v1, v2, v3, v4, v5, v6, false, 0);
}

class Table
{
public:
    enum Outcome { Consumed, ConnectionLost, TimedOut };

    // shown false keeps the window off the screen: the same handling without painting, for speed.
    explicit Table(bool shown = true) : m_host(new TmainFrm)
    {
        m_host->programDir = m_dir.path() + QLatin1Char('/');
        QObject::connect(m_host->gHost, &TwsHUBsvr::OnDataArrived, m_host,
                         [this](const QString &, int, const QString &tag, const QString &v1, const QString &,
                                const QString &, const QString &, const QString &, const QString &) {
                             if (tag == kEndTag && v1 == QString::number(m_serial))
                                 m_endSeen = true;
                         });
        if (shown)
            m_host->show();
        else
            m_host->FormShow(); // what showing runs first: the table drawn, the settings loaded
    }
    ~Table()
    {
        dropGuest();
        delete m_host;
    }
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    TmainFrm *host() const { return m_host; }
    QTcpSocket *guest() const { return m_guest; }

    bool guestSeated() const
    {
        return m_guest && m_guest->state() == QAbstractSocket::ConnectedState
               && TuserInfo::validSeat(m_host->roster.seatOfPort(m_guest->localPort()));
    }

    // Hosting, the guest connected and seated; builds what is missing. Empty, or why it failed.
    QString setUp()
    {
        // A long send queue to the guest is dropped with the whole table: the pump would take minutes.
        if (m_host->gHost->Active() && m_host->gHost->queuedMessages() > 400) {
            dropGuest();
            m_host->gHost->setActive(false);
        }
        if (!m_host->gHost->Active()) {
            dropGuest();
            m_host->frmSetting->txtNick->setText(kHostNick);
            m_host->gHost->setPort(0);
            m_host->gHost->setActive(true);
            if (!runUntil([this] { return m_host->st.hosting && m_host->gHost->listeningPort() > 0; }, 5000))
                return QStringLiteral("hosting did not start: ") + m_host->gHost->lastErrorText();
        }
        if (guestSeated())
            return {};
        dropGuest();
        // The guest leaves nothing behind at the table: every deal ends with its departure.
        m_host->resetGameDisplay();
        m_guest = new QTcpSocket;
        QObject::connect(m_guest, &QTcpSocket::readyRead, m_guest, [this] { m_guest->readAll(); });
        m_guest->connectToHost(QStringLiteral("127.0.0.1"), quint16(m_host->gHost->listeningPort()));
        if (!runUntil([this] { return m_guest->state() == QAbstractSocket::ConnectedState; }, 5000))
            return QStringLiteral("the guest could not connect");
        m_guest->write(frame(Tag::CHKVER, kVersionText) + frame(Tag::REQJOIN, kGuestNick));
        m_guest->flush();
        if (!runUntil([this] { return guestSeated(); }, 5000))
            return QStringLiteral("the guest was not seated");
        m_guestSeat = m_host->roster.seatOfPort(m_guest->localPort());
        return {};
    }

    // Before every input: no deal running, both players at 1000 credits, the same deck, an empty chat log.
    void resetDeal()
    {
        if (m_host->st.gameOn || m_host->flow->dealing())
            m_host->resetGameDisplay();
        for (int s = 1; s <= 4; ++s) {
            TuserRec &u = m_host->roster.user(s);
            if (u.port >= 0 && !u.nick.isEmpty()) {
                u.credit = 1000;
                if (QLabel *points = m_host->pointLabel(m_host->roster.relativeSeat(m_host->st.myNick, u.nick)))
                    points->setText(QStringLiteral("1000"));
            }
        }
        m_host->CardEng1.ResetDeck();
        m_host->CardEng1.stackDeck(stackedDeck());
        m_host->chatLog->clear();
        // The guest won the last deal, so the host deals when it asks for the next one.
        if (m_guest)
            m_host->table.endDeal(m_host->roster.seatOfPort(m_guest->localPort()));
    }

    // Writes the bytes as the guest, then the end mark, and runs events until the host has handled
    // everything before the mark, the connection is gone, or ms have passed.
    Outcome feed(const QByteArray &bytes, int ms)
    {
        ++m_serial;
        m_endSeen = false;
        // A byte that is no delimiter first: a frame the input left open then ends before the mark.
        m_guest->write(bytes + QByteArray("\x05") + frame(kEndTag, QString::number(m_serial)));
        m_guest->flush();
        const bool done = runUntil(
            [this] {
                return m_endSeen || !m_guest || m_guest->state() != QAbstractSocket::ConnectedState
                       || !m_host->gHost->Active();
            },
            ms);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (m_endSeen)
            return Consumed;
        return done ? ConnectionLost : TimedOut;
    }

    // What should hold after any input from the guest; empty when it does.
    QString problem() const
    {
        if (!m_host->gHost->Active() || !m_host->st.hosting)
            return QStringLiteral("the host stopped hosting");
        if (!guestSeated())
            return QStringLiteral("the guest lost its seat or its connection");
        if (m_host->roster.seatOfPort(m_guest->localPort()) != m_guestSeat)
            return QStringLiteral("the guest moved seats");
        if (m_host->roster.seatOfNick(kHostNick) != 1 || m_host->roster.seatOfNick(kGuestNick) != m_guestSeat)
            return QStringLiteral("the nicks no longer sit where they sat");
        if (m_host->roster.seatCount() != 2)
            return QStringLiteral("%1 seats taken at a table of two").arg(m_host->roster.seatCount());
        const int sum = m_host->roster.user(1).credit + m_host->roster.user(m_guestSeat).credit;
        if (sum != 2000)
            return QStringLiteral("the credits add up to %1 instead of 2000").arg(sum);
        QSet<QString> seen;
        int held = 0;
        // Between deals the hand slots show no cards of their own; in a deal they hold the dealt ones.
        for (int n = 1; n <= 13 && m_host->st.gameOn; ++n) {
            const TPlayCard *slot = m_host->handSlot(n);
            if (!slot || slot->isHidden() || slot->cardStatus() != _Open)
                continue;
            ++held;
            if (seen.contains(slot->GetCardCode()))
                return QStringLiteral("the host's hand shows %1 twice").arg(slot->GetCardCode());
            seen.insert(slot->GetCardCode());
        }
        if (held > 13)
            return QStringLiteral("the host holds %1 cards").arg(held);
        if (m_host->countTableCards() > 5)
            return QStringLiteral("%1 cards on the table").arg(m_host->countTableCards());
        return {};
    }

private:
    void dropGuest()
    {
        if (!m_guest)
            return;
        m_guest->abort();
        delete m_guest;
        m_guest = nullptr;
        // The host notices the departure at once; let it.
        runUntil([this] { return !TuserInfo::validSeat(m_host->roster.seatOfNick(kGuestNick)); }, 2000);
    }

    QTemporaryDir m_dir; // the window's program directory: its settings file goes here
    TmainFrm *m_host;
    QTcpSocket *m_guest = nullptr;
    int m_guestSeat = 0;
    quint64 m_serial = 0;
    bool m_endSeen = false;
};

// Inputs of the seed corpus: real frames of every tag the program knows, as the guest would send
// them, and the sequences of a deal.
inline QList<QPair<QString, QByteArray>> seedInputs()
{
    const QString g = kGuestNick;
    const QString one = QStringLiteral("1");
    QList<QPair<QString, QByteArray>> seeds;
    auto add = [&seeds](const QString &name, const QByteArray &bytes) { seeds.append({name, bytes}); };

    // Admission and housekeeping
    add("chkver_same", frame(Tag::CHKVER, kVersionText));
    add("chkver_other", frame(Tag::CHKVER, QStringLiteral("Quadrix v1.10")));
    add("reqjoin_again", frame(Tag::REQJOIN, QStringLiteral("Zed")));
    add("reqjoin_empty", frame(Tag::REQJOIN));
    add("pong_own", frame(Tag::PONG, g));
    add("pong_host", frame(Tag::PONG, kHostNick));
    add("reqver", frame(Tag::REQVER));
    add("reqinfo", frame(Tag::REQINFO));
    add("full", frame(Tag::FULL));
    add("ongame", frame(Tag::ONGAME));
    add("diffver", frame(Tag::DIFFVER, kVersionText));
    add("chnick", frame(Tag::CHNICK));
    add("user_join", frame(Tag::USER, Tag::JOIN, QStringLiteral("Zed"), QStringLiteral("127.0.0.1"),
                           QStringLiteral("4242"), QStringLiteral("2")));
    add("user_quit", frame(Tag::USER, Tag::QUIT, kHostNick, QStringLiteral("127.0.0.1"), QStringLiteral("0"),
                           one));
    add("credit", frame(Tag::CREDIT, QStringLiteral("0"), kHostNick, QStringLiteral("-5")));
    add("waitmode", frame(Tag::WAITMODE));
    add("ping", frame(Tag::PING));

    // Game
    const QByteArray deal = frame(Tag::NEXTGAME);
    const QByteArray lead = frame(Tag::SMALLESTCARD, QStringLiteral("31"));
    add("nextgame", deal);
    add("smallestcard", frame(Tag::SMALLESTCARD, QStringLiteral("204")));
    add("card", frame(Tag::CARD, QStringLiteral("0"), kHostNick, one, QStringLiteral("11")));
    add("newgame", frame(Tag::NEWGAME));
    add("whoseturn", frame(Tag::WHOSETURN, QStringLiteral("0"), kHostNick));
    add("throw_single", frame(Tag::THROW, one, g, one, QStringLiteral("43#")));
    add("throw_pass", frame(Tag::THROW, one, g, QStringLiteral("0")));
    add("throw_five", frame(Tag::THROW, one, g, QStringLiteral("5"), QStringLiteral("43#44#45#46#47#")));
    add("throw_badcount", frame(Tag::THROW, one, g, QStringLiteral("x"), QStringLiteral("43#")));
    add("pass", frame(Tag::PASS, one, g));
    add("gameover", frame(Tag::GAMEOVER, one, g));
    add("istart", frame(Tag::iSTART, one, g));
    add("system", frame(Tag::SYSTEM, QStringLiteral("Fz joined the chat")));
    add("chat", frame(Tag::CHAT, g, QStringLiteral("hello all")));
    add("chat_othernick", frame(Tag::CHAT, kHostNick, QStringLiteral("not me")));

    // Sequences of a deal
    add("deal_lead", deal + lead + frame(Tag::THROW, one, g, one, QStringLiteral("43#")));
    add("deal_round", deal + lead + frame(Tag::THROW, one, g, QStringLiteral("2"), QStringLiteral("33#43#"))
                          + frame(Tag::THROW, one, g, QStringLiteral("0"))
                          + frame(Tag::THROW, one, g, one, QStringLiteral("413#")));
    add("deal_win", deal + lead + frame(Tag::THROW, one, g, one, QStringLiteral("43#")) + frame(Tag::GAMEOVER, one, g)
                        + frame(Tag::iSTART, one, g) + deal);
    add("deal_twice", deal + deal + lead + frame(Tag::NEWGAME) + frame(Tag::WHOSETURN, one, g));
    add("deal_chat", deal + frame(Tag::CHAT, g, QStringLiteral("gl")) + lead + frame(Tag::PASS));

    // Damaged streams
    const QByteArray t = frame(Tag::THROW, one, g, one, QStringLiteral("44#"));
    add("split_frame", deal + lead + t.left(9) + QByteArray("\x01\x01", 2) + t);
    add("stray_bytes", QByteArray("abc") + frame(Tag::CHAT, g, QStringLiteral("x")) + QByteArray("\x02\x04\x03"));
    add("high_bytes", frame(Tag::CHAT, g, QString::fromLatin1("\xe9\xff\x80 caf\xe9")));
    add("empty_tag", QByteArray("\x01\x02\x02\x04\x03\x03\x03\x03\x03\x04\x01", 11));
    return seeds;
}

} // namespace DispatchHarness
