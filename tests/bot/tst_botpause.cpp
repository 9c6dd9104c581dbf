// Bankrupt in the pause after the deal it won, the computer player leaves without claiming the next
// lead, and whoever hears finished() may delete it there and then.
#include "bot/botplayer.h"
#include "game/protocol.h"
#include "hub/hubserver.h"
#include <QPointer>
#include <QtTest>

class TstBotPause : public QObject
{
    Q_OBJECT

private slots:
    void bankruptDuringTheDealEndPause()
    {
        TwsHUBsvr host;
        host.setPort(0);
        QStringList got;
        int client = 0;
        connect(&host, &TwsHUBsvr::OnClientConnect, this, [&](const QString &, int port) {
            client = port;
            host.SendToClient(port, Tag::REQVER, {}, {}, {});
            host.SendToClient(port, Tag::REQINFO, {}, {}, {});
        });
        connect(&host, &TwsHUBsvr::OnDataArrived, this,
                [&](const QString &, int, const QString &tag, const QString &, const QString &, const QString &,
                    const QString &, const QString &, const QString &) {
                    got << tag;
                    const QString port = QString::number(client);
                    auto say = [&](const QString &t, const QString &v1, const QString &v2 = {},
                                   const QString &v3 = {}, const QString &v4 = {}, const QString &v5 = {}) {
                        host.SendToAll(t, v1, v2, v3, v4, v5, QString());
                    };
                    if (tag == Tag::REQJOIN) {
                        say(Tag::USER, Tag::JOIN, QStringLiteral("Robo"), QStringLiteral("127.0.0.1"), port,
                            QStringLiteral("2"));
                        say(Tag::USER, Tag::JOIN, QStringLiteral("Host"), QStringLiteral("127.0.0.1"),
                            QStringLiteral("0"), QStringLiteral("1"));
                        say(Tag::CARD, port, QStringLiteral("Robo"), QStringLiteral("1"), QStringLiteral("12"));
                        say(Tag::NEWGAME, {});
                    } else if (tag == Tag::SMALLESTCARD) {
                        say(Tag::WHOSETURN, port, QStringLiteral("Robo"));
                    } else if (tag == Tag::THROW) {
                        // Comes in while the bot pauses after its last card.
                        say(Tag::CREDIT, port, QStringLiteral("Robo"), QStringLiteral("-5"));
                    }
                });
        host.setActive(true);

        auto *bot = new TBotPlayer(QStringLiteral("127.0.0.1"), host.listeningPort(), QStringLiteral("Robo"), 1, 0);
        QPointer<TBotPlayer> alive(bot);
        QString reason;
        connect(bot, &TBotPlayer::finished, this, [&](const QString &why) {
            reason = why;
            delete bot;
        });
        bot->start();
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), 5000);
        QCOMPARE(reason, QStringLiteral(" YOU ARE BANKRUPT !"));
        QVERIFY(got.contains(Tag::THROW)); // its last card
        QVERIFY2(!got.contains(Tag::iSTART), "the bankruptcy came during the pause and ended the table first");
    }
};

QTEST_GUILESS_MAIN(TstBotPause)
#include "tst_botpause.moc"
