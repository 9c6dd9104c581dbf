#pragma once
// A table host (TableHost) with its owner and two guests seated and a bare connection that never
// joined, all over in-process pairs; an input is decoded into messages from these connections and a
// few of the owner's calls, delivered one by one. Used by the fuzz target fuzz_dispatch and by the
// replay test of its corpus. Needs a QCoreApplication; no window.
//
// Input: frames as the wire carries them (01 02 tag 02 04 v1 03 .. v6 04 01, unscrambled), cut as a
// host reads a stream; each frame is a message from the current sender, the guest Fz at first. A byte
// 0xF0..0xFF outside a frame is a command, its low four bits:
//   0..7  the sender becomes connection k (0 owner Hank, 1 guest Fz, 2 guest Gil, 3 bare, 4.. new ones)
//   8     a new connection reaches the table and becomes the sender
//   9     the sender's end closes
//   A B C the owner deals, stops the deal, pings the players
//   D     time passes: every timer the host has running fires
//   E     held seats run out at once from now on
//   F     the next deals give Fz the four 2s, a hand that wins as dealt
// A REJOIN whose key is "?" carries the last seat key its nick was given.
#include "game/protocol.h"
#include "host/tablehost.h"
#include "hub/wire.h"
#include "net/localpipe.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QTimer>
#include <array>
#include <memory>
#include <utility>
#include <vector>

namespace DispatchHarness {

inline const QString kOwnerNick = QStringLiteral("Hank");
inline const QString kGuestNick = QStringLiteral("Fz");
inline const QString kThirdNick = QStringLiteral("Gil");
inline const QString kAskKey = QStringLiteral("?");

enum Sender { Owner = 0, Guest = 1, Third = 2, Bare = 3 };
constexpr int kMaxConnections = 8;
// Rounds of the event loop one step may take; a host that keeps talking to itself longer is stuck.
constexpr int kMaxRounds = 10000;

namespace Cmd {
constexpr char Deal = char(0xFA), Stop = char(0xFB), Ping = char(0xFC), TimePasses = char(0xFD),
               HoldsRunOut = char(0xFE), FourTwos = char(0xFF), NewConnection = char(0xF8), Close = char(0xF9);
inline QByteArray from(int k) { return QByteArray(1, char(0xF0 + k)); }
} // namespace Cmd

// The cards of the two stacked decks, seat by seat; seats 2 and 4 share what is left.
inline QStringList guestCards(bool fourTwos)
{
    QStringList g;
    if (fourTwos)
        g << QStringLiteral("12") << QStringLiteral("22") << QStringLiteral("32") << QStringLiteral("42");
    for (int r = 3; g.size() < (fourTwos ? 13 : 11); ++r)
        g << QStringLiteral("4%1").arg(r);
    if (!fourTwos)
        g << QStringLiteral("33") << QStringLiteral("34");
    return g;
}

inline QStringList ownerCards()
{
    QStringList h;
    for (int r = 3; r <= 13; ++r)
        h << QStringLiteral("2%1").arg(r);
    h << QStringLiteral("35") << QStringLiteral("36");
    return h;
}

// In dealing order (seat 1, 2, 3, 4, 1, ...). Fz holds the Diamond 3, the lowest card, and leads;
// Hank holds the Hearts 3 to K and the Cloves 5 and 6.
inline QStringList buildDeck(bool fourTwos)
{
    const QStringList g = guestCards(fourTwos);
    const QStringList h = ownerCards();
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

inline const QStringList &stackedDeck(bool fourTwos)
{
    static const QStringList plain = buildDeck(false), twos = buildDeck(true);
    return fourTwos ? twos : plain;
}

inline QByteArray frame(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
                        const QString &v4 = {}, const QString &v5 = {}, const QString &v6 = {})
{
    return BuildFrame(tag, v1, v2, v3, v4, v5, v6, false, 0);
}

class Table
{
public:
    struct Player
    {
        LocalConnection *end = nullptr;
        QString key;    // a seat key whose seat is not announced yet
        QString seated; // the nick it was seated under, as its seat's announcement or the setup says
        bool open = true;
        QList<HubMessage> heard;
    };

    // keepHeard: every player keeps what it hears, for a test to look back on.
    explicit Table(bool keepHeard = false) : m_keepHeard(keepHeard)
    {
        m_host->setNextDeck(stackedDeck(false));
        QObject::connect(m_host.get(), &TableHost::seatsChanged, m_host.get(), [this] { track(); });
        QObject::connect(m_host.get(), &TableHost::phaseChanged, m_host.get(), [this](TableHost::Phase p) {
            ++m_activity;
            if (p == TableHost::Phase::Playing)
                m_host->setNextDeck(stackedDeck(m_fourTwos)); // every deal draws the harness's deck
            track();
        });
        QObject::connect(m_host.get(), &TableHost::noted, m_host.get(), [this] { ++m_activity; });
        connectPlayer(true);
        for (int k = Guest; k <= Bare; ++k)
            connectPlayer(false);
        // The owner first: the first guest then sits opposite (seat 3), the second in seat 2.
        send(Owner, HubMessage{Tag::REQJOIN, {kOwnerNick}});
        drain();
        send(Guest, HubMessage{Tag::REQJOIN, {kGuestNick}});
        send(Third, HubMessage{Tag::REQJOIN, {kThirdNick}});
        drain();
        m_players[Owner].seated = kOwnerNick;
    }
    ~Table()
    {
        m_host.reset(); // the host's ends go with it; the players' ends with m_side
    }
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    TableHost &host() const { return *m_host; }
    const Player &player(int k) const { return m_players.at(size_t(k)); }
    int players() const { return int(m_players.size()); }

    // Decodes the input and delivers it step by step, each step handled before the next.
    void feed(const QByteArray &input)
    {
        int sender = Guest;
        qsizetype i = 0;
        const qsizetype n = input.size();
        while (i < n && m_problem.isEmpty()) {
            const uchar b = uchar(input.at(i));
            if (b >= 0xF0) {
                drain(); // what the sender said is handled before anything else happens
                command(b & 0x0F, sender);
                ++i;
                drain();
                continue;
            }
            if (b != 0x01) { // outside a frame: no frame's byte, as the host's reader skips it
                ++i;
                continue;
            }
            // A frame runs to the next message mark: the stream as read when a read ends at each mark.
            qsizetype close = input.indexOf('\x01', i + 1);
            if (close < 0)
                break; // never closed: the reader would wait for the rest
            const HubMessage m = ParseFrame(input.mid(i, close - i + 1), false, 0, true);
            i = close + 1;
            if (m.Protocol.isEmpty())
                continue;
            // A sender's frames arrive together, as one read of a stream would bring them.
            send(sender, m);
        }
        drain();
        track();
    }

    // What should hold after any input; empty when it does.
    QString problem() const
    {
        if (!m_problem.isEmpty())
            return m_problem;
        const TableHost &h = *m_host;
        const TTable &t = h.table();
        // Cards: each card in one place at most, no hand above 13, 52 or fewer in play.
        QSet<QString> seen;
        int inPlay = 0;
        const auto place = [&](const QStringList &cards, const QString &where) -> QString {
            for (const QString &c : cards) {
                if (seen.contains(c))
                    return QStringLiteral("%1 is held twice (found again in %2)").arg(c, where);
                seen.insert(c);
                ++inPlay;
            }
            return {};
        };
        for (int s = 1; s <= 4; ++s) {
            if (!t.seated(s) || !t.knowsHand(s))
                continue;
            if (t.hand(s).size() > 13)
                return QStringLiteral("seat %1 holds %2 cards").arg(s).arg(t.hand(s).size());
            if (const QString why = place(t.hand(s), QStringLiteral("seat %1").arg(s)); !why.isEmpty())
                return why;
        }
        if (const QString why = place(t.playedCards(), QStringLiteral("the played cards")); !why.isEmpty())
            return why;
        if (inPlay > 52)
            return QStringLiteral("%1 cards in play").arg(inPlay);
        for (const QString &c : t.tableCards())
            if (!t.playedCards().contains(c))
                return QStringLiteral("%1 lies on the table but was never played").arg(c);

        // Phase: the host's and its table model's agree; a deal has someone to move and two players.
        const bool playing = h.phase() == TableHost::Phase::Playing;
        if (playing != t.inDeal())
            return QStringLiteral("the host's phase and its table's disagree");
        if (playing && (!t.seated(t.toMove()) || h.seatedCount() < 2))
            return QStringLiteral("a deal with seat %1 to move and %2 seated").arg(t.toMove()).arg(h.seatedCount());

        // Seats: one seat per nick, the owner (while connected) in seat 1.
        QSet<QString> nicks;
        for (int s = 1; s <= 4; ++s) {
            const TuserRec &u = h.roster().user(s);
            if (u.port < 0 || u.nick.isEmpty())
                continue;
            if (nicks.contains(u.nick))
                return QStringLiteral("%1 sits in two seats").arg(u.nick);
            nicks.insert(u.nick);
        }
        if (m_players[Owner].open && h.roster().seatOfNick(kOwnerNick) != 1)
            return QStringLiteral("the owner is no longer in seat 1");
        if (h.connectionCount() > int(m_players.size()))
            return QStringLiteral("%1 connections at a table given %2").arg(h.connectionCount()).arg(m_players.size());

        // Credits: every player sat down with 1000, and a deal only moves credits between players.
        int credits = m_departedCredits;
        for (int s = 1; s <= 4; ++s)
            if (!m_seen[size_t(s)].isEmpty())
                credits += h.roster().user(s).credit;
        if (credits != 1000 * m_joins)
            return QStringLiteral("credits add up to %1 for %2 players seated so far").arg(credits).arg(m_joins);
        return {};
    }

private:
    void connectPlayer(bool owner)
    {
        auto [hostEnd, playerEnd] = LocalConnection::createPair(m_host.get(), m_side.get());
        const int k = int(m_players.size());
        m_players.push_back({playerEnd, {}, {}, true, {}});
        QObject::connect(playerEnd, &Connection::message, playerEnd,
                         [this, k](const HubMessage &m) { heard(k, m); });
        QObject::connect(playerEnd, &Connection::closed, playerEnd, [this, k] {
            ++m_activity;
            m_players[size_t(k)].open = false;
        });
        QObject::connect(hostEnd, &Connection::message, hostEnd, [this] { ++m_activity; });
        QObject::connect(hostEnd, &Connection::closed, hostEnd, [this] { ++m_activity; });
        if (owner)
            m_host->setOwner(hostEnd, QStringLiteral("127.0.0.1"));
        else
            m_host->addConnection(hostEnd);
    }

    void heard(int k, const HubMessage &m)
    {
        ++m_activity;
        Player &p = m_players[size_t(k)];
        if (m.Protocol == Tag::SEATKEY) {
            p.key = m.value[0];
        } else if (m.Protocol == Tag::USER && m.value[0] == Tag::JOIN && !p.key.isEmpty()) {
            // The seat's announcement follows its key at once: the nick this connection sits under.
            p.seated = m.value[1];
            m_keys.insert(p.seated, std::exchange(p.key, QString()));
        } else if (m.Protocol == Tag::CARD && m_problem.isEmpty() && m.value[1] != p.seated) {
            // A player sees its own cards only.
            m_problem = QStringLiteral("connection %1 (%2) was told %3's card %4")
                            .arg(k)
                            .arg(p.seated.isEmpty() ? QStringLiteral("not seated") : p.seated, m.value[1], m.value[3]);
        }
        if (m_keepHeard)
            p.heard.append(m);
    }

    void send(int k, HubMessage m)
    {
        if (m.Protocol == Tag::REJOIN && m.value[1] == kAskKey)
            m.value[1] = m_keys.value(m.value[0]);
        m_players[size_t(k)].end->send(m);
    }

    void command(int c, int &sender)
    {
        if (c < 8) {
            if (c < int(m_players.size()))
                sender = c;
            return;
        }
        switch (c) {
        case 0x8:
            if (int(m_players.size()) < kMaxConnections) {
                connectPlayer(false);
                sender = int(m_players.size()) - 1;
            }
            return;
        case 0x9:
            m_players[size_t(sender)].end->close();
            return;
        case 0xA:
            m_host->deal();
            return;
        case 0xB:
            m_host->stopDeal();
            return;
        case 0xC:
            m_host->pingPlayers();
            return;
        case 0xD:
            timePasses();
            return;
        case 0xE:
            m_host->setHoldMs(0);
            return;
        case 0xF:
            m_fourTwos = true;
            m_host->setNextDeck(stackedDeck(true));
            return;
        }
    }

    // The timers the host runs fire now, each as if its time had come; a repeating one (the ping
    // period) once.
    void timePasses()
    {
        const QList<QTimer *> timers = m_host->findChildren<QTimer *>(Qt::FindDirectChildrenOnly);
        for (QTimer *t : timers) {
            if (!t->isActive())
                continue;
            if (t->isSingleShot())
                t->start(0); // every running timer of the host is restarted with its own time when armed again
            else
                m_host->pingPlayers();
        }
    }

    // Runs events until the host and every player have nothing left to hear.
    void drain()
    {
        for (int round = 0; round < kMaxRounds; ++round) {
            const quint64 before = m_activity;
            QCoreApplication::sendPostedEvents();
            if (m_activity != before)
                continue;
            QCoreApplication::processEvents(); // timers that are due
            if (m_activity == before)
                return;
        }
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("the host did not settle within %1 rounds of the event loop").arg(kMaxRounds);
    }

    // Who sits where and with what credit, as of now; a seat's player who is gone takes its credit along.
    void track()
    {
        ++m_activity;
        const TuserInfo &roster = m_host->roster();
        for (int s = 1; s <= 4; ++s) {
            const TuserRec &u = roster.user(s);
            const QString now = u.port >= 0 ? u.nick : QString();
            QString &was = m_seen[size_t(s)];
            if (now != was) {
                if (!was.isEmpty())
                    m_departedCredits += m_credit[size_t(s)];
                if (!now.isEmpty()) {
                    ++m_joins;
                    if (u.credit != 1000 && m_problem.isEmpty())
                        m_problem = QStringLiteral("%1 sat down with %2 credits").arg(now).arg(u.credit);
                }
                was = now;
            }
            m_credit[size_t(s)] = now.isEmpty() ? 0 : u.credit;
        }
    }

    std::unique_ptr<QObject> m_side = std::make_unique<QObject>(); // owns the players' ends
    std::unique_ptr<TableHost> m_host = std::make_unique<TableHost>();
    std::vector<Player> m_players;
    QHash<QString, QString> m_keys;
    bool m_keepHeard;
    bool m_fourTwos = false;
    quint64 m_activity = 0;
    QString m_problem;
    std::array<QString, 5> m_seen;
    std::array<int, 5> m_credit{};
    int m_joins = 0;
    int m_departedCredits = 0;
};

// Inputs of the seed corpus: messages of every tag the program knows, from each kind of connection,
// the owner's calls, and the sequences of deals.
inline QList<QPair<QString, QByteArray>> seedInputs()
{
    const QString g = kGuestNick;
    const QString zero = QStringLiteral("0");
    const QString one = QStringLiteral("1");
    QList<QPair<QString, QByteArray>> seeds;
    auto add = [&seeds](const QString &name, const QByteArray &bytes) { seeds.append({name, bytes}); };
    const QByteArray deal(1, Cmd::Deal);
    const auto throwAs = [&](const QString &nick, const QString &cards, int count) {
        return frame(Tag::THROW, zero, nick, QString::number(count), cards);
    };

    // Admission and housekeeping, from the seated guest
    add("chkver_same", frame(Tag::CHKVER, kVersionText));
    add("chkver_other", frame(Tag::CHKVER, QStringLiteral("Quadrix v1.10")));
    add("reqjoin_again", frame(Tag::REQJOIN, QStringLiteral("Zed")));
    add("reqjoin_empty", frame(Tag::REQJOIN));
    add("pong_own", frame(Tag::PONG, g));
    add("pong_host", frame(Tag::PONG, kOwnerNick));
    add("reqver", frame(Tag::REQVER));
    add("reqinfo", frame(Tag::REQINFO));
    add("full", frame(Tag::FULL));
    add("ongame", frame(Tag::ONGAME));
    add("diffver", frame(Tag::DIFFVER, kVersionText));
    add("chnick", frame(Tag::CHNICK));
    add("user_join", frame(Tag::USER, Tag::JOIN, QStringLiteral("Zed"), QStringLiteral("127.0.0.1"),
                           QStringLiteral("4242"), QStringLiteral("2")));
    add("user_quit", frame(Tag::USER, Tag::QUIT, kOwnerNick, QStringLiteral("127.0.0.1"), zero, one));
    add("credit", frame(Tag::CREDIT, zero, kOwnerNick, QStringLiteral("-5")));
    add("waitmode", frame(Tag::WAITMODE));
    add("ping", frame(Tag::PING));
    add("seatkey", frame(Tag::SEATKEY, QStringLiteral("00")));
    add("away", frame(Tag::AWAY, kOwnerNick));
    add("table", frame(Tag::TABLE, QStringLiteral("43#"), QStringLiteral("3")));

    // Game, from the seated guest
    add("nextgame", frame(Tag::NEXTGAME));
    add("smallestcard", frame(Tag::SMALLESTCARD, QStringLiteral("204")));
    add("card", frame(Tag::CARD, zero, kOwnerNick, one, QStringLiteral("11")));
    add("newgame", frame(Tag::NEWGAME));
    add("whoseturn", frame(Tag::WHOSETURN, zero, kOwnerNick));
    add("throw_single", throwAs(g, QStringLiteral("43#"), 1));
    add("throw_pass", throwAs(g, {}, 0));
    add("throw_five", throwAs(g, QStringLiteral("43#44#45#46#47#"), 5));
    add("throw_badcount", frame(Tag::THROW, zero, g, QStringLiteral("x"), QStringLiteral("43#")));
    add("pass", frame(Tag::PASS, one, g));
    add("gameover", frame(Tag::GAMEOVER, zero, g));
    add("istart", frame(Tag::iSTART, zero, g));
    add("system", frame(Tag::SYSTEM, QStringLiteral("Fz joined the chat")));
    add("chat", frame(Tag::CHAT, g, QStringLiteral("hello all")));
    add("chat_othernick", frame(Tag::CHAT, kOwnerNick, QStringLiteral("not me")));

    // Other connections
    add("bare_moves", Cmd::from(Bare) + frame(Tag::CHAT, g, QStringLiteral("x")) + deal + throwAs(g, QStringLiteral("43#"), 1)
                          + frame(Tag::GAMEOVER, zero, g) + frame(Tag::NEXTGAME));
    add("bare_joins_mid_deal", deal + Cmd::from(Bare) + frame(Tag::REQJOIN, QStringLiteral("Ivo")));
    add("bare_takes_a_nick", Cmd::from(Bare) + frame(Tag::REQJOIN, g) + frame(Tag::REQJOIN, QStringLiteral("Ivo"))
                                 + deal + frame(Tag::PONG, QStringLiteral("Ivo")));
    add("newcomer_fills", QByteArray(1, Cmd::NewConnection) + frame(Tag::REQJOIN, QStringLiteral("Ivo"))
                              + QByteArray(1, Cmd::NewConnection) + frame(Tag::REQJOIN, QStringLiteral("Jo")) + deal);
    add("owner_speaks", Cmd::from(Owner) + frame(Tag::CHAT, kOwnerNick, QStringLiteral("hi"))
                            + frame(Tag::REQJOIN, QStringLiteral("Hank2")) + deal + throwAs(kOwnerNick, QStringLiteral("23#"), 1));
    add("owner_leaves", deal + Cmd::from(Owner) + QByteArray(1, Cmd::Close) + Cmd::from(Guest) + throwAs(g, QStringLiteral("43#"), 1)
                            + QByteArray(1, Cmd::TimePasses) + QByteArray(1, Cmd::TimePasses));

    // Sequences of a deal
    add("deal_lead", deal + throwAs(g, QStringLiteral("43#"), 1));
    add("deal_round", deal + throwAs(g, QStringLiteral("43#"), 1) + Cmd::from(Owner) + throwAs(kOwnerNick, QStringLiteral("23#"), 1) + Cmd::from(Third)
                          + throwAs(kThirdNick, {}, 0) + Cmd::from(Guest) + throwAs(g, QStringLiteral("44#"), 1));
    add("deal_pair", deal + throwAs(g, QStringLiteral("33#43#"), 2) + throwAs(g, {}, 0));
    add("deal_twice", deal + deal + frame(Tag::NEXTGAME) + QByteArray(1, Cmd::Stop) + deal);
    add("deal_chat", deal + frame(Tag::CHAT, g, QStringLiteral("gl")) + throwAs(g, QStringLiteral("43#"), 1) + frame(Tag::PASS));
    add("deal_stalls", deal + throwAs(g, QStringLiteral("43#"), 1) + Cmd::from(Owner)
                           + throwAs(kOwnerNick, QStringLiteral("23#"), 1) + QByteArray(1, Cmd::TimePasses) + QByteArray(1, Cmd::TimePasses)
                           + QByteArray(1, Cmd::TimePasses));
    add("deal_win", QByteArray(1, Cmd::FourTwos) + deal + frame(Tag::GAMEOVER, zero, g)
                        + QByteArray(1, Cmd::TimePasses) + frame(Tag::NEXTGAME) + throwAs(g, QStringLiteral("12#22#"), 2));
    add("deal_win_unclaimed", QByteArray(1, Cmd::FourTwos) + deal + QByteArray(1, Cmd::TimePasses)
                                  + QByteArray(1, Cmd::TimePasses) + frame(Tag::iSTART, zero, g));
    add("deal_ping", deal + QByteArray(1, Cmd::Ping) + Cmd::from(Third) + frame(Tag::PONG, kThirdNick)
                         + QByteArray(1, Cmd::TimePasses));

    // Leaving and coming back
    add("drop_rejoin", deal + QByteArray(1, Cmd::Close) + QByteArray(1, Cmd::NewConnection)
                           + frame(Tag::REJOIN, g, kAskKey) + throwAs(g, QStringLiteral("43#"), 1));
    add("drop_false_key", deal + QByteArray(1, Cmd::Close) + QByteArray(1, Cmd::NewConnection)
                              + frame(Tag::REJOIN, g, QStringLiteral("00")) + frame(Tag::REQJOIN, g));
    add("drop_hold_runs_out", QByteArray(1, Cmd::HoldsRunOut) + deal + QByteArray(1, Cmd::Close)
                                  + QByteArray(1, Cmd::NewConnection) + frame(Tag::REJOIN, g, kAskKey));
    add("drop_between_deals", QByteArray(1, Cmd::Close) + Cmd::from(Third) + QByteArray(1, Cmd::Close) + deal);

    // Damaged streams
    const QByteArray t = throwAs(g, QStringLiteral("44#"), 1);
    add("split_frame", deal + throwAs(g, QStringLiteral("43#"), 1) + t.left(9) + QByteArray("\x01\x01", 2) + t);
    add("stray_bytes", QByteArray("abc") + frame(Tag::CHAT, g, QStringLiteral("x")) + QByteArray("\x02\x04\x03"));
    add("high_bytes", frame(Tag::CHAT, g, QString::fromLatin1("\xe9\xff\x80 caf\xe9")));
    add("empty_tag", QByteArray("\x01\x02\x02\x04\x03\x03\x03\x03\x03\x04\x01", 11));
    return seeds;
}

} // namespace DispatchHarness
