// Reading a response head's fields into HttpResponseHead, the same for every HTTP backend.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/http_request.h"

// One "name: value" field (value trimmed). rangeEnd, when given, receives the last byte of a
// "Content-Range: bytes first-last/size" answer.
void ReadHttpHeaderField(const std::string& name, const std::string& value, HttpResponseHead* head,
                         std::optional<uint64_t>* rangeEnd = nullptr);

// A whole head as sent, status line first, lines ending in CRLF; false without a status line.
// A transfer coding drops the length, which then frames nothing (RFC 9112 6.3).
bool ParseHttpHead(const std::string& text, HttpResponseHead* head,
                   std::optional<uint64_t>* rangeEnd);

std::string TrimHttpBlanks(std::string text);
