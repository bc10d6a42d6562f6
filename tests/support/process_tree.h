// The processes a test or benchmark started, with the ones they started in turn (Linux).
#pragma once

#include <sys/types.h>

#include <vector>

namespace testsupport {

// The process and all its descendants, the process first.
std::vector<pid_t> ProcessTree(pid_t root);

}  // namespace testsupport
