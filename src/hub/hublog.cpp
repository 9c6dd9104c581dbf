#include "hub/hublog.h"
// placeholder until the hub log lands
void AppendLog(const QString &, const QString &) {}
QString SocketErrorText(int) { return {}; }
QString PreferredLocalAddress(const QStringList &) { return {}; }
QString PreferredLocalAddress() { return {}; }
void setLocalAddressProvider(std::function<QStringList()>) {}
