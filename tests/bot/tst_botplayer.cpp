// The computer player against a scripted host over real sockets: handshake, dealing, turns,
// whole deals played to the end, refusals, bankruptcy, garbage and a host that drops it; and at a
// table host in the same program.
#include "bot/botplayer.h"
#include "bot/searchstrategy.h"
#include "bot/strategy.h"
#include "bot/thinkingpool.h"
#include "cards/cardcode.h"
#include "game/protocol.h"
#include "host/tablehost.h"
#include "hub/hubserver.h"
#include "net/localpipe.h"
#include "rules/handorder.h"
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <random>

using namespace BotCards;

namespace {
struct Msg
{
    int fromPort;
    QString tag;
    QStringList v;
};

// A host that says exactly what the test tells it and records what the player sends.
class ScriptedHost : public QObject
{
public:
    TwsHUBsvr svr;
    QList<Msg> got;
    int clientPort = 0;
    bool answerHandshake = true;

    ScriptedHost()
    {
        svr.setMaxClient(3);
        svr.setPort(0);
        connect(&svr, &TwsHUBsvr::OnClientConnect, this, [this](const QString &, int port) {
            clientPort = port;
            if (answerHandshake) {
                svr.SendToClient(port, Tag::REQVER, {}, {}, {});
                svr.SendToClient(port, Tag::REQINFO, {}, {}, {});
            }
        });
        connect(&svr, &TwsHUBsvr::OnDataArrived, this,
                [this](const QString &, int fromPort, const QString &tag, const QString &v1, const QString &v2,
                       const QString &v3, const QString &v4, const QString &v5, const QString &v6) {
                    got << Msg{fromPort, tag, {v1, v2, v3, v4, v5, v6}};
                });
        svr.setActive(true);
    }
    int port() const { return svr.listeningPort(); }
    void say(const QString &tag, const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
             const QString &v4 = {}, const QString &v5 = {})
    {
        svr.SendToAll(tag, v1, v2, v3, v4, v5, QString());
    }
    int countOf(const QString &tag) const
    {
        return int(std::count_if(got.cbegin(), got.cend(), [&](const Msg &m) { return m.tag == tag; }));
    }
    // Waits for the next message with this tag after the first `from` messages.
    bool waitFor(const QString &tag, qsizetype from, Msg *out, int ms = 5000)
    {
        auto find = [&]() -> const Msg * {
            for (qsizetype i = from; i < got.size(); ++i)
                if (got.at(i).tag == tag)
                    return &got.at(i);
            return nullptr;
        };
        if (!QTest::qWaitFor([&] { return find() != nullptr; }, ms))
            return false;
        if (out)
            *out = *find();
        return true;
    }
    // An ordering sentinel: a ping and its answer. The bot handles what it is told in order and sends
    // in order, so once the answer is in, everything said before has been handled, and whatever the
    // bot sent before is in.
    bool roundTrip()
    {
        const qsizetype from = got.size();
        say(Tag::PING);
        return waitFor(Tag::PONG, from, nullptr);
    }
    // Two round trips: a move the bot put off to a timer of no delay while handling a message (its
    // pause is 0 in these tests) has gone out before the second answer.
    bool settled() { return roundTrip() && roundTrip(); }
};

// How a scripted seat plays: greedily; yielding (it passes whatever lies on the table and leads its
// lowest single); or dominating (it beats with its strongest throw and leads its lowest single).
enum class Play { Greedy, Yield, Dominate };

TCombo scriptedMove(Play play, TCardMask hand, const QStringList &table)
{
    TBotView v;
    v.hand = hand;
    v.table = BotCombos::tableCombo(table);
    const QList<TCombo> throws = BotCombos::throwsOver(v.hand, v.table);
    if (play == Play::Greedy) {
        TGreedyStrategy greedy;
        return greedy.choose(v, throws);
    }
    if (table.isEmpty())
        return BotCombos::classify(bit(lowest(hand)));
    if (play == Play::Yield || throws.isEmpty())
        return {};
    TCombo best = throws.first();
    for (const TCombo &c : throws)
        if (c.key > best.key)
            best = c;
    return best;
}

// Four hands of thirteen from codes given for some seats (index 0..3 for seats 1..4) and the rest of
// the deck shuffled with the seed.
std::array<TCardMask, 4> handsWith(const QHash<int, QStringList> &given, quint64 seed)
{
    std::array<TCardMask, 4> hands{};
    TCardMask taken = 0;
    for (auto it = given.begin(); it != given.end(); ++it) {
        hands[size_t(it.key())] = maskOf(it.value());
        taken |= hands[size_t(it.key())];
    }
    std::vector<int> rest;
    for (int i = 0; i < kDeckSize; ++i)
        if (!(taken & bit(i)))
            rest.push_back(i);
    std::mt19937_64 rng(seed);
    std::shuffle(rest.begin(), rest.end(), rng);
    size_t next = 0;
    for (TCardMask &h : hands)
        while (count(h) < 13 && next < rest.size())
            h |= bit(rest[next++]);
    return hands;
}

QStringList someHand(quint64 seed)
{
    std::vector<int> deck(52);
    std::iota(deck.begin(), deck.end(), 0);
    std::mt19937_64 rng(seed);
    std::shuffle(deck.begin(), deck.end(), rng);
    QStringList codes;
    for (int i = 0; i < 13; ++i)
        codes << codeOfIndex(deck[size_t(i)]);
    return codes;
}
} // namespace

class TstBotPlayer : public QObject
{
    Q_OBJECT

    TCardEng eng;
    TCombinationRules rules{eng};

    // Host "Host" at seat 1 and two more scripted players; the bot is seated at 3.
    std::unique_ptr<TBotPlayer> join(ScriptedHost &host, int delayMs = 0, int level = 3)
    {
        auto bot = std::make_unique<TBotPlayer>(QStringLiteral("127.0.0.1"), host.port(), QStringLiteral("Robo"), level,
                                                delayMs);
        bot->setNextDealDelay(50);
        bot->setSeed(7);
        QSignalSpy seated(bot.get(), &TBotPlayer::seated);
        bot->start();
        Msg m;
        if (!host.waitFor(Tag::REQJOIN, 0, &m))
            return nullptr;
        const QString cport = QString::number(host.clientPort);
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Robo"), QStringLiteral("127.0.0.1"), cport, QStringLiteral("3"));
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Host"), QStringLiteral("127.0.0.1"), QStringLiteral("0"),
                 QStringLiteral("1"));
        host.say(Tag::CREDIT, QStringLiteral("0"), QStringLiteral("Host"), QStringLiteral("1000"));
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Ann"), QStringLiteral("127.0.0.1"), QStringLiteral("5001"),
                 QStringLiteral("2"));
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Bob"), QStringLiteral("127.0.0.1"), QStringLiteral("5002"),
                 QStringLiteral("4"));
        if (!seated.wait(3000) && seated.isEmpty())
            return nullptr;
        // The seats after its own, and the credit, are in too.
        if (!host.roundTrip())
            return nullptr;
        return bot;
    }
    void deal(ScriptedHost &host, const QStringList &hand)
    {
        for (int k = 0; k < hand.size(); ++k)
            host.say(Tag::CARD, QString::number(host.clientPort), QStringLiteral("Robo"), QString::number(k + 1),
                     hand.at(k));
        host.say(Tag::NEWGAME);
    }
    // Deals the hand; then the host names Ann to move and, before Ann's move has come, the bot.
    bool turnComesBeforeAnnsMove(ScriptedHost &host, const QStringList &hand)
    {
        deal(host, hand);
        if (!host.waitFor(Tag::SMALLESTCARD, 0, nullptr))
            return false;
        host.say(Tag::WHOSETURN, QStringLiteral("5001"), QStringLiteral("Ann"));
        host.say(Tag::WHOSETURN, QString::number(host.clientPort), QStringLiteral("Robo"));
        return true;
    }
    // Deals the bot one card; the host's own player leads the lowest one and the bot's turn comes.
    bool lastCardTurn(ScriptedHost &host)
    {
        deal(host, {QStringLiteral("12")});
        if (!host.waitFor(Tag::SMALLESTCARD, 0, nullptr))
            return false;
        host.say(Tag::THROW, QStringLiteral("0"), QStringLiteral("Host"), QStringLiteral("1"), QStringLiteral("11#"));
        host.say(Tag::WHOSETURN, QString::number(host.clientPort), QStringLiteral("Robo"));
        return true;
    }
    // The throw must be the bot's own cards and accepted by the rules over this table.
    void checkThrow(const Msg &m, TCardMask hand, const QStringList &table, int clientPort)
    {
        QCOMPARE(m.v.at(0), QString::number(clientPort));
        QCOMPARE(m.v.at(1), QStringLiteral("Robo"));
        const QStringList codes = splitCardList(m.v.at(3));
        QCOMPARE(m.v.at(2), QString::number(codes.size()));
        if (codes.isEmpty())
            return;
        int bad = 0;
        const TCardMask mask = maskOf(codes, &bad);
        QCOMPARE(bad, 0);
        QVERIFY2((mask & ~hand) == 0, "threw a card it does not hold");
        QVERIFY2(rules.isValidThrow(codes, int(codes.size()), table), qPrintable(m.v.at(3) + " over " + table.join('#')));
    }

    // One deal from the scripted host's side: hands for seats 1..4 (index 0..3, the bot at 2), the
    // seat that leads by the last deal (0 for the first deal: the Diamond 3 leads, found after the bot's
    // report of its lowest card), and how the scripted seats play. Every throw of the bot is checked by
    // the rules, its end of a won deal too; the winner's index comes back.
    void playDeal(ScriptedHost &host, TBotPlayer *bot, std::array<TCardMask, 4> hands, int startSeat,
                  const std::array<Play, 4> &play, int *winnerOut)
    {
        const QStringList nicks{"Host", "Ann", "Robo", "Bob"}; // seats 1..4
        const QStringList ports{"0", "5001", QString::number(host.clientPort), "5002"};
        for (TCardMask h : hands)
            QVERIFY(!rules.hasFourTwos(codesOf(h)) && !rules.isThirteenRun(codesOf(h)));
        const qsizetype mark = host.got.size();
        deal(host, codesOf(hands[2]));
        int turn = startSeat ? startSeat - 1 : 0;
        if (!startSeat) {
            QVERIFY(host.waitFor(Tag::SMALLESTCARD, mark, nullptr));
            for (int s = 0; s < 4; ++s)
                if (hands[size_t(s)] & bit(0))
                    turn = s;
            host.say(Tag::WHOSETURN, ports.at(turn), nicks.at(turn));
        }
        QStringList table;
        int owner = -1, winner = -1, moves = 0;
        while (winner < 0 && moves++ < 400) {
            if (owner == turn) {
                table.clear();
                owner = -1;
            }
            QStringList codes;
            if (turn == 2) {
                Msg m;
                const qsizetype before = host.got.size();
                QVERIFY2(host.waitFor(Tag::THROW, before, &m), "the bot moves on its turn");
                checkThrow(m, hands[2], table, host.clientPort);
                codes = splitCardList(m.v.at(3));
            } else {
                codes = codesOf(scriptedMove(play[size_t(turn)], hands[size_t(turn)], table).mask);
                host.say(Tag::THROW, ports.at(turn), nicks.at(turn), QString::number(codes.size()),
                         joinCardList(codes));
            }
            if (!codes.isEmpty()) {
                hands[size_t(turn)] &= ~maskOf(codes);
                table = codes;
                owner = turn;
                if (hands[size_t(turn)] == 0)
                    winner = turn;
            }
            turn = (turn + 1) % 4;
            host.say(Tag::WHOSETURN, ports.at(turn), nicks.at(turn));
        }
        QVERIFY(winner >= 0);
        if (winner == 2) {
            Msg over, start;
            QVERIFY(host.waitFor(Tag::GAMEOVER, mark, &over));
            QCOMPARE(over.v.mid(0, 2), (QStringList{ports.at(2), "Robo"}));
            QVERIFY(host.waitFor(Tag::iSTART, mark, &start));
            QCOMPARE(start.v.mid(0, 2), (QStringList{ports.at(2), "Robo"}));
            QVERIFY2(host.waitFor(Tag::NEXTGAME, mark, nullptr, 3000), "the winner asks for the next deal");
        } else {
            host.say(Tag::GAMEOVER, ports.at(winner), nicks.at(winner));
            host.say(Tag::iSTART, ports.at(winner), nicks.at(winner));
        }
        QTRY_VERIFY(!bot->inDeal());
        *winnerOut = winner;
    }

private slots:
    void initTestCase() { rules.useGameWeights(); }

    void levelsOneToFour()
    {
        QCOMPARE(TBotPlayer(QStringLiteral("127.0.0.1"), 1, QStringLiteral("Robo"), 4).strategyName(),
                 QStringLiteral("search"));
        const TBotPlayer over(QStringLiteral("127.0.0.1"), 1, QStringLiteral("Robo"), 9);
        QCOMPARE(over.level(), 4);
        QCOMPARE(TBotPlayer(QStringLiteral("127.0.0.1"), 1, QStringLiteral("Robo"), 0).strategyName(),
                 QStringLiteral("smart1"));
    }

    void handshakeAndSmallestCard()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        QCOMPARE(host.countOf(Tag::CHKVER), 1);
        QCOMPARE(host.got.first().tag, Tag::CHKVER);
        QCOMPARE(host.got.first().v.at(0), kVersionText);
        Msg m;
        QVERIFY(host.waitFor(Tag::REQJOIN, 0, &m));
        QCOMPARE(m.v.at(0), QStringLiteral("Robo"));
        QCOMPARE(bot->myPort(), host.clientPort);

        host.say(Tag::PING);
        QVERIFY(host.waitFor(Tag::PONG, 0, &m));
        QCOMPARE(m.v.at(0), QStringLiteral("Robo"));

        const QStringList hand{"16", "17", "18", "19", "25", "110", "111", "112", "113", "26", "27", "28", "29"};
        deal(host, hand);
        QVERIFY(host.waitFor(Tag::SMALLESTCARD, 0, &m));
        QCOMPARE(m.v.at(0), QStringLiteral("53")); // the Heart 5: 5 x 10, and 3 for the heart
        QVERIFY(bot->inDeal());
        QCOMPARE(count(maskOf(bot->handCodes())), 13);
    }

    // Three deals against the scripted seats. The first the bot must win: it holds the Diamond 3 and
    // nobody ever beats it. The second it must lose: it leads cards of 3 to 7 with no four of a kind
    // and no straight flush, and Bob, next in turn, answers with his strongest throw and leads cards
    // the bot cannot beat. The third is played against three greedy seats, whoever wins.
    void wholeDealsAgainstScriptedSeats()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        int winner = -1;
        playDeal(host, bot.get(), handsWith({{2, {"43"}}}, 100), 0, {Play::Yield, Play::Yield, Play::Yield, Play::Yield}, &winner);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(winner, 2);

        const QStringList low{"43", "33", "23", "44", "34", "24", "15", "35", "25", "16", "46", "26", "37"};
        const QStringList high{"11", "21", "31", "41", "12", "22", "32", "113", "213", "313", "112", "212", "312"};
        playDeal(host, bot.get(), handsWith({{2, low}, {3, high}}, 0), 3, {Play::Yield, Play::Yield, Play::Yield, Play::Dominate},
                 &winner);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(winner, 3);

        playDeal(host, bot.get(), handsWith({}, 101), 4, {Play::Greedy, Play::Greedy, Play::Greedy, Play::Greedy}, &winner);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(bot->dealsPlayed(), 3);
        QCOMPARE(bot->dealsWon(), winner == 2 ? 2 : 1);
        // It never moved out of turn: exactly one throw per turn it was given is checked above, and
        // nothing more comes after the deals.
        const int throws = host.countOf(Tag::THROW);
        QVERIFY(host.settled());
        QCOMPARE(host.countOf(Tag::THROW), throws);
    }

    // Level 4 searches on the thinking pool: it answers the host while it thinks, and a choice
    // the turn has left behind is dropped. A search takes about 150 ms.
    void searchingPlayerThinksBesideTheEventLoop()
    {
        ScriptedHost host;
        auto bot = join(host, 0, 4);
        QVERIFY(bot);
        const QString cport = QString::number(host.clientPort);
        const QStringList hand = someHand(5);
        deal(host, hand);
        QVERIFY(host.waitFor(Tag::SMALLESTCARD, 0, nullptr));
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        QTest::qWait(30);
        QVERIFY(host.roundTrip());
        QCOMPARE(host.countOf(Tag::THROW), 0);
        Msg m;
        QVERIFY(host.waitFor(Tag::THROW, 0, &m));
        checkThrow(m, maskOf(hand), {}, host.clientPort);

        // Everybody passes and the bot leads again; during the search the host passes for it.
        for (const char *n : {"Bob", "Host", "Ann"})
            host.say(Tag::THROW, QStringLiteral("0"), QString::fromLatin1(n), QStringLiteral("0"), QString());
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        QTest::qWait(30);
        host.say(Tag::THROW, cport, QStringLiteral("Robo"), QStringLiteral("0"), QString());
        host.say(Tag::WHOSETURN, QStringLiteral("5002"), QStringLiteral("Bob"));
        QTest::qWait(TSearchStrategy::kMaxThinkMs + 50);
        QVERIFY(host.settled());
        QCOMPARE(host.countOf(Tag::THROW), 1);
    }

    // A player deleted while its decision waits on the pool: the decision ends on its own copies.
    void deletedWhileThinking()
    {
        ScriptedHost host;
        auto bot = join(host, 0, 4);
        QVERIFY(bot);
        deal(host, someHand(5));
        QVERIFY(host.waitFor(Tag::SMALLESTCARD, 0, nullptr));
        host.say(Tag::WHOSETURN, QString::number(host.clientPort), QStringLiteral("Robo"));
        QTRY_VERIFY(ThinkingPool::pool()->activeThreadCount() > 0);
        bot.reset();
        QTRY_COMPARE_WITH_TIMEOUT(ThinkingPool::pool()->activeThreadCount(), 0, TSearchStrategy::kMaxThinkMs + 500);
    }

    void leadsAfterTheTableComesBack()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        const QStringList hand{"13", "23", "14", "15", "26", "37", "48", "19", "210", "311", "412", "113", "11"};
        deal(host, hand);
        QVERIFY(host.waitFor(Tag::SMALLESTCARD, 0, nullptr));
        const QString cport = QString::number(host.clientPort);
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        Msg first;
        QVERIFY(host.waitFor(Tag::THROW, 0, &first));
        checkThrow(first, maskOf(hand), {}, host.clientPort);
        QVERIFY(!splitCardList(first.v.at(3)).isEmpty());
        // everybody passes: the turn comes back, the table is cleared and the bot leads again
        for (const char *n : {"Bob", "Host", "Ann"})
            host.say(Tag::THROW, QStringLiteral("0"), QString::fromLatin1(n), QStringLiteral("0"), QString());
        const qsizetype before = host.got.size();
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        Msg second;
        QVERIFY(host.waitFor(Tag::THROW, before, &second));
        const TCardMask left = maskOf(hand) & ~maskOf(splitCardList(first.v.at(3)));
        checkThrow(second, left, {}, host.clientPort);
        QVERIFY2(!splitCardList(second.v.at(3)).isEmpty(), "a clear table is led, not passed");
    }

    // The host names the next player before it passes on the move of the guest before: the bot
    // waits for that move and answers the table it made, not the one before.
    void turnNoticeWaitsForTheMoveBeforeIt()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        const QStringList hand{"13", "23", "14", "15", "26", "37", "48", "19", "210", "311", "412", "113", "11"};
        QVERIFY(turnComesBeforeAnnsMove(host, hand));
        QVERIFY(host.settled());
        QCOMPARE(host.countOf(Tag::THROW), 0);
        host.say(Tag::THROW, QStringLiteral("5001"), QStringLiteral("Ann"), QStringLiteral("1"), QStringLiteral("42#"));
        Msg m;
        QVERIFY(host.waitFor(Tag::THROW, 0, &m));
        checkThrow(m, maskOf(hand), {QStringLiteral("42")}, host.clientPort);
        QCOMPARE(m.v.at(2), QStringLiteral("0")); // nothing beats the 2 of spades
    }

    // A player who throws the last card has won, whatever turn notice comes before the host says so.
    void noMoveAfterAnotherWentOut()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        QVERIFY(turnComesBeforeAnnsMove(host, someHand(3)));
        host.say(Tag::THROW, QStringLiteral("5001"), QStringLiteral("Ann"), QStringLiteral("13"),
                 QStringLiteral("12#22#32#42#"));
        QVERIFY(host.settled());
        QCOMPARE(host.countOf(Tag::THROW), 0);
        QVERIFY(bot->inDeal());
        host.say(Tag::GAMEOVER, QStringLiteral("5001"), QStringLiteral("Ann"));
        QVERIFY(QTest::qWaitFor([&] { return !bot->inDeal(); }));
        QVERIFY(host.settled());
        QCOMPARE(host.countOf(Tag::THROW), 0);
        QCOMPARE(host.countOf(Tag::NEXTGAME), 0);
        QCOMPARE(bot->dealsWon(), 0);
    }

    // Its win after its last card: overruled when the card crossed the host's pass for it and the host's
    // own player won; undone by a resend of the deal, and sent back once the host took the card.
    void aWinCountsOnlyAsTheHostHasIt()
    {
        for (const bool overruled : {true, false}) {
            ScriptedHost host;
            auto bot = join(host);
            QVERIFY(bot);
            const QString cport = QString::number(host.clientPort);
            QSignalSpy ended(bot.get(), &TBotPlayer::dealEnded);
            QVERIFY(lastCardTurn(host));
            QVERIFY(host.waitFor(Tag::GAMEOVER, 0, nullptr));
            QCOMPARE(bot->dealsWon(), 1);
            if (overruled) {
                host.say(Tag::THROW, cport, QStringLiteral("Robo"), QStringLiteral("0"));
                host.say(Tag::GAMEOVER, QStringLiteral("0"), QStringLiteral("Host"));
                QTRY_COMPARE(ended.size(), 2);
                QCOMPARE(ended.last().first().toString(), QStringLiteral("Host"));
                QCOMPARE(bot->dealsWon(), 0);
                continue;
            }
            host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("1"), QStringLiteral("12"));
            host.say(Tag::TABLE, QStringLiteral("11#"), QStringLiteral("Host"), QString(), QStringLiteral("12#13#1#13"));
            QVERIFY(host.settled());
            QVERIFY(bot->inDeal());
            QCOMPARE(bot->dealsWon(), 0);
            host.say(Tag::THROW, cport, QStringLiteral("Robo"), QStringLiteral("1"), QStringLiteral("12#"));
            QVERIFY(host.settled());
            QVERIFY(!bot->inDeal());
            QCOMPARE(bot->dealsWon(), 1);
            QCOMPARE(bot->dealsPlayed(), 1);
        }
    }

    // A won deal: "[GAMEOVER]" and "[iSTART]" with its port and nick, "[NEXTGAME]" a little
    // later, and the lead of the next deal without any "[WHOSETURN]".
    void winnerAsksForTheNextDealAndLeadsIt()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        const QString cport = QString::number(host.clientPort);
        QSignalSpy ended(bot.get(), &TBotPlayer::dealEnded);
        QVERIFY(lastCardTurn(host));
        Msg m;
        QVERIFY(host.waitFor(Tag::THROW, 0, &m));
        QCOMPARE(m.v.at(3), QStringLiteral("12#"));
        QVERIFY(host.waitFor(Tag::GAMEOVER, 0, &m));
        QCOMPARE(m.v.mid(0, 2), (QStringList{cport, "Robo"}));
        QVERIFY(host.waitFor(Tag::iSTART, 0, &m));
        QCOMPARE(m.v.mid(0, 2), (QStringList{cport, "Robo"}));
        QVERIFY(host.waitFor(Tag::NEXTGAME, 0, nullptr));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toString(), QStringLiteral("Robo"));
        QCOMPARE(bot->dealsWon(), 1);
        // the order of the last messages is the window's: throw, game over, start
        QStringList order;
        for (const Msg &x : host.got)
            if (x.tag == Tag::THROW || x.tag == Tag::GAMEOVER || x.tag == Tag::iSTART || x.tag == Tag::NEXTGAME)
                order << x.tag;
        QCOMPARE(order, (QStringList{Tag::THROW, Tag::GAMEOVER, Tag::iSTART, Tag::NEXTGAME}));

        const qsizetype before = host.got.size();
        deal(host, {QStringLiteral("45"), QStringLiteral("36")});
        QVERIFY(host.waitFor(Tag::THROW, before, &m));
        checkThrow(m, maskOf({"45", "36"}), {}, host.clientPort);
        QCOMPARE(host.countOf(Tag::SMALLESTCARD), 1); // the leader is known: no report
    }

    void refusalsEndTheBot_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full") << Tag::FULL << QStringLiteral(" Game is Full, try later !");
        QTest::newRow("ongame") << Tag::ONGAME << QStringLiteral(" Game is started, try later !");
        QTest::newRow("diffver") << Tag::DIFFVER << QStringLiteral(" Different version between server and client detected ! ");
        QTest::newRow("chnick") << Tag::CHNICK << QStringLiteral(" Nick Collision ! Please change your nick !");
    }
    void refusalsEndTheBot()
    {
        QFETCH(QString, tag);
        QFETCH(QString, reason);
        ScriptedHost host;
        host.answerHandshake = false;
        TBotPlayer bot(QStringLiteral("127.0.0.1"), host.port(), QStringLiteral("Robo"), 3, 0);
        QSignalSpy finished(&bot, &TBotPlayer::finished);
        bot.start();
        QTRY_VERIFY(host.clientPort != 0);
        host.svr.SendToClient(host.clientPort, tag, {}, {}, {});
        QVERIFY(finished.wait(3000));
        QCOMPARE(finished.first().first().toString(), reason);
        QTRY_COMPARE(host.svr.ClientCount(), 0);
    }

    void bankruptBotLeaves()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        QSignalSpy finished(bot.get(), &TBotPlayer::finished);
        host.say(Tag::CREDIT, QStringLiteral("0"), QStringLiteral("Host"), QStringLiteral("-5")); // not the bot
        host.say(Tag::CREDIT, QString::number(host.clientPort), QStringLiteral("Robo"), QStringLiteral("12abc"));
        QVERIFY(host.roundTrip());
        QVERIFY(finished.isEmpty());
        QCOMPARE(bot->credit(), 12);
        host.say(Tag::CREDIT, QString::number(host.clientPort), QStringLiteral("Robo"), QStringLiteral("-3"));
        QVERIFY(finished.wait(3000));
        QCOMPARE(finished.first().first().toString(), QStringLiteral(" YOU ARE BANKRUPT !"));
        QTRY_COMPARE(host.svr.ClientCount(), 0);
    }

    // Garbage, unknown tags and impossible cards change nothing that matters, and the bot
    // still makes only throws the rules accept, only on its turn.
    void garbageIsSurvived()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        const QString cport = QString::number(host.clientPort);
        // a turn outside a deal is no turn
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        host.say(QStringLiteral("[NOSUCH]"), QStringLiteral("x"), QStringLiteral("y"));
        host.say(QStringLiteral("garbage"));
        host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("0"), QStringLiteral("11"));
        host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("x"), QStringLiteral("12"));
        host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("14"), QStringLiteral("12"));
        host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("1"), QStringLiteral("99"));
        host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("2"), QStringLiteral("43"));
        host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("3"), QStringLiteral("43")); // twice
        host.say(Tag::CARD, cport, QStringLiteral("Robo"), QStringLiteral("4"), QStringLiteral("17"));
        host.say(Tag::CARD, cport, QStringLiteral("Someone"), QStringLiteral("5"), QStringLiteral("12"));
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Eve"), QString(), QString(), QStringLiteral("9"));
        host.say(Tag::GAMEOVER, QStringLiteral("x"), QStringLiteral("Robo"));
        QVERIFY(host.settled());
        QCOMPARE(host.countOf(Tag::THROW), 0);
        QVERIFY(!bot->inDeal());

        host.say(Tag::NEWGAME);
        QVERIFY(host.waitFor(Tag::SMALLESTCARD, 0, nullptr));
        QCOMPARE(bot->handCodes(), (QStringList{"43", "17"})); // the hand in order by number
        // impossible tables: junk codes, a four-card table, counts that are no numbers
        host.say(Tag::THROW, QStringLiteral("0"), QStringLiteral("Host"), QStringLiteral("two"), QStringLiteral("11#"));
        host.say(Tag::THROW, QStringLiteral("0"), QStringLiteral("Nobody"), QStringLiteral("1"), QStringLiteral("11#"));
        host.say(Tag::THROW, QStringLiteral("0"), QStringLiteral("Host"), QStringLiteral("4"),
                 QStringLiteral("13#23#33#43#"));
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        Msg m;
        QVERIFY(host.waitFor(Tag::THROW, 0, &m));
        QCOMPARE(m.v.at(2), QStringLiteral("0")); // nothing beats four cards: a pass
        QCOMPARE(m.v.at(3), QString());

        host.say(Tag::WHOSETURN, QStringLiteral("0"), QStringLiteral("Host"));
        host.say(Tag::THROW, QStringLiteral("0"), QStringLiteral("Host"), QStringLiteral("1"), QStringLiteral("zz#"));
        qsizetype before = host.got.size();
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        QVERIFY(host.waitFor(Tag::THROW, before, &m));
        checkThrow(m, maskOf({"17", "43"}), {"zz"}, host.clientPort);

        host.say(Tag::WHOSETURN, QStringLiteral("0"), QStringLiteral("Host"));
        host.say(Tag::THROW, QStringLiteral("0"), QStringLiteral("Host"), QStringLiteral("2"), QStringLiteral("#11#12#"));
        before = host.got.size();
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        QVERIFY(host.waitFor(Tag::THROW, before, &m));
        // "#" first: the table shows nothing, so the bot leads what it has left
        QVERIFY(!splitCardList(m.v.at(3)).isEmpty());
        // moves stop with the turn: no more throws come without a new turn
        const int throws = host.countOf(Tag::THROW);
        host.say(Tag::THROW, QStringLiteral("5002"), QStringLiteral("Bob"), QStringLiteral("0"), QString());
        QVERIFY(host.settled());
        QCOMPARE(host.countOf(Tag::THROW), throws);
    }

    void hostDropsMidDeal()
    {
        for (bool closeAll : {false, true}) {
            ScriptedHost host;
            auto bot = join(host, 300);
            QVERIFY(bot);
            QSignalSpy finished(bot.get(), &TBotPlayer::finished);
            QSignalSpy moved(bot.get(), &TBotPlayer::moved);
            deal(host, someHand(9));
            QVERIFY(host.waitFor(Tag::SMALLESTCARD, 0, nullptr));
            host.say(Tag::WHOSETURN, QString::number(host.clientPort), QStringLiteral("Robo"));
            // The turn is taken: its move waits out the bot's pause.
            QVERIFY(host.roundTrip());
            QElapsedTimer sinceTurn;
            sinceTurn.start();
            QVERIFY2(moved.isEmpty(), "the move came before the host went");
            if (closeAll)
                host.svr.setActive(false);
            else
                host.svr.DropClient(host.clientPort);
            QVERIFY(finished.wait(3000));
            QVERIFY(finished.first().first().toString().startsWith(QStringLiteral(" Disconnected from")));
            QVERIFY(!bot->inDeal());
            // Real time: past the moment the pending move was due (300 ms, a quarter either way), it
            // has not fired into the closed connection.
            QTest::qWait(int(qMax(qint64(0), 400 - sinceTurn.elapsed())));
            QVERIFY(moved.isEmpty());
            QCOMPARE(finished.size(), 1);
        }
    }

    // Its connection cut in a deal, the bot comes back with its key and plays on from the hand the
    // host gives it back.
    void comesBackToItsSeat()
    {
        ScriptedHost host;
        auto bot = join(host);
        QVERIFY(bot);
        QSignalSpy finished(bot.get(), &TBotPlayer::finished);
        host.say(Tag::SEATKEY, QStringLiteral("5eed"));
        deal(host, someHand(9));
        QVERIFY(host.waitFor(Tag::SMALLESTCARD, 0, nullptr));
        host.say(Tag::WHOSETURN, QStringLiteral("5001"), QStringLiteral("Ann"));
        QVERIFY(host.roundTrip());
        const int oldPort = host.clientPort;
        const qsizetype from = host.got.size();
        host.svr.DropClient(oldPort);

        Msg m;
        QVERIFY(host.waitFor(Tag::REJOIN, from, &m, 3000));
        QCOMPARE(m.v.mid(0, 2), QStringList({"Robo", "5eed"}));
        QVERIFY(host.clientPort != oldPort);
        QVERIFY(finished.isEmpty());
        const QString cport = QString::number(host.clientPort);
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Robo"), QStringLiteral("127.0.0.1"), cport, QStringLiteral("3"));
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Host"), QStringLiteral("127.0.0.1"), QStringLiteral("0"),
                 QStringLiteral("1"));
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Ann"), QStringLiteral("127.0.0.1"), QStringLiteral("5001"),
                 QStringLiteral("2"));
        host.say(Tag::USER, Tag::JOIN, QStringLiteral("Bob"), QStringLiteral("127.0.0.1"), QStringLiteral("5002"),
                 QStringLiteral("4"));
        host.say(Tag::CREDIT, cport, QStringLiteral("Robo"), QStringLiteral("960"));
        const QStringList left{"25", "26", "27"};
        for (int k = 0; k < left.size(); ++k)
            host.say(Tag::CARD, cport, QStringLiteral("Robo"), QString::number(k + 1), left.at(k));
        // Only the Heart 7 beats the Spade 6 on the table.
        host.say(Tag::TABLE, QStringLiteral("16#"), QStringLiteral("Ann"), QString(), QStringLiteral("12#9#3#11"));
        host.say(Tag::WHOSETURN, cport, QStringLiteral("Robo"));
        QVERIFY(host.waitFor(Tag::THROW, from, &m));
        QCOMPARE(m.v.at(3), QStringLiteral("27#"));
        QCOMPARE(bot->credit(), 960);
        QVERIFY(finished.isEmpty());
    }

    // Players in the host's own program, on in-process connections: a whole deal the host's referee
    // accepts, one winner, and each player keeps the credit the host announced for it.
    void playsAtATableHostInProcess()
    {
        TableHost host;
        host.setFirstDealDelayMs(0);
        host.setNextDealDelayMs(60000);
        QSignalSpy refusals(&host, &TableHost::refused);
        std::vector<std::unique_ptr<TBotPlayer>> bots;
        for (int level = 1; level <= 4; ++level) {
            auto [hostEnd, playerEnd] = LocalConnection::createPair(&host, nullptr);
            bots.push_back(std::make_unique<TBotPlayer>(playerEnd, QStringLiteral("Bot%1").arg(level), level, 0));
            bots.back()->setNextDealDelay(60000);
            host.addConnection(hostEnd);
            bots.back()->start();
        }
        QTRY_VERIFY_WITH_TIMEOUT(host.dealsStarted() == 1 && host.phase() == TableHost::Phase::Waiting, 30000);
        QCOMPARE(refusals.count(), 0);
        int won = 0;
        for (const auto &b : bots) {
            const int seat = host.roster().seatOfNick(b->nick());
            QTRY_COMPARE(b->credit(), host.roster().user(seat).credit);
            QCOMPARE(b->dealsPlayed(), 1);
            won += b->dealsWon();
        }
        QCOMPARE(won, 1);
    }

    void noHostAtAll()
    {
        ScriptedHost host;
        const int port = host.port();
        host.svr.setActive(false);
        TBotPlayer bot(QStringLiteral("127.0.0.1"), port, QStringLiteral("Robo"), 3, 0);
        QSignalSpy finished(&bot, &TBotPlayer::finished);
        bot.start();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.size(), 1);
    }

    void freeNickSkipsTakenOnes()
    {
        QCOMPARE(TBotPlayer::freeNick({}), QStringLiteral("Bot1"));
        QCOMPARE(TBotPlayer::freeNick({"Bot1", "Ann", "Bot3"}), QStringLiteral("Bot2"));
    }
};

QTEST_GUILESS_MAIN(TstBotPlayer)
#include "tst_botplayer.moc"
