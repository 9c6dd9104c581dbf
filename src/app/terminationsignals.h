#pragma once
// SIGTERM and SIGINT reach the event loop as an ordinary call: the handler runs there, not in the signal.
#include <functional>

class QObject;

void watchTerminationSignals(QObject *context, std::function<void()> handler);
