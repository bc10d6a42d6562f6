// The benchmark prepares and probes the client as bench/startup does; those sources are built
// into this program too.
#include "../startup/client_folder.cpp"
#include "../startup/process_probe.cpp"
