#include "hub/hubserver.h"
// placeholder until the hub server lands
struct TwsHUBsvr::Conn {};
TwsHUBsvr::TwsHUBsvr(const QString &name, QObject *parent) : QObject(parent), m_name(name) {}
TwsHUBsvr::~TwsHUBsvr() = default;
bool TwsHUBsvr::Active() const { return m_active; }
void TwsHUBsvr::setActive(bool) {}
int TwsHUBsvr::Port() const { return m_port; }
bool TwsHUBsvr::setPort(int p) { m_port = p; return true; }
QString TwsHUBsvr::Author() const { return {}; }
QString TwsHUBsvr::Email() const { return {}; }
QString TwsHUBsvr::Url() const { return {}; }
QString TwsHUBsvr::Version() const { return QStringLiteral("0.90"); }
void TwsHUBsvr::setVersion(const QString &) {}
int TwsHUBsvr::listeningPort() const { return 0; }
QString TwsHUBsvr::lastErrorText() const { return {}; }
void TwsHUBsvr::SendToAll(const QString &, const QString &, const QString &, const QString &) {}
void TwsHUBsvr::SendToAll(const QString &, const QString &, const QString &, const QString &, const QString &,
                          const QString &, const QString &) {}
void TwsHUBsvr::SendToAllExcept(const QString &, const QString &, const QString &, const QString &,
                                const QString &, const QString &, const QString &, int) {}
bool TwsHUBsvr::SendToClient(int, const QString &, const QString &, const QString &, const QString &) { return false; }
bool TwsHUBsvr::SendToClient(int, const QString &, const QString &, const QString &, const QString &,
                             const QString &, const QString &, const QString &) { return false; }
bool TwsHUBsvr::DropClient(int) { return false; }
QString TwsHUBsvr::LocalHostName() { return {}; }
QString TwsHUBsvr::LocalIP() { return {}; }
void TwsHUBsvr::pumpSendQueue() {}
