#include "game/hostadmission.h"
// placeholder until host admission lands
void THostAdmission::gHostHosting() {}
void THostAdmission::gHostClientConnect(const QString &, int) {}
void THostAdmission::onCheckVersion(int, const QString &) {}
void THostAdmission::onRequestJoin(const QString &, int, const QString &) {}
void THostAdmission::onPong(int, const QString &) {}
void THostAdmission::gHostClientDisconnect(const QString &, int) {}
void THostAdmission::btnPingClick() {}
void THostAdmission::Timer1Timer() {}
void THostAdmission::btnStopClick() {}
