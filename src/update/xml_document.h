// Loading the update manifest and reading element texts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation.h"
#include "platform/xml_document.h"

// Manifests above this size are refused before parsing: a real one is a few kilobytes.
constexpr std::uintmax_t kMaxManifestBytes = 1024 * 1024;
// Manifests nest four levels deep; far deeper ones are refused as not being manifests.
constexpr size_t kMaxManifestDepth = 32;

// S_OK when the file is a well-formed XML document of at most kMaxManifestBytes nesting at
// most kMaxManifestDepth elements; E_FAIL
// otherwise. Documents that declare a GB code page are decoded as code page 936.
HRESULT LoadXmlDocument(const std::wstring& path, platform::CXmlDocument& document);
// The same for bytes already read.
HRESULT LoadXmlBytes(const std::string& bytes, platform::CXmlDocument& document);

// The text of node's first selection of name (the concatenated text below it, trimmed);
// FALSE and an empty text when nothing is selected.
BOOL GetNodeText(const platform::CXmlNode& node, const char* name, std::wstring& text);

// The DOM text of a node: every text below it, joined, without surrounding white space.
std::wstring GetDomText(const platform::CXmlNode& node);

// The C runtime's _wtoi64: leading blanks and a sign, digits up to the first other character,
// 0 without digits, saturated on overflow.
LONGLONG ParseInt64(const std::wstring& text);
