#include "platform/xml_walk.h"

namespace platform::detail {

std::vector<std::string_view> SplitXmlPath(std::string_view path) {
    std::vector<std::string_view> steps;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        steps.push_back(path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return steps;
}

std::wstring TrimXmlSpace(const std::wstring& text) {
    const wchar_t* space = L" \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::wstring::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

}  // namespace platform::detail
