#pragma once
// The game's objects of one copy of the program: deck engine, rules, roster, table model, the two
// hubs and the game control. The window owns one (it is one) and shows it through TTableView.
#include "cards/cardeng.h"
#include "game/roster.h"
#include "game/table.h"
#include "game/tablestate.h"
#include "rules/rules.h"

class QTimer;
class TwsHUBsvr;
class TwsHUBcli;
class TMessageRouter;
class THostAdmission;
class TClientSide;
class TGameFlow;
class TDealEnd;
class TTableView;

class TGameContext
{
public:
    TGameContext();
    virtual ~TGameContext();
    TGameContext(const TGameContext &) = delete;
    TGameContext &operator=(const TGameContext &) = delete;

    TCardEng CardEng1;
    TCombinationRules rules{CardEng1};
    TuserInfo roster;
    TableState st;
    TTable table{roster, rules};    // hands, table, passes, turn: what the game control reads
    TwsHUBsvr *gHost = nullptr;
    TwsHUBcli *gClient = nullptr;
    QTimer *Timer1 = nullptr;       // 10000 ms, the ping time-out

    // The game control, one concern each
    TMessageRouter *router = nullptr;
    THostAdmission *admission = nullptr;
    TClientSide *clientSide = nullptr;
    TGameFlow *flow = nullptr;
    TDealEnd *dealEnd = nullptr;
    TTableView *view = nullptr;

    // Creates the game control on this context; view must outlive it.
    void createGameControl(TTableView *tableView);
    void destroyGameControl();
    // Wait mode: no deal, nobody to move, the next leader found from the cards again.
    void enterWaitMode();
};
