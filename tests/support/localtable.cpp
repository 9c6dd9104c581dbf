#include "support/localtable.h"
#include "net/localpipe.h"
#include <QTimer>
#include <algorithm>

namespace Stress {

LocalTable::LocalTable(const QStringList &nicks, bool owned)
{
    connect(&host, &TableHost::phaseChanged, this, [this](TableHost::Phase p) {
        for (int s = 1; s <= 4 && p == TableHost::Phase::Playing; ++s)
            m_dealtWins += host.table().winsAsDealt(s) ? 1 : 0;
    });
    for (int i = 0; i < nicks.size(); ++i)
        join(nicks.at(i), owned && i == 0);
}

LocalTable::~LocalTable()
{
    players.clear();
}

ClientTable *LocalTable::join(const QString &nick, bool owner)
{
    auto [hostEnd, playerEnd] = LocalConnection::createPair(&host, this);
    players.push_back(std::make_unique<ClientTable>(playerEnd, nick));
    ClientTable *p = players.back().get();
    connect(p, &ClientTable::turnChanged, this, [this, p](int seat) {
        if (m_autoPlay && seat == p->mySeat())
            QTimer::singleShot(0, p, [this, p] { playFor(p); });
    });
    connect(p, &ClientTable::dealEnded, this, [this, p](int winner) {
        if (m_autoPlay && winner == p->mySeat())
            QTimer::singleShot(ClientTable::kEndPauseMs + 20, p, [p] { p->nextDeal(); });
    });
    if (owner)
        host.setOwner(hostEnd, QStringLiteral("127.0.0.1"));
    else
        host.addConnection(hostEnd);
    p->start();
    return p;
}

ClientTable *LocalTable::player(const QString &nick) const
{
    for (const auto &p : players)
        if (p->myNick() == nick)
            return p.get();
    return nullptr;
}

ClientTable *LocalTable::playerAt(int seat) const
{
    return player(host.roster().user(seat).nick);
}

bool LocalTable::allSeated() const
{
    return std::all_of(players.begin(), players.end(), [](const auto &p) { return p->mySeat() != 0; });
}

void LocalTable::playFor(ClientTable *p)
{
    if (!p->myTurn())
        return;
    const QStringList pick = weakestSingle(*p);
    if (pick.isEmpty() || !p->play(pick))
        p->pass();
}

QStringList weakestSingle(const ClientTable &p)
{
    TCardEng eng;
    TCombinationRules rules(eng);
    rules.useGameWeights();
    QStringList hand = p.hand();
    std::sort(hand.begin(), hand.end(),
              [&eng](const QString &a, const QString &b) { return eng.CardValue(a) < eng.CardValue(b); });
    const QStringList on = p.table().tableCards();
    if (hand.isEmpty() || on.size() > 1)
        return {};
    for (const QString &c : std::as_const(hand))
        if (on.isEmpty() || eng.CardValue(c) > eng.CardValue(on.first()))
            return {c};
    return {};
}

QStringList stackedDeck(const std::array<QStringList, 5> &hands)
{
    QStringList deck;
    for (int k = 0; k < 13; ++k)
        for (int s = 1; s <= 4; ++s)
            deck << hands[size_t(s)].at(k);
    return deck;
}

QString LocalTable::disagreement() const
{
    const TTable &truth = host.table();
    for (const auto &p : players) {
        if (p->mySeat() == 0)
            continue;
        const TTable &seen = p->table();
        const QString who = p->myNick() + QStringLiteral(": ");
        for (int s = 1; s <= 4; ++s) {
            if (seen.cardCount(s) != truth.cardCount(s))
                return who + QStringLiteral("seat %1 holds %2 cards, not %3").arg(s).arg(seen.cardCount(s)).arg(truth.cardCount(s));
            if (seen.passed(s) != truth.passed(s))
                return who + QStringLiteral("the pass of seat %1 differs").arg(s);
        }
        if (p->hand() != truth.hand(p->mySeat()))
            return who + QStringLiteral("the own hand differs");
        if (seen.tableCards() != truth.tableCards() || seen.thrower() != truth.thrower())
            return who + QStringLiteral("the table differs");
        if (host.phase() == TableHost::Phase::Playing && p->turnSeat() != truth.toMove())
            return who + QStringLiteral("shows seat %1 to move, not %2").arg(p->turnSeat()).arg(truth.toMove());
    }
    return {};
}

} // namespace Stress
