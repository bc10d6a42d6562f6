#include "ini_document.h"

#include "platform/text_encoding.h"

namespace {

std::wstring_view Trim(std::wstring_view text) {
    const wchar_t* blanks = L" \t";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// "[name]" with optional blanks; the name ends at the first ']'.
bool SectionName(std::wstring_view line, std::wstring_view& name) {
    std::wstring_view text = Trim(line);
    if (text.empty() || text.front() != L'[') {
        return false;
    }
    size_t close = text.find(L']');
    name = Trim(
        text.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1));
    return true;
}

bool KeyAndValue(std::wstring_view line, std::wstring_view& key, std::wstring_view& value) {
    size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        return false;
    }
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return !key.empty();
}

}  // namespace

CIniDocument::CIniDocument(std::wstring_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        std::wstring_view line = text.substr(
            start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.remove_suffix(1);
            m_strLineEnd = L"\r\n";  // keep the file's own line ends
        }
        m_lines.emplace_back(line);
        if (end == std::wstring_view::npos) {
            break;
        }
        start = end + 1;
    }
}

size_t CIniDocument::FindSection(std::wstring_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::wstring_view name;
        if (SectionName(m_lines[i], name) && EqualsIgnoringCase(name, Trim(section))) {
            return i;
        }
    }
    return npos;
}

size_t CIniDocument::SectionEnd(size_t header) const {
    std::wstring_view name;
    size_t i = header + 1;
    while (i < m_lines.size() && !SectionName(m_lines[i], name)) {
        ++i;
    }
    return i;
}

size_t CIniDocument::FindKey(size_t header, std::wstring_view key) const {
    size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        std::wstring_view name, value;
        if (KeyAndValue(m_lines[i], name, value) && EqualsIgnoringCase(name, Trim(key))) {
            return i;
        }
    }
    return npos;
}

std::optional<std::wstring> CIniDocument::Find(std::wstring_view section,
                                               std::wstring_view key) const {
    size_t header = FindSection(section);
    if (header == npos) {
        return std::nullopt;
    }
    size_t line = FindKey(header, key);
    if (line == npos) {
        return std::nullopt;
    }
    std::wstring_view name, value;
    KeyAndValue(m_lines[line], name, value);
    return std::wstring(value);
}

bool CIniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    std::wstring entry = std::wstring(Trim(key)) + L"=" + std::wstring(value);
    size_t header = FindSection(section);
    if (header == npos) {
        m_lines.push_back(L"[" + std::wstring(Trim(section)) + L"]");
        m_lines.push_back(entry);
        return true;
    }
    size_t line = FindKey(header, key);
    if (line != npos) {
        if (m_lines[line] == entry) {
            return false;
        }
        m_lines[line] = entry;
        return true;
    }
    // After the section's last line that holds anything, so blank lines between sections stay.
    size_t insert = SectionEnd(header);
    while (insert > header + 1 && Trim(m_lines[insert - 1]).empty()) {
        --insert;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insert), entry);
    return true;
}

bool CIniDocument::Remove(std::wstring_view section, std::wstring_view key) {
    size_t header = FindSection(section);
    size_t line = header == npos ? npos : FindKey(header, key);
    if (line == npos) {
        return false;
    }
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(line));
    return true;
}

bool CIniDocument::RemoveSection(std::wstring_view section) {
    size_t header = FindSection(section);
    if (header == npos) {
        return false;
    }
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    return true;
}

std::wstring CIniDocument::Text() const {
    std::wstring text;
    for (const std::wstring& line : m_lines) {
        text += line;
        text += m_strLineEnd;
    }
    return text;
}
