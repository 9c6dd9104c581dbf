#include "game/gamecontext.h"
#include "game/clientside.h"
#include "game/dealend.h"
#include "game/gameflow.h"
#include "game/hostadmission.h"
#include "game/messagerouter.h"
#include "game/tableview.h"
#include "hub/hubserver.h"

TGameContext::TGameContext() = default;

TGameContext::~TGameContext()
{
    destroyGameControl();
}

void TGameContext::createGameControl(TTableView *tableView)
{
    view = tableView;
    router = new TMessageRouter(*this);
    admission = new THostAdmission(*this);
    clientSide = new TClientSide(*this);
    flow = new TGameFlow(*this);
    dealEnd = new TDealEnd(*this);
}

void TGameContext::destroyGameControl()
{
    delete dealEnd;
    delete flow;
    delete clientSide;
    delete admission;
    delete router;
    dealEnd = nullptr;
    flow = nullptr;
    clientSide = nullptr;
    admission = nullptr;
    router = nullptr;
}

void TGameContext::enterWaitMode()
{
    st.turnSeat = 0;
    st.startSeat = 0;
    st.gameOn = false;
    table.setWaiting();
    if (flow)
        flow->dropDealtCards();
    if (view)
        view->showWaitMode();
    if (view && gHost && gHost->Active())
        view->setButtonEnabled(TGameButton::NewGame, gHost->ClientCount() > 0);
}
