#include "hub/hubclient.h"
// placeholder until the hub client lands
bool IsNumericAddress(const QString &) { return false; }
TwsHUBcli::TwsHUBcli(const QString &name, QObject *parent) : QObject(parent), m_name(name) {}
TwsHUBcli::~TwsHUBcli() = default;
void TwsHUBcli::setActive(bool) {}
bool TwsHUBcli::setPort(int p) { m_port = p; return true; }
bool TwsHUBcli::setHost(const QString &h) { m_host = h; return true; }
QString TwsHUBcli::Author() const { return {}; }
QString TwsHUBcli::Email() const { return {}; }
QString TwsHUBcli::Url() const { return {}; }
QString TwsHUBcli::Version() const { return QStringLiteral("0.90"); }
void TwsHUBcli::setVersion(const QString &) {}
void TwsHUBcli::Send(const QString &, const QString &, const QString &, const QString &) {}
void TwsHUBcli::Send(const QString &, const QString &, const QString &, const QString &, const QString &,
                     const QString &, const QString &) {}
QString TwsHUBcli::LocalIP() const { return {}; }
int TwsHUBcli::LocalPort() const { return 0; }
bool TwsHUBcli::isConnected() const { return false; }
