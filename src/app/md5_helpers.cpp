// File and buffer digests as lower-case hexadecimal text, through the platform's digests.
#include <algorithm>
#include <fstream>
#include <system_error>
#include <vector>

#include "app/helpers.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

namespace {

// Empty when the file cannot be read whole; emptyFileHasDigest false gives an empty text for a
// file of zero bytes, as the MD5 of update files always did.
std::wstring DigestOfFile(const wchar_t* path, platform::DigestKind kind, bool emptyFileHasDigest) {
    if (path == nullptr) {
        return {};
    }
    std::filesystem::path native = PathFromWide(path);
    std::ifstream file(native, std::ios::binary);
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(native, error);
    if (!file || error || (size == 0 && !emptyFileHasDigest)) {
        return {};
    }
    platform::CDigest digest(kind);
    // Streamed in chunks: update files can be large.
    std::vector<char> chunk(1 << 16);
    uintmax_t left = size;
    while (left > 0) {
        size_t want = static_cast<size_t>(std::min<uintmax_t>(left, chunk.size()));
        file.read(chunk.data(), static_cast<std::streamsize>(want));
        if (static_cast<size_t>(file.gcount()) != want) {
            return {};  // the file shrank while being read
        }
        if (!digest.Update(chunk.data(), want)) {
            return {};
        }
        left -= want;
    }
    return Utf8ToWide(digest.FinishHex());
}

}  // namespace

std::wstring MD5OfBuffer(const void* data, size_t length) {
    platform::CDigest digest(platform::DigestKind::Md5);
    if (!digest.Update(data, length)) {
        return {};
    }
    return Utf8ToWide(digest.FinishHex());
}

std::wstring MD5OfFile(const wchar_t* path) {
    return DigestOfFile(path, platform::DigestKind::Md5, false);
}

std::wstring SHA256OfFile(const wchar_t* path) {
    return DigestOfFile(path, platform::DigestKind::Sha256, true);
}
