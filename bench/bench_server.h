#pragma once
// quadrix-bench --server [N,N,...] [seconds] [players over loopback per table]: many tables on one server.
int runServerScale(int argc, char *argv[]);
