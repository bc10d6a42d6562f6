#include "update/update_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "app/helpers.h"
#include "platform/digest.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/read_file.h"
#include "platform/text_encoding.h"
#include "platform/write_file.h"

namespace {
constexpr size_t kSha256Digits = 64;
}  // namespace

bool FileExists(const std::wstring& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(PathFromWide(path), error);
}

BOOL DeleteFileAt(const std::wstring& path) {
    std::error_code error;
    return std::filesystem::remove(PathFromWide(path), error) ? TRUE : FALSE;
}

BOOL MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    std::error_code error;
    std::filesystem::rename(PathFromWide(from), PathFromWide(to), error);
    return error ? FALSE : TRUE;
}

std::wstring DigestOfFileLike(const std::wstring& expected, const std::wstring& path) {
    return expected.size() == kSha256Digits ? SHA256OfFile(path.c_str()) : MD5OfFile(path.c_str());
}

VerifiedCopy CopyFileVerified(const std::wstring& from, const std::wstring& to,
                              const std::wstring& expected) {
    platform::CReadFile source;
    if (!source.Open(PathFromWide(from))) {
        return VerifiedCopy::Unreadable;
    }
    const std::filesystem::path target = PathFromWide(to);
    platform::CWriteFile copy;
    if (!copy.Create(target)) {
        return VerifiedCopy::Unwritable;
    }
    platform::CDigest digest(expected.size() == kSha256Digits ? platform::DigestKind::Sha256
                                                              : platform::DigestKind::Md5);
    VerifiedCopy result = VerifiedCopy::Copied;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const int64_t read = source.Read(buffer.data(), buffer.size());
        if (read < 0) {
            result = VerifiedCopy::Unreadable;
            break;
        }
        if (read == 0) {
            break;
        }
        const size_t size = static_cast<size_t>(read);
        if (!copy.Write(buffer.data(), size)) {
            result = VerifiedCopy::Unwritable;
            break;
        }
        digest.Update(buffer.data(), size);
    }
    if (result == VerifiedCopy::Copied && !copy.Flush()) {
        result = VerifiedCopy::Unwritable;
    }
    if (result == VerifiedCopy::Copied && !expected.empty() &&
        Utf8ToWide(digest.FinishHex()) != expected) {
        result = VerifiedCopy::Mismatch;
    }
    copy.Close();
    if (result != VerifiedCopy::Copied) {
        std::error_code error;
        std::filesystem::remove(target, error);
    }
    return result;
}

bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    const std::filesystem::path native = PathFromWide(path);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(native, error);
    if (error || size > maxBytes) {
        return false;
    }
    std::ifstream file(native, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return bytes.size() <= maxBytes && !file.bad();
}

bool SwapDeliveredLauncher(const std::wstring& folder) {
    const std::wstring delivered = folder + kDeliveredLauncherName + kExecutableSuffix;
    return FileExists(delivered) &&
           MoveFileReplacing(delivered, folder + kLauncherName + kExecutableSuffix);
}
