// The lines of an INI file and the lookups and edits the private-profile functions make on
// them. Lines that are neither section headers nor keys (comments, blank lines) are kept, and
// every line that is not edited keeps its bytes, whatever they hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CIniDocument {
public:
    // The file's bytes, in code page 936.
    explicit CIniDocument(std::string_view bytes);

    // The trimmed value of the first matching key in the first matching section, without one
    // pair of matching quotes around it.
    std::optional<std::wstring> Find(std::wstring_view section, std::wstring_view key) const;
    // Each returns whether the document changed.
    bool Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    bool Remove(std::wstring_view section, std::wstring_view key);
    bool RemoveSection(std::wstring_view section);

    std::string Bytes() const;

private:
    static constexpr size_t npos = static_cast<size_t>(-1);
    struct Line {
        std::string bytes;  // without its line end
        std::wstring text;
        std::string end;  // "\n", "\r\n", or empty for a last line without one
    };
    Line MakeLine(std::wstring text) const;
    size_t FindSection(std::wstring_view section) const;
    size_t SectionEnd(size_t header) const;
    size_t FindKey(size_t header, std::wstring_view key) const;

    std::vector<Line> m_lines;
    std::string m_strLineEnd = "\n";
};
