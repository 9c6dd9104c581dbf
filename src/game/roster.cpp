#include "game/roster.h"
// placeholder until the roster lands
TuserInfo::TuserInfo() {}
bool TuserInfo::setSeat(const TuserRec &, int) { return false; }
bool TuserInfo::removeByNick(const QString &) { return false; }
int TuserInfo::seatOfNick(const QString &) const { return -1; }
int TuserInfo::seatOfPort(int) const { return -1; }
int TuserInfo::firstFreeSeat() const { return -1; }
int TuserInfo::seatCount() const { return 0; }
bool TuserInfo::isFull() const { return false; }
void TuserInfo::clearAll() {}
void TuserInfo::clearSeat(int) {}
int TuserInfo::nextSeat() { return 0; }
int TuserInfo::relativeSeatByPort(int, int) const { return 0; }
int TuserInfo::relativeSeat(const QString &, const QString &) const { return 0; }
TuserRec &TuserInfo::user(int) { return m_outside; }
const TuserRec &TuserInfo::user(int) const { return m_outside; }
