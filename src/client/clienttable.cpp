#include "client/clienttable.h"
#include "client/clientcountdown.h"
#include "game/fairdeal.h"
#include "game/moves.h"
#include "game/protocol.h"
#include "net/connection.h"
#include <QTimer>
#include <utility>

ClientTable::ClientTable(Connection *connection, const QString &nick, QObject *parent)
    : QObject(parent), m_connection(connection), m_nick(nick), m_countdown(new ClientCountdown(this)),
      m_endPause(new QTimer(this)),
      m_features{Feature::DealCheck, Feature::Unpaced, Feature::Resync, Feature::Tables}
{
    m_rules.useGameWeights();
    m_endPause->setSingleShot(true);
    connect(m_endPause, &QTimer::timeout, this, &ClientTable::endPauseOver);
    connect(m_countdown, &ClientCountdown::changed, this, &ClientTable::countdownChanged);
    connect(m_countdown, &ClientCountdown::expired, this, &ClientTable::onCountdownExpired);
    if (m_connection) {
        connect(m_connection, &Connection::opened, this, &ClientTable::onOpened);
        connect(m_connection, &Connection::message, this, &ClientTable::onMessage);
        connect(m_connection, &Connection::closed, this, &ClientTable::onClosed);
        m_port = m_connection->wirePort();
    }

    m_reconnect.attempt = [this] {
        m_rejoining = false;
        if (m_connection)
            m_connection->open();
    };
    m_reconnect.abandon = [this] {
        if (endIfNotHeld())
            return;
        // A connection still being made may never report its end: the failure is counted here too,
        // and a second report of the same failure is ignored by the reconnector.
        if (m_connection && m_connection->isOpen())
            m_connection->close();
        m_reconnect.attemptFailed();
    };
    m_reconnect.gaveUp = [this] {
        m_rejoining = false;
        m_seatKey.clear();
        if (m_connection && m_connection->isOpen()) {
            m_leaving = true;
            m_connection->close();
        }
        endTable(QStringLiteral(" Could not get back to the table."));
    };
}

ClientTable::~ClientTable()
{
    if (m_connection)
        m_connection->disconnect(this);
}

void ClientTable::start()
{
    m_leaving = false;
    m_tableEnded = false;
    if (!m_connection)
        return;
    m_connection->open();
    if (m_connection->isOpen())
        m_port = m_connection->wirePort();
}

void ClientTable::leave()
{
    stopReconnecting();
    m_leaving = true;
    if (m_connection && m_connection->isOpen())
        m_connection->close();
    else
        endTable(QStringLiteral(" Disconnected."));
}

int ClientTable::mySeat() const
{
    const int seat = m_roster.seatOfNick(m_nick);
    return TuserInfo::validSeat(seat) ? seat : 0;
}

int ClientTable::seatOf(const QString &nick) const
{
    const int seat = m_roster.seatOfNick(nick);
    return mySeat() != 0 && TuserInfo::validSeat(seat) ? seat : 0;
}

int ClientTable::credit(int seat) const
{
    return m_table.seated(seat) ? m_roster.user(seat).credit : 0;
}

QString ClientTable::creditText(int seat) const
{
    return TuserInfo::validSeat(seat) ? m_creditText[size_t(seat)] : QString();
}

bool ClientTable::away(int seat) const
{
    return m_table.seated(seat) && m_roster.user(seat).away;
}

bool ClientTable::say(const QString &text)
{
    if (text.trimmed().isEmpty() || !m_connection || !m_connection->isOpen())
        return false;
    send(Tag::CHAT, m_nick, text);
    // The host does not send a player's own line back: it is shown here as it is sent.
    emit chatLine(m_nick, text);
    return true;
}

bool ClientTable::announce(const QString &line)
{
    if (!m_connection || !m_connection->isOpen())
        return false;
    send(Tag::SYSTEM, line);
    return true;
}

void ClientTable::send(const QString &tag, const QString &v1, const QString &v2, const QString &v3,
                       const QString &v4)
{
    if (m_connection && m_connection->isOpen())
        m_connection->send(tag, v1, v2, v3, v4);
}

void ClientTable::onOpened()
{
    m_port = m_connection->wirePort();
}

void ClientTable::onMessage(const HubMessage &m)
{
    const QString &tag = m.Protocol;
    const QString *v = m.value;
    if (handleHandshake(tag, v[0])) {
    } else if (tag == Tag::SYSTEM) {
        emit systemLine(v[0]);
    } else if (tag == Tag::CHAT) {
        emit chatLine(v[0], v[1]);
    } else if (tag == Tag::CARD) {
        onCard(v[1], v[2], v[3]);
    } else if (tag == Tag::THROW) {
        // value1 is not used on receipt: the thrower is found by the nick.
        if (const std::optional<TThrowClaim> claim = parseThrowClaim(v[0], v[1], v[2], v[3]))
            onHostThrow(*claim);
    } else if (tag == Tag::NEWGAME) {
        startDeal();
    } else if (tag == Tag::GAMEOVER) {
        int winnerPort = 0;
        if (strictToInt(v[0], &winnerPort) && seatOf(v[1]) != 0)
            endDeal(winnerPort, seatOf(v[1]));
    } else if (tag == Tag::iSTART) {
        onIStart(v[1]);
    } else if (tag == Tag::AWAY) {
        onAway(v[0]);
    } else if (tag == Tag::TABLE) {
        resumeDeal(m);
    } else if (tag == Tag::WHOSETURN) {
        onWhoseTurn(v[1]);
    } else if (tag == Tag::USER) {
        onUser(m);
    } else if (tag == Tag::CREDIT) {
        onCredit(v[1], v[2]);
    } else if (tag == Tag::CAPS) {
        onHostFeatures(v[0]);
    } else if (tag == Tag::DEALHASH) {
        onDealHash(v[0], v[1]);
    } else if (tag == Tag::DEALSEEDS) {
        m_verifier.onSeeds(v[0].toInt(), v[1]);
    } else if (tag == Tag::DEALKEY) {
        onDealKey(v[0], v[1]);
    }
    afterMessage();
}

bool ClientTable::handleHandshake(const QString &tag, const QString &v1)
{
    if (tag == Tag::PING) {
        send(Tag::PONG, m_nick);
    } else if (tag == Tag::REQVER) {
        send(Tag::CHKVER, kVersionText);
    } else if (tag == Tag::REQINFO) {
        m_port = m_connection->wirePort();
        // Hosts that do not know the features ignore the announcement.
        m_hostFeatures.clear();
        m_hostFeaturesHeard = false;
        if (!m_features.isEmpty())
            send(Tag::CAPS, joinFeatureWords(m_features));
        if (!m_seatKey.isEmpty()) {
            forgetTable();
            m_rejoining = true;
            send(Tag::REJOIN, m_nick, m_seatKey);
        } else {
            if (!m_tableRequest.isEmpty())
                send(Tag::PICKTABLE, m_tableRequest);
            send(Tag::REQJOIN, m_nick);
            enterWaitMode();
        }
    } else if (tag == Tag::SEATKEY) {
        m_seatKey = v1;
    } else if (tag == Tag::TABLENAME) {
        if (isValidTableName(v1))
            m_tableName = v1;
    } else if (tag == Tag::WAITMODE) {
        enterWaitMode();
        awaitDealKey();
    } else if (tag == Tag::ONGAME) {
        refuse(QStringLiteral(" Game is started, try later !"), false);
    } else if (tag == Tag::FULL) {
        refuse(QStringLiteral(" Game is Full, try later !"), false);
    } else if (tag == Tag::DIFFVER) {
        refuse(QStringLiteral(" Different version between server and client detected ! "), true);
    } else if (tag == Tag::CHNICK) {
        if (m_rejoining && endIfNotHeld())
            return true;
        refuse(m_rejoining ? QStringLiteral(" The host no longer holds your seat !")
                           : QStringLiteral(" Nick Collision ! Please change your nick !"),
               true);
    } else {
        return false;
    }
    return true;
}

void ClientTable::onHostFeatures(const QString &words)
{
    // The host's answer counts once per connection.
    if (std::exchange(m_hostFeaturesHeard, true))
        return;
    m_hostFeatures = splitFeatureWords(words);
    if (m_hostFeatures.contains(Feature::Unpaced) && m_features.contains(Feature::Unpaced) && m_connection)
        m_connection->setUnpaced();
}

void ClientTable::afterMessage()
{
    // A rejoin is complete once the host has seated this player again.
    if (!m_rejoining || mySeat() == 0)
        return;
    m_rejoining = false;
    m_endIfNotHeld.clear();
    m_reconnect.stop();
    emit reconnected();
}

void ClientTable::refuse(const QString &text, bool error)
{
    // No way back after a refusal; the connection is closed before the player reads why.
    stopReconnecting();
    m_leaving = true;
    if (m_connection)
        m_connection->close();
    emit refused(text, error);
}

void ClientTable::stopReconnecting()
{
    m_reconnect.stop();
    m_rejoining = false;
    m_seatKey.clear();
}

void ClientTable::onClosed(const QString &error)
{
    // The end of a connection this copy closed after the table had already ended for it.
    if (m_leaving && m_tableEnded)
        return;
    if (m_reconnect.active()) {
        m_rejoining = false;
        if (!endIfNotHeld())
            m_reconnect.attemptFailed(); // or gives up, which gaveUp reports
        return;
    }
    const QString text = !error.isEmpty() ? error
                                          : QStringLiteral(" Disconnected from ")
                                                + (m_connection ? m_connection->peerAddress() : QString())
                                                + QStringLiteral(" : ") + QString::number(m_port);
    const bool inPlay = dealRunning() || ownEndUnsettled();
    // Between deals a stalled link may have hidden the start of the next one, for which the host holds
    // the seat: a host that resynchronises copies is asked once.
    if (!m_leaving && !m_seatKey.isEmpty() && (inPlay || m_hostFeatures.contains(Feature::Resync))) {
        // Nothing can be sent while away: the own countdown stops with the connection.
        endOwnTurn();
        m_endIfNotHeld = inPlay ? QString() : text;
        m_reconnect.start();
        emit connectionLost(text);
        return;
    }
    endTable(text);
}

bool ClientTable::endIfNotHeld()
{
    if (m_endIfNotHeld.isEmpty())
        return false;
    const QString text = std::exchange(m_endIfNotHeld, {});
    stopReconnecting();
    m_leaving = true;
    if (m_connection)
        m_connection->close();
    endTable(text);
    return true;
}

void ClientTable::endTable(const QString &text)
{
    m_tableEnded = true;
    dealKeyCutOff();
    m_seatKey.clear();
    m_roster.clearAll();
    m_creditText = {};
    enterWaitMode();
    emit seatsChanged();
    emit disconnected(text);
}

void ClientTable::enterWaitMode()
{
    ++m_dealSerial;
    m_inDeal = false;
    m_turnSeat = 0;
    m_turnHeld = false;
    m_heldTurnNick.clear();
    m_mayAskNext = false;
    m_dealt = {};
    m_endPause->stop();
    m_countdown->stop();
    m_table.setWaiting();
    emit waitMode();
}

void ClientTable::forgetTable()
{
    // About to take a held seat back: the host's word rebuilds everything this copy knew.
    m_roster.clearAll();
    m_creditText = {};
    enterWaitMode();
    emit seatsChanged();
}

void ClientTable::onUser(const HubMessage &m)
{
    const QString &nick = m.value[1];
    if (m.value[0] == Tag::QUIT) {
        // A departure is found by its nick; its numbers do not matter.
        const int seat = seatOf(nick);
        if (seat != 0 && m_roster.removeByNick(nick)) {
            m_creditText[size_t(seat)].clear();
            emit seatsChanged();
        }
        return;
    }
    int port = 0;
    int seat = 0;
    if (m.value[0] != Tag::JOIN || nick.isEmpty() || !strictToInt(m.value[3], &port)
        || !strictToInt(m.value[4], &seat) || !TuserInfo::validSeat(seat))
        return;
    TuserRec &there = m_roster.user(seat);
    if (there.nick == nick && there.port >= 0) {
        // The player of that seat came back on a new connection.
        there.IP = m.value[2];
        there.port = port;
        there.alive = true;
        if (std::exchange(there.away, false))
            emit awayChanged(seat, false);
        return;
    }
    TuserRec rec;
    rec.nick = nick;
    rec.IP = m.value[2];
    rec.port = port;
    rec.credit = 1000;
    rec.alive = true;
    if (!m_roster.setSeat(rec, seat))
        return;
    m_creditText[size_t(seat)] = QStringLiteral("1000");
    emit seatsChanged();
}

void ClientTable::onCredit(const QString &nick, const QString &credit)
{
    const int seat = seatOf(nick);
    if (seat == 0)
        return;
    // Shown as received; read leniently, so text that is no number counts as nothing left.
    const int value = lenientToInt(credit);
    m_creditText[size_t(seat)] = credit;
    m_roster.user(seat).credit = value;
    if (seat == mySeat())
        m_ownEndSettled = true;
    emit creditChanged(seat, value);
    if (value > 0)
        return;
    emit bankrupt(seat);
    if (seat != mySeat())
        return;
    // Out of the game: nothing to come back to.
    stopReconnecting();
    m_leaving = true;
    if (m_connection)
        m_connection->close();
}

void ClientTable::onAway(const QString &nick)
{
    const int seat = seatOf(nick);
    if (nick == m_nick || seat == 0 || !m_table.seated(seat))
        return;
    m_roster.user(seat).away = true;
    emit awayChanged(seat, true);
}
