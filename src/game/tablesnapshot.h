#pragma once
// "[TABLE]": the running deal as a player who comes back needs it: the combination on the table and
// who threw it, who has passed, and how many cards each seat holds.
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class TTable;

struct TTableSnapshot
{
    QStringList tableCards; // empty when the table is clear
    QString thrower;        // nick, empty when the table is clear
    QStringList passed;     // nicks with a pass marker
    std::array<int, 5> counts{}; // cards per absolute seat 1..4
};

// The host's values 1 to 4 of "[TABLE]", from its model and roster.
QStringList tableSnapshotValues(const TTable &table);
// Empty unless the table is a card list of at most five cards and there are four counts of 0..13.
std::optional<TTableSnapshot> parseTableSnapshot(const QString &cards, const QString &thrower, const QString &passed,
                                                 const QString &counts);
