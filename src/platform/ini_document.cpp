#include "platform/ini_document.h"

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

CIniDocument::CIniDocument(std::string_view bytes) {
    bool endSeen = false;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        Line line;
        line.bytes = bytes.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end != std::string_view::npos) {
            line.end = "\n";
            if (!line.bytes.empty() && line.bytes.back() == '\r') {
                line.bytes.pop_back();
                line.end = "\r\n";
            }
            if (!endSeen) {
                m_strLineEnd = line.end;  // new lines follow the file's first line end
                endSeen = true;
            }
        }
        line.text = DecodeText936(line.bytes);
        m_lines.push_back(std::move(line));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
}

CIniDocument::Line CIniDocument::MakeLine(std::wstring text) const {
    return Line{EncodeText936(text), std::move(text), m_strLineEnd};
}

size_t CIniDocument::FindSection(std::wstring_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::wstring_view name;
        if (SectionName(m_lines[i].text, name) && EqualsIgnoringCase(name, Trim(section))) {
            return i;
        }
    }
    return npos;
}

size_t CIniDocument::SectionEnd(size_t header) const {
    std::wstring_view name;
    size_t i = header + 1;
    while (i < m_lines.size() && !SectionName(m_lines[i].text, name)) {
        ++i;
    }
    return i;
}

size_t CIniDocument::FindKey(size_t header, std::wstring_view key) const {
    size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        std::wstring_view name, value;
        if (KeyAndValue(m_lines[i].text, name, value) && EqualsIgnoringCase(name, Trim(key))) {
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
    KeyAndValue(m_lines[line].text, name, value);
    // As the original reader: one pair of matching quotes around the value is dropped.
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::wstring(value);
}

bool CIniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    std::wstring entry = std::wstring(Trim(key)) + L"=" + std::wstring(value);
    size_t header = FindSection(section);
    if (header == npos) {
        m_lines.push_back(MakeLine(L"[" + std::wstring(Trim(section)) + L"]"));
        m_lines.push_back(MakeLine(entry));
        return true;
    }
    size_t line = FindKey(header, key);
    if (line != npos) {
        if (m_lines[line].text == entry) {
            return false;
        }
        std::string end = m_lines[line].end;
        m_lines[line] = MakeLine(entry);
        m_lines[line].end = end.empty() ? m_strLineEnd : end;
        return true;
    }
    // After the section's last line that holds anything, so blank lines between sections stay.
    size_t insert = SectionEnd(header);
    while (insert > header + 1 && Trim(m_lines[insert - 1].text).empty()) {
        --insert;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insert), MakeLine(entry));
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

std::string CIniDocument::Bytes() const {
    std::string bytes;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        bytes += line.bytes;
        // A last line without a line end gets one only when lines follow it now.
        bytes += line.end.empty() && i + 1 < m_lines.size() ? m_strLineEnd : line.end;
    }
    return bytes;
}
