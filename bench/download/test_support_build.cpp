// The benchmark serves its file with the tests' local HTTP server and receives the task's
// notifications as the tests do; their sources are built into this program from tests/support.
#include "../../tests/support/manifest_signer.cpp"
#include "../../tests/support/notification_receiver.cpp"
#include "../../tests/support/test_http_server.cpp"
