#pragma once
// The local network's gateway, and which IPv4 addresses cannot be reached from the internet.
#include <QHostAddress>

// The IPv4 default gateway from the kernel's routing table; a null address when there is none.
QHostAddress defaultGateway();
// 10/8, 172.16/12, 192.168/16 (private), 100.64/10 (shared by carriers), loopback and link-local:
// an address of these ranges is not reachable from the internet.
bool isPrivateOrShared(const QHostAddress &address);
