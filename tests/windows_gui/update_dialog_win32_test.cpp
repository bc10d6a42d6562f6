// The update dialog on Windows: made from dialog template 131 with the template's controls,
// found by its class and title, driven through its steps, and answering Escape and its buttons
// as a dialog does.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "update/update_progress_dlg.h"
#include "win32_test_support.h"

namespace {

using wingui::ClassOf;
using wingui::PumpUntil;
using wingui::TextOf;

const wchar_t* ClassOfKind(DialogItemKind kind) {
    switch (kind) {
        case DialogItemKind::ProgressBar:
            return PROGRESS_CLASSW;
        case DialogItemKind::NotesEdit:
            return L"Edit";
        case DialogItemKind::StaticText:
            return L"Static";
        default:
            return L"Button";
    }
}

// The control of a template item; the group box (id -1) by its text.
HWND ItemWindow(HWND dialog, const DialogItemTemplate& item) {
    if (item.id != -1) {
        return GetDlgItem(dialog, item.id);
    }
    return FindWindowExW(dialog, nullptr, L"Button", item.text.c_str());
}

}  // namespace

TEST(UpdateDialogWin32, TemplateStepsAndKeys) {
    CUpdateProgressDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    const HWND box = FindWindowW(L"#32770", L"Quorvi更新");
    ASSERT_NE(box, nullptr) << "found by its class and title";
    const DialogTemplate& expected = CUpdateProgressDlg::Template();
    // Windows adds WS_CLIPSIBLINGS to every top-level window and DS_3DLOOK to every dialog.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(box, GWL_STYLE)) &
                  ~DWORD{WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK},
              expected.style);
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(box, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & (WS_EX_TOPMOST | WS_EX_APPWINDOW), DWORD{WS_EX_TOPMOST | WS_EX_APPWINDOW});

    // The resource holds the controls the template describes, where it places them.
    for (const DialogItemTemplate& item : expected.items) {
        SCOPED_TRACE(item.id);
        const HWND control = ItemWindow(box, item);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), ClassOfKind(item.kind));
        DWORD style =
            static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE)) & ~DWORD{WS_DISABLED};
        // The edit and the progress bar take WS_BORDER off and draw an edge of their own.
        if (item.kind == DialogItemKind::NotesEdit || item.kind == DialogItemKind::ProgressBar) {
            style |= item.style & WS_BORDER;
        }
        EXPECT_EQ(style, item.style);
        // Position and size convert from dialog units each on its own, as the dialog does.
        RECT units = item.rect;
        MapDialogRect(box, &units);
        RECT placed{};
        GetWindowRect(control, &placed);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_EQ(placed.left, units.left);
        EXPECT_EQ(placed.top, units.top);
        EXPECT_EQ(placed.right - placed.left, units.right);
        EXPECT_EQ(placed.bottom - placed.top, units.bottom);
    }
    const HWND progress = GetDlgItem(box, CUpdateProgressDlg::IDC_PROGRESS);
    EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
    const HWND continueButton = GetDlgItem(box, IDOK);
    const HWND status = GetDlgItem(box, CUpdateProgressDlg::IDC_STATUS);

    dialog.ShowWindow(SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(box));
    dialog.SetNotes(L"1.0.0.2\r\n- 更快的启动");
    EXPECT_EQ(TextOf(GetDlgItem(box, CUpdateProgressDlg::IDC_NOTES)), L"1.0.0.2\r\n- 更快的启动");
    dialog.SetStep(CUpdateProgressDlg::kUpdateFound);
    EXPECT_TRUE(IsWindowEnabled(continueButton));
    EXPECT_EQ(TextOf(status), L"发现更新文件，要继续吗？");

    // The bar never moves back; the download step disables continue.
    dialog.SetProgress(50);
    dialog.SetProgress(37);
    EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 50);
    EXPECT_FALSE(IsWindowEnabled(continueButton));
    EXPECT_EQ(TextOf(status), L"正在下载更新文件...");

    // Escape while downloading asks first; No keeps the dialog.
    std::wstring question;
    {
        wingui::WindowWatcher ask(L"#32770", L"退出询问", [&](HWND found) {
            question = wingui::MessageBoxText(found);
            Sleep(wingui::ScreenshotHoldMs());
            wingui::PressButton(found, IDNO);
        });
        PostMessageW(GetDlgItem(box, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
        PumpUntil([&] { return ask.Done(); });
        EXPECT_TRUE(ask.Seen());
    }
    EXPECT_EQ(question, L"更新还未完成，确定退出吗？");
    EXPECT_TRUE(IsWindowVisible(box));

    dialog.SetProgress(100);
    wingui::HoldForScreenshot();
    EXPECT_TRUE(IsWindowEnabled(continueButton));
    EXPECT_EQ(TextOf(continueButton), L"重启程序");
    // The restart button ends the dialog.
    SendMessageW(continueButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(box); }));

    dialog.DestroyWindow();
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(FindOpenUpdateDialog(), nullptr);
}
