#pragma once
// SIGTERM and SIGINT (termination), SIGHUP (reload) reach the event loop as ordinary calls: the
// handlers run there, not in the signal.
#include <functional>

class QObject;

void watchTerminationSignals(QObject *context, std::function<void()> handler);
void watchReloadSignal(QObject *context, std::function<void()> handler);
