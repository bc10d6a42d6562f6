// The browser tests keep their cookies and storage in the session's work folder, never in
// the user's home.
#include <gtest/gtest.h>

#include "gui_support.h"
#include "platform/text_encoding.h"
#include "platform/web_view.h"

namespace {

class CWebDataEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        platform::SetWebDataDirectory(Utf8ToWide(GuiWorkDir()) + L"/webdata/");
    }
};

const auto* const kWebData = ::testing::AddGlobalTestEnvironment(new CWebDataEnvironment);

}  // namespace
