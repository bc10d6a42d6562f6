// What the private-profile functions share on every platform: one lock for the read-modify-
// write of a file in this process, reading a file whole, and writing keys in one replacement.
#pragma once

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/private_profile.h"

namespace platform::detail {

std::mutex& ProfileMutex();
bool ReadProfileBytes(const std::filesystem::path& path, std::string& bytes);
// Refuses keys the file cannot hold (errno EINVAL); all land in one replacement, or none.
BOOL WriteProfileKeys(const PROFILE_WRITE* writes, size_t count, LPCWSTR fileName);

}  // namespace platform::detail
