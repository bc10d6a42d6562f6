// Calling a script command as the bridge does (arguments in the script's order become the
// reversed automation block) and reading back the log lines it wrote.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "browser/invoke_handler.h"
#include "platform/logger.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace commandtest {

// Script arguments, first to last.
class Args {
public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args() {
        for (VARIANT& value : m_values) {
            VariantClear(&value);
        }
    }
    Args& Text(const std::wstring& text) {
        Add(VT_BSTR).bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *this;
    }
    Args& Int(LONG number) {
        Add(VT_I4).lVal = number;
        return *this;
    }
    Args& Bool(bool flag) {
        Add(VT_BOOL).boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return *this;
    }
    Args& Double(double number) {
        Add(VT_R8).dblVal = number;
        return *this;
    }
    // The automation block: the script's first argument last.
    DISPPARAMS Params() {
        m_reversed.assign(m_values.rbegin(), m_values.rend());
        return DISPPARAMS{m_reversed.empty() ? nullptr : m_reversed.data(), nullptr,
                          static_cast<UINT>(m_reversed.size()), 0};
    }

private:
    VARIANT& Add(VARTYPE vt) {
        m_values.emplace_back();
        VariantInit(&m_values.back());
        m_values.back().vt = vt;
        return m_values.back();
    }
    std::vector<VARIANT> m_values;
    std::vector<VARIANT> m_reversed;  // shallow copies; m_values owns the strings
};

// A result slot that frees what a command put into it.
struct Result {
    Result() { VariantInit(&value); }
    ~Result() { VariantClear(&value); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    std::wstring Text() const {
        return value.vt == VT_BSTR && value.bstrVal != nullptr
                   ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                   : std::wstring();
    }
    VARIANT value;
};

inline HRESULT Call(CInvokeHandler& handler, WORD flags, Args& args, VARIANT* result) {
    DISPPARAMS params = args.Params();
    return handler.Invoke(IID_NULL, 0, flags, &params, result, nullptr, nullptr);
}

// Sends the log to a file of its own for the test; Lines() gives the text after the time
// and level of every line written since.
class LoggedLines : public ::testing::Test {
protected:
    void SetUp() override { Logger::instance().SetFile(m_logDir.wide(L"commands.log")); }
    void TearDown() override { Logger::instance().SetFile(L""); }
    std::vector<std::string> Lines() const {
        std::ifstream file(m_logDir.path() / "commands.log");
        std::vector<std::string> lines;
        const std::string level = " INFO ";
        for (std::string line; std::getline(file, line);) {
            size_t at = line.find(level);
            lines.push_back(at == std::string::npos ? line : line.substr(at + level.size()));
        }
        return lines;
    }

    TempFolder m_logDir;
};

}  // namespace commandtest
