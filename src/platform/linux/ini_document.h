// The lines of an INI file and the lookups and edits the private-profile functions make on
// them. Lines that are neither section headers nor keys (comments, blank lines) are kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CIniDocument {
public:
    explicit CIniDocument(std::wstring_view text);

    // The trimmed value of the first matching key in the first matching section.
    std::optional<std::wstring> Find(std::wstring_view section, std::wstring_view key) const;
    // Each returns whether the document changed.
    bool Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    bool Remove(std::wstring_view section, std::wstring_view key);
    bool RemoveSection(std::wstring_view section);

    std::wstring Text() const;

private:
    static constexpr size_t npos = static_cast<size_t>(-1);
    size_t FindSection(std::wstring_view section) const;
    size_t SectionEnd(size_t header) const;
    size_t FindKey(size_t header, std::wstring_view key) const;

    std::vector<std::wstring> m_lines;
    std::wstring m_strLineEnd = L"\n";
};
