// Wide arguments as the null-ended array of UTF-8 texts that posix_spawn and gtk_init take.
#pragma once

#include <string>
#include <vector>

#include "platform/text_encoding.h"

namespace platform::detail {

class CNarrowArguments {
public:
    explicit CNarrowArguments(const std::vector<std::wstring>& words) {
        for (const std::wstring& word : words) {
            m_words.push_back(WideToUtf8(word));
        }
        for (std::string& word : m_words) {
            m_pointers.push_back(word.data());
        }
        m_pointers.push_back(nullptr);
    }
    CNarrowArguments(const CNarrowArguments&) = delete;
    CNarrowArguments& operator=(const CNarrowArguments&) = delete;

    int Count() const { return static_cast<int>(m_words.size()); }
    char** Argv() { return m_pointers.data(); }

private:
    std::vector<std::string> m_words;
    std::vector<char*> m_pointers;
};

}  // namespace platform::detail
