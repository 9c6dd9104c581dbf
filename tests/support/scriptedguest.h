#pragma once
// A guest that plays by itself over a raw connection: it follows the table on a TTable of its own, as
// a player's copy does, and plays the weakest single that beats the table (or leads its lowest card,
// or passes). It claims its won deals, leads the next one and asks for it. It also counts what an
// honest copy would take for the host's faults: a turn notice that came before the move it followed.
#include "cards/cardeng.h"
#include "game/roster.h"
#include "game/table.h"
#include "rules/rules.h"
#include "support/rawpeer.h"
#include <QHash>

namespace Stress {

class ScriptedGuest : public QObject
{
public:
    explicit ScriptedGuest(const QString &nick);
    bool join(int port);
    RawPeer peer;
    QString nick;
    int mySeat() const { return roster.seatOfNick(nick); }

    TuserInfo roster;
    TCardEng eng;
    TCombinationRules rules{eng};
    TTable table{roster, rules};
    QHash<QString, int> credits; // as announced
    QStringList winners;         // every deal end seen, its own claims included
    int turnsBeforeMove = 0;     // a turn notice arrived with the last mover's move still unseen
    bool askNextDeal = true;

private:
    void onMessage(const HubMessage &m);
    void play();
    QStringList m_dealt;
    bool m_moveSeen = true;
};

} // namespace Stress
