#include "game/messagerouter.h"
// placeholder until the message routing lands
void TMessageRouter::sendToTable(const QString &, const QString &, const QString &, const QString &,
                                 const QString &, const QString &, const QString &) {}
void TMessageRouter::gHostDataArrived(const QString &, int, const QString &, const QString &, const QString &,
                                      const QString &, const QString &, const QString &, const QString &) {}
void TMessageRouter::gClientDataArrived(const QString &, int, const QString &, const QString &, const QString &,
                                        const QString &, const QString &, const QString &, const QString &) {}
void TMessageRouter::dispatchGameMessage(const QString &, int, const QString &, const QString &, const QString &,
                                         const QString &, const QString &, const QString &, const QString &) {}
