// Every unit test runs with the client's folders in a temporary folder, so that no test (nor
// a WriteLog deep inside one) touches the real home.
#include <gtest/gtest.h>

#include <memory>

#include "scoped_environment.h"

namespace {

class HermeticFolders : public ::testing::Environment {
public:
    void SetUp() override { m_environment = std::make_unique<ScopedEnvironment>(); }
    void TearDown() override { m_environment.reset(); }

private:
    std::unique_ptr<ScopedEnvironment> m_environment;
};

[[maybe_unused]] ::testing::Environment* const kHermeticFolders =
    ::testing::AddGlobalTestEnvironment(new HermeticFolders);

}  // namespace
