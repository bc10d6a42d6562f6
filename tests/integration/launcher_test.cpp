// The real launcher: it starts the client beside it with an argument and ends.
#include <gtest/gtest.h>

#include "launcher_process.h"

namespace {

TEST(LauncherTest, StartsTheClientBesideItWithAnArgumentOrItsOwn) {
    launchertest::LauncherFolder folder;
    EXPECT_EQ(folder.Run(), "old run");
    EXPECT_EQ(folder.Run({"-hide"}), "old -hide");
}

}  // namespace
