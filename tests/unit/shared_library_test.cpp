// Libraries opened on first use: a missing library or function leaves no table, and the log
// says which, so an updater that cannot download or verify can be told from a broken server.
#include <gtest/gtest.h>
#include <openssl/crypto.h>

#include <fstream>
#include <string>

#include "platform/linux/shared_library.h"
#include "platform/logger.h"
#include "temp_folder.h"

// Declared only for its type: no library defines it.
extern "C" int songdeck_function_no_library_has(void);

namespace {

struct VersionFunctions {
    SONGDECK_LIBRARY_FUNCTION(version, OpenSSL_version_num)
    bool Bind(auto bind) { return true SONGDECK_LIBRARY_BIND(version, OpenSSL_version_num); }
};

struct VersionAndMissingFunctions {
    SONGDECK_LIBRARY_FUNCTION(version, OpenSSL_version_num)
    SONGDECK_LIBRARY_FUNCTION(missing, songdeck_function_no_library_has)
    bool Bind(auto bind) {
        return true SONGDECK_LIBRARY_BIND(version, OpenSSL_version_num)
            SONGDECK_LIBRARY_BIND(missing, songdeck_function_no_library_has);
    }
};

TEST(SharedLibrary, AMissingLibraryOrFunctionLeavesNoTableAndNamesItInTheLog) {
    TempFolder folder;
    Logger::instance().SetFile(folder.wide(L"test.log"));

    const VersionFunctions* found =
        platform::LoadSharedLibraryFunctions<VersionFunctions>("libcrypto.so.3");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->version(), OpenSSL_version_num());
    delete found;
    EXPECT_EQ(platform::LoadSharedLibraryFunctions<VersionFunctions>("libsongdeck-absent.so.1"),
              nullptr);
    EXPECT_EQ(platform::LoadSharedLibraryFunctions<VersionAndMissingFunctions>("libcrypto.so.3"),
              nullptr);
    Logger::instance().SetFile(L"");

    std::ifstream log(folder.path() / "test.log");
    std::string absent;
    std::string missing;
    std::string more;
    std::getline(log, absent);
    std::getline(log, missing);
    EXPECT_NE(absent.find("WARNING shared library libsongdeck-absent.so.1 could not be loaded"),
              std::string::npos)
        << absent;
    EXPECT_NE(missing.find("libcrypto.so.3 has no function songdeck_function_no_library_has"),
              std::string::npos)
        << missing;
    EXPECT_FALSE(std::getline(log, more)) << more;
}

}  // namespace
