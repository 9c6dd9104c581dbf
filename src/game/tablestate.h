#pragma once
// Game state of one copy of the program.
#include <QString>
#include <array>

struct TableState
{
    QString myNick;
    int myPort = 0;          // 0 on the host; the hub client's LocalPort on a client
    QString hostIP;
    bool hosting = false;
    bool gameOn = false;
    int turnSeat = 0;        // screen seat to move, 0 nobody
    int startSeat = 0;       // screen seat leading the next deal, 0 when the lowest card decides
    int selectedCount = 0;   // raised own cards, 0..5
    QString seatKey;         // a guest's proof of its seat, from the host; empty when not seated
};
