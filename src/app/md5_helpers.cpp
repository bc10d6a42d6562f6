// MD5 digests as 32 lower-case hexadecimal digits, through OpenSSL.
#include <openssl/evp.h>

#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "app/helpers.h"
#include "platform/files.h"

namespace {

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

std::wstring HexOf(const unsigned char* digest, unsigned size) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(size * 2);
    for (unsigned i = 0; i < size; ++i) {
        text.push_back(kDigits[digest[i] >> 4]);
        text.push_back(kDigits[digest[i] & 0x0F]);
    }
    return text;
}

// Empty when the MD5 facility is missing (a library built without it).
DigestContext StartMd5() {
    const EVP_MD* md5 = EVP_md5();
    if (md5 == nullptr) {
        return nullptr;
    }
    DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), md5, nullptr) != 1) {
        return nullptr;
    }
    return context;
}

std::wstring FinishMd5(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (EVP_DigestFinal_ex(context, digest, &size) != 1) {
        return {};
    }
    return HexOf(digest, size);
}

}  // namespace

std::wstring MD5OfBuffer(const void* data, size_t length) {
    DigestContext context = StartMd5();
    if (!context || (length > 0 && EVP_DigestUpdate(context.get(), data, length) != 1)) {
        return {};
    }
    return FinishMd5(context.get());
}

std::wstring MD5OfFile(const wchar_t* path) {
    if (path == nullptr) {
        return {};
    }
    std::filesystem::path native = PathFromWide(path);
    std::ifstream file(native, std::ios::binary);
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(native, error);
    if (!file || error || size == 0) {
        return {};
    }
    DigestContext context = StartMd5();
    if (!context) {
        return {};
    }
    // Streamed in chunks: update files can be large.
    std::vector<char> chunk(1 << 16);
    uintmax_t left = size;
    while (left > 0) {
        size_t want = static_cast<size_t>(std::min<uintmax_t>(left, chunk.size()));
        file.read(chunk.data(), static_cast<std::streamsize>(want));
        if (static_cast<size_t>(file.gcount()) != want) {
            return {};  // the file shrank while being read
        }
        if (EVP_DigestUpdate(context.get(), chunk.data(), want) != 1) {
            return {};
        }
        left -= want;
    }
    return FinishMd5(context.get());
}
