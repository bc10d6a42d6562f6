// The gate a CWinThread waits at before InitInstance.
#pragma once

#include "platform/types.h"

namespace platform::detail {

// Signals the event. Once the gate opens, a self-deleting thread may end and free its object
// (and close the event) at any moment: the caller touches no member afterwards.
void OpenThreadGate(HANDLE gate);

}  // namespace platform::detail
