#include "platform/http_head_fields.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

bool SameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// Digits only, and nothing that would not fit 64 bits.
std::optional<uint64_t> ParseNumber(const std::string& text) {
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (errno == ERANGE) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(value);
}

}  // namespace

std::string TrimHttpBlanks(std::string text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

void ReadHttpHeaderField(const std::string& name, const std::string& value, HttpResponseHead* head,
                         std::optional<uint64_t>* rangeEnd) {
    if (SameName(name, "Content-Length")) {
        head->contentLength = ParseNumber(value);
    } else if (SameName(name, "Location")) {
        head->location = value;
    } else if (SameName(name, "Transfer-Encoding")) {
        // Several fields form one list.
        head->transferEncoding =
            head->transferEncoding ? *head->transferEncoding + ", " + value : value;
    } else if (SameName(name, "Content-Range")) {
        // "bytes first-last/size"; "bytes */size" names no first byte.
        if (value.size() > 6 && SameName(value.substr(0, 6), "bytes ")) {
            const std::string range = TrimHttpBlanks(value.substr(6));
            head->rangeStart = ParseNumber(range);
            const size_t dash = range.find('-');
            if (rangeEnd != nullptr && head->rangeStart && dash != std::string::npos) {
                *rangeEnd = ParseNumber(range.substr(dash + 1));
            }
        }
    }
}

bool ParseHttpHead(const std::string& text, HttpResponseHead* head,
                   std::optional<uint64_t>* rangeEnd) {
    *head = HttpResponseHead{};
    if (rangeEnd != nullptr) {
        rangeEnd->reset();
    }
    size_t lineEnd = text.find("\r\n");
    const std::string statusLine = text.substr(0, lineEnd);
    const size_t space = statusLine.find(' ');
    if (statusLine.rfind("HTTP/", 0) != 0 || space == std::string::npos) {
        return false;
    }
    head->status = std::strtol(statusLine.c_str() + space + 1, nullptr, 10);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = text.find("\r\n", start);
        const std::string line = text.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            ReadHttpHeaderField(TrimHttpBlanks(line.substr(0, colon)),
                                TrimHttpBlanks(line.substr(colon + 1)), head, rangeEnd);
        }
    }
    if (head->transferEncoding) {
        head->contentLength.reset();
    }
    return true;
}
