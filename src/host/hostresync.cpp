// A copy that made a claim the host refused in a deal does not hold the host's table: its move crossed
// the pass the host made for it when its time ran out, or it thought it had won. A copy that said it
// can take the deal's state again gets it as a rejoin does: its hand, the table, the player to move.
#include "game/protocol.h"
#include "host/tablehost.h"
#include "net/connection.h"

void TableHost::resync(int seat)
{
    Connection *link = linkOfSeat(seat);
    if (link && m_features.value(link).contains(Feature::Resync) && m_phase == Phase::Playing) {
        sendDealTo(link, seat);
        m_resentSinceMove[size_t(seat)] = true;
    }
}
