#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/environment.h"
#include "child_processes.h"
#include "config/client_options.h"
#include "config/ini_section.h"
#include "scoped_environment.h"

namespace fs = std::filesystem;

namespace {

class ClientOptions : public ::testing::Test {
protected:
    void SetUp() override { ResetClientOptionsForTest(); }
    void TearDown() override { ResetClientOptionsForTest(); }

    void WriteConfig(const std::string& text) {
        fs::create_directories(m_env.UserData());
        m_env.root().Write("local/Tavnel/SongDeck/config.ini", text);
    }
    std::string ConfigText() const { return m_env.root().Read("local/Tavnel/SongDeck/config.ini"); }

    ScopedEnvironment m_env;
};

TEST_F(ClientOptions, WithoutAFileEveryOptionHasItsDefaultAndNoFileIsMade) {
    const CClientOptions& options = GetClientOptions();
    EXPECT_EQ(options.vk, 68);
    EXPECT_EQ(options.modifiers, 2);
    EXPECT_EQ(options.autoUpdate, 1);
    EXPECT_EQ(options.mainWndWidth, 0);
    EXPECT_EQ(options.mainWndHeight, 0);
    EXPECT_EQ(options.firstCloseMainWnd, 1);
    EXPECT_FALSE(fs::exists(m_env.UserData() / "config.ini"));
}

TEST_F(ClientOptions, OddValuesReadAsTheStoreSays) {
    WriteConfig("[TAVNELDESKTOPCLIENT]\nVK=65604\nMODIFIERS=abc\nAUTOUPDATE=\n");
    const CClientOptions& options = GetClientOptions();
    EXPECT_EQ(options.vk, 68);  // only the low 16 bits count
    EXPECT_EQ(options.modifiers, 0);
    EXPECT_EQ(options.autoUpdate, 1);

    ResetClientOptionsForTest();
    WriteConfig("[TAVNELDESKTOPCLIENT]\nVK=\n");
    EXPECT_EQ(GetClientOptions().vk, 68);
    ResetClientOptionsForTest();
    WriteConfig("[TAVNELDESKTOPCLIENT]\nVK=abc\n");
    EXPECT_EQ(GetClientOptions().vk, 0);
}

TEST_F(ClientOptions, TheFileIsReadOncePerProcess) {
    EXPECT_EQ(GetClientOptions().vk, 68);
    WriteConfig("[TAVNELDESKTOPCLIENT]\nVK=70\n");
    EXPECT_EQ(GetClientOptions().vk, 68);
}

TEST_F(ClientOptions, SavedOptionsReadBackInAFreshLoad) {
    CClientOptions& options = GetClientOptions();
    options.vk = 0x41;
    options.modifiers = 5;
    options.autoUpdate = -1;
    options.mainWndWidth = 980;
    options.mainWndHeight = 640;
    options.firstCloseMainWnd = 0;
    SaveClientOptions(options);
    EXPECT_EQ(ConfigText(),
              "[TAVNELDESKTOPCLIENT]\nVK=65\nMODIFIERS=5\nAUTOUPDATE=-1\nMAINWNDWIDTH=980\n"
              "MAINWNDHEIGHT=640\nFIRSTCLOSEMAINWND=0\n");

    options = CClientOptions{};
    ResetClientOptionsForTest();
    const CClientOptions& loaded = GetClientOptions();
    EXPECT_EQ(loaded.vk, 0x41);
    EXPECT_EQ(loaded.modifiers, 5);
    EXPECT_EQ(loaded.autoUpdate, -1);
    EXPECT_EQ(loaded.mainWndWidth, 980);
    EXPECT_EQ(loaded.mainWndHeight, 640);
    EXPECT_EQ(loaded.firstCloseMainWnd, 0);
}

TEST_F(ClientOptions, SavingKeepsCustomOptionsAndOtherSections) {
    WriteConfig("[TAVNELDESKTOPCLIENT_CUSTOM]\nk=v\n[TAVNELDESKTOPCLIENT]\nVK=1\n");
    SaveClientOptions(GetClientOptions());
    CIniSection custom(GetConfigIniPath(), L"TAVNELDESKTOPCLIENT_CUSTOM");
    EXPECT_EQ(custom.ReadString(L"k", L""), L"v");
    EXPECT_EQ(CIniSection(GetConfigIniPath(), L"TAVNELDESKTOPCLIENT").ReadInt(L"VK", 0), 1);
}

class CustomOptions : public ClientOptions {
protected:
    static VARIANT Text(const wchar_t* text) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = text ? SysAllocString(text) : nullptr;
        return v;
    }
};

TEST_F(CustomOptions, TextIsStoredWithItsKindAndReadBack) {
    // Chinese text reads back on a machine of any code page.
    VARIANT value = Text(L"\u6B4C\u5355 abc");
    SetCustomOption(L"k", value);
    VariantClear(&value);
    EXPECT_EQ(
        CIniSection(GetConfigIniPath(), L"TAVNELDESKTOPCLIENT_CUSTOM_TYPE").ReadInt(L"k_TYPE", 0),
        8);
    EXPECT_EQ(CIniSection(GetConfigIniPath(), L"TAVNELDESKTOPCLIENT_CUSTOM").ReadString(L"k", L""),
              L"\u6B4C\u5355 abc");
    VARIANT read = GetCustomOption(L"k");
    ASSERT_EQ(read.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(read.bstrVal, SysStringLen(read.bstrVal)), L"\u6B4C\u5355 abc");
    VariantClear(&read);
}

TEST_F(CustomOptions, IntegersComeBackAsVtIntAndBooleansAreStoredUnconverted) {
    VARIANT number;
    VariantInit(&number);
    number.llVal = 0;
    number.vt = VT_I4;
    number.lVal = 5;
    SetCustomOption(L"n", number);
    VARIANT read = GetCustomOption(L"n");
    EXPECT_EQ(read.vt, VT_INT);
    EXPECT_EQ(read.intVal, 5);

    VARIANT flag;
    VariantInit(&flag);
    flag.llVal = 0;
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    SetCustomOption(L"b", flag);
    read = GetCustomOption(L"b");
    EXPECT_EQ(read.vt, VT_INT);
    EXPECT_EQ(read.intVal, 0xFFFF);  // the 32 bits as they were: -1 in the low 16
}

TEST_F(CustomOptions, UnknownNamesAreEmptyTextAndOtherKindsReadAsIntegers) {
    VARIANT read = GetCustomOption(L"never");
    ASSERT_EQ(read.vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(read.bstrVal), 0u);
    VariantClear(&read);

    WriteConfig(
        "[TAVNELDESKTOPCLIENT_CUSTOM]\nodd=42abc\n"
        "[TAVNELDESKTOPCLIENT_CUSTOM_TYPE]\nodd_TYPE=3\n");
    read = GetCustomOption(L"odd");
    EXPECT_EQ(read.vt, VT_INT);
    EXPECT_EQ(read.intVal, 42);
}

TEST_F(CustomOptions, LongTextIsCutAndANullTextDeletesTheValue) {
    std::wstring longText(1500, L'q');
    VARIANT value = Text(longText.c_str());
    SetCustomOption(L"long", value);
    VariantClear(&value);
    VARIANT read = GetCustomOption(L"long");
    EXPECT_EQ(std::wstring(read.bstrVal, SysStringLen(read.bstrVal)), std::wstring(1023, L'q'));
    VariantClear(&read);

    VARIANT none = Text(nullptr);
    SetCustomOption(L"long", none);
    read = GetCustomOption(L"long");
    ASSERT_EQ(read.vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(read.bstrVal), 0u);
    VariantClear(&read);
    EXPECT_EQ(ConfigText().find("long="), std::string::npos);
}

TEST_F(CustomOptions, ARefusedValueChangesNeitherTheValueNorItsKind) {
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5;
    ASSERT_TRUE(SetCustomOption(L"k", number));
    const std::string before = ConfigText();

    VARIANT lines = Text(L"line1\nline2");
    EXPECT_FALSE(SetCustomOption(L"k", lines));
    EXPECT_FALSE(SetCustomOption(L"a=b", lines));
    VariantClear(&lines);
    VARIANT fine = Text(L"fine");
    EXPECT_FALSE(SetCustomOption(L"bad\nname", fine));
    VariantClear(&fine);

    EXPECT_EQ(ConfigText(), before);
    VARIANT read = GetCustomOption(L"k");
    EXPECT_EQ(read.vt, VT_INT);
    EXPECT_EQ(read.intVal, 5);
}

// The folder's lock file, which stays on Windows (Linux locks the folder itself).
constexpr char kFolderLock[] = ".lock";

bool IsKept(const fs::path& name) {
    return name == "config.ini" || name == kFolderLock;
}

TEST_F(ClientOptions, AKilledSaveNeverTearsTheFileNorMixesTwoRecords) {
    CClientOptions options = GetClientOptions();
    options.vk = options.modifiers = 0;
    options.mainWndWidth = options.mainWndHeight = 0;
    SaveClientOptions(options);
    std::mt19937 random(12345);
    int temporariesLeft = 0;
    // The child saves into this test's folders (its own copy of the test has others).
    const std::string folders = (m_env.root().path() / "local").string();
    for (int kill = 0; kill < 40; ++kill) {
        ChildProcesses saver(folders, [](int, const std::string& local) {
            ScopedEnvironment::SetVariable("SONGDECK_LOCAL_APPDATA", local.c_str());
            // Saves records whose VK and MODIFIERS always match, until it is killed.
            CClientOptions record = GetClientOptions();
            for (uint16_t n = 1;; ++n) {
                record.vk = record.modifiers = n;
                record.mainWndWidth = record.mainWndHeight = n;
                SaveClientOptions(record);
            }
            return 0;
        });
        ASSERT_TRUE(saver.Start(1));
        saver.Go();
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 15000));
        saver.KillAll();

        CIniSection ini(GetConfigIniPath(), L"TAVNELDESKTOPCLIENT");
        int vk = ini.ReadInt(L"VK", -1);
        ASSERT_GE(vk, 0) << "a torn config.ini:\n" << ConfigText();
        EXPECT_EQ(ini.ReadInt(L"MODIFIERS", -1), vk);
        EXPECT_EQ(ini.ReadInt(L"MAINWNDWIDTH", -1), vk);
        EXPECT_EQ(ini.ReadInt(L"MAINWNDHEIGHT", -1), vk);
        EXPECT_EQ(ini.ReadInt(L"FIRSTCLOSEMAINWND", -1), 1);
        for (const auto& entry : fs::directory_iterator(m_env.UserData())) {
            temporariesLeft += !IsKept(entry.path().filename());
        }
    }
    // The next save clears what the killed writers left behind.
    SaveClientOptions(options);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_env.UserData())) {
        if (entry.path().filename() != kFolderLock) {
            names.push_back(entry.path().filename().string());
        }
    }
    EXPECT_EQ(names, std::vector<std::string>{"config.ini"})
        << temporariesLeft << " temporary files were seen after kills";
}

TEST_F(ClientOptions, DeleteUserDataDirRemovesConfigAndEverythingElse) {
    SaveClientOptions(GetClientOptions());
    m_env.root().Write("local/Tavnel/SongDeck/other.txt", "x");
    EXPECT_TRUE(DeleteUserDataDir());
    // GetUserDataDir creates the folder again on the way in; it is gone afterwards.
    EXPECT_FALSE(fs::exists(m_env.UserData() / "config.ini"));
    EXPECT_FALSE(fs::exists(m_env.UserData()));
}

}  // namespace
