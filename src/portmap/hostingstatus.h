#pragma once
// The status line of a hosted table: where it listens, and once the router has answered, whether
// players outside the home network can join and, when they cannot, why and what to do.
#include "portmap/portmapper.h"
#include <QString>

// " Hosting as " + address + " @ " + port + " ..." while the router has not answered (or is not asked).
QString hostingText(const QString &insideAddress, int port);
// The line for the router's answer.
QString hostingText(const QString &insideAddress, int port, const PortMapResult &result);
