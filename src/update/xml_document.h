// Loading the update manifest and reading element texts with XPath selections.
#pragma once

#include <cstdint>
#include <string>

#include <pugixml.hpp>

#include "platform/automation.h"

// Manifests above this size are refused before parsing: a real one is a few kilobytes.
constexpr std::uintmax_t kMaxManifestBytes = 1024 * 1024;

// S_OK when the file is a well-formed XML document of at most kMaxManifestBytes; E_FAIL
// otherwise. Documents that declare a GB code page are decoded as code page 936.
HRESULT LoadXmlDocument(const std::wstring& path, pugi::xml_document& document);

// The text of node's first selection of name (the concatenated text below it, trimmed);
// FALSE and an empty text when nothing is selected.
BOOL GetNodeText(const pugi::xml_node& node, const char* name, std::wstring& text);

// The DOM text of a node: every text below it, joined, without surrounding white space.
std::wstring GetDomText(const pugi::xml_node& node);

// The C runtime's _wtoi64: leading blanks and a sign, digits up to the first other character,
// 0 without digits, saturated on overflow.
LONGLONG ParseInt64(const std::wstring& text);
