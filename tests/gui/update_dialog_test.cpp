// The update progress dialog under a real window manager, driven by the update thread as real
// checks run against a local HTTP server.
#include <gtest/gtest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "app/environment.h"
#include "app/helpers.h"
#include "gui_support.h"
#include "integration/update_client_setting.h"
#include "integration/update_test_support.h"
#include "integration/update_thread_starter.h"
#include "platform/files.h"
#include "platform/linux/dialog_gtk.h"
#include "platform/ui.h"
#include "support/manifest_signer.h"
#include "support/test_http_server.h"
#include "unit/temp_folder.h"
#include "update/update_progress_dlg.h"

namespace {

using namespace updatetest;
using testsupport::CTestSigningKey;
using testsupport::ServeSignedManifest;
namespace fs = std::filesystem;

constexpr int kDeadlineMs = 20000;
constexpr int kContinue = IDOK;
constexpr int kCancel = IDCANCEL;

const char kChecking[] = "正在检查更新...";
const char kNoUpdate[] = "没有可用更新";
const char kFound[] = "发现更新文件，要继续吗？";
const char kDownloading[] = "正在下载更新文件...";
const char kDownloaded[] = "更新文件下载完成，您重新启动程序以后将继续完成更新。";
const char kFailed[] = "更新文件下载失败!";

// What the user sees of the open dialog; read on the UI thread from its widgets.
GtkWidget* Widget(HWND dialog, int id) {
    return platform::gtk::GetDialogWidget(dialog, id);
}
std::string StatusLine(HWND dialog) {
    GtkWidget* label = Widget(dialog, CUpdateProgressDlg::IDC_STATUS);
    return label != nullptr ? gtk_label_get_text(GTK_LABEL(label)) : "<no dialog>";
}
std::string ButtonLabel(HWND dialog, int id) {
    GtkWidget* button = Widget(dialog, id);
    return button != nullptr ? gtk_button_get_label(GTK_BUTTON(button)) : "<no dialog>";
}
bool Enabled(HWND dialog, int id) {
    GtkWidget* widget = Widget(dialog, id);
    return widget != nullptr && gtk_widget_get_sensitive(widget);
}
double Progress(HWND dialog) {
    GtkWidget* bar = Widget(dialog, CUpdateProgressDlg::IDC_PROGRESS);
    return bar != nullptr ? gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar)) : -1;
}
std::string Notes(HWND dialog) {
    GtkWidget* view = Widget(dialog, CUpdateProgressDlg::IDC_NOTES);
    if (view == nullptr) {
        return "<no dialog>";
    }
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string result = text;
    g_free(text);
    return result;
}
bool Shown(HWND dialog) {
    GtkWidget* window = Widget(dialog, 0);
    return window != nullptr && gtk_widget_get_visible(window);
}
void Press(HWND dialog, int id) {
    GtkWidget* button = Widget(dialog, id);
    ASSERT_NE(button, nullptr);
    gtk_button_clicked(GTK_BUTTON(button));
}

class UpdateDialog : public ::testing::Test, public UpdateClientSetting {
protected:
    UpdateDialog() : UpdateClientSetting("/desktop/update.xml") {}
    void SetUp() override { ASSERT_TRUE(mainWindowCreated); }
    void TearDown() override {
        EXPECT_TRUE(StopThread()) << "the update thread did not stop in time";
    }

    // Starts an interactive check and waits for its dialog.
    HWND StartInteractiveCheck() {
        thread = StartUpdateThread(TRUE);
        EXPECT_NE(thread, nullptr);
        HWND dialog = nullptr;
        EXPECT_TRUE(
            PumpUntil([&] { return (dialog = FindOpenUpdateDialog()) != nullptr; }, kDeadlineMs))
            << "the update dialog never opened";
        return dialog;
    }
    bool WaitForStatus(HWND dialog, const std::string& status) {
        return PumpUntil([&] { return StatusLine(dialog) == status; }, kDeadlineMs);
    }
    // An interactive check whose only file stops arriving after a quarter: the dialog stays
    // in the downloading step. Null when it never got there.
    HWND StartStalledDownload() {
        auto body = std::make_shared<const std::string>(400000, 'b');
        ServeSignedManifest(server, "/desktop/update.xml",
                            BuildManifest(running + 1, {}, {{"files/big.bin", Md5Of(*body), 0}}));
        server.On("/desktop/files/big.bin", StalledFile(body, 100000, 60000));
        HWND dialog = StartInteractiveCheck();
        if (!WaitForStatus(dialog, kFound)) {
            ADD_FAILURE() << "no update was found: " << StatusLine(dialog);
            return nullptr;
        }
        Press(dialog, kContinue);
        if (!PumpUntil([&] { return Progress(dialog) > 0; }, kDeadlineMs)) {
            ADD_FAILURE() << "the download never showed progress";
            return nullptr;
        }
        return dialog;
    }
    // The thread ends by itself once its run is over.
    bool WaitForThreadEnd() {
        return thread != nullptr &&
               PumpUntil([&] { return WaitForSingleObject(thread->m_hThread, 0) == WAIT_OBJECT_0; },
                         kDeadlineMs);
    }
    bool StopThread() {
        if (thread == nullptr) {
            return true;
        }
        // The thread may still carry work to the UI thread while it ends, so keep pumping.
        thread->PostThreadMessage(WM_QUIT, 0, 0);
        PumpUntil([&] { return WaitForSingleObject(thread->m_hThread, 0) == WAIT_OBJECT_0; }, 3000);
        return StopUpdateThread(thread, 0);
    }

    CUpdateThread* thread = nullptr;
};

TEST_F(UpdateDialog, AnUpdateIsFoundConfirmedDownloadedAndRestarted) {
    const std::string library(200000, 'L');
    auto manifest = std::make_shared<const std::string>(
        BuildManifest(running + 1, {{running + 1, {"new player", "fixes"}}},
                      {{"files/lib.so", Md5Of(library), 0}}));
    // The manifest comes late, so the checking step can be seen.
    server.On("/desktop/update.xml", StalledFile(manifest, 0, 1500));
    server.ServeFile("/desktop/update.xml.sig", CTestSigningKey::Development().Sign(*manifest));
    server.ServeFile("/desktop/files/lib.so", library);

    HWND dialog = StartInteractiveCheck();
    ASSERT_TRUE(
        PumpUntil([&] { return StatusLine(dialog) == kChecking && !Enabled(dialog, kContinue); },
                  kDeadlineMs))
        << StatusLine(dialog);
    EXPECT_TRUE(Shown(dialog));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(Widget(dialog, 0))), "Quorvi更新");
    EXPECT_EQ(ButtonLabel(dialog, kContinue), "继续");
    EXPECT_EQ(ButtonLabel(dialog, kCancel), "取消");

    ASSERT_TRUE(WaitForStatus(dialog, kFound)) << StatusLine(dialog);
    EXPECT_TRUE(PumpUntil([&] { return Enabled(dialog, kContinue); }, kDeadlineMs));
    EXPECT_EQ(Notes(dialog), "new player\r\nfixes\r\n\r\n");
    // Nothing is fetched before the user agrees.
    EXPECT_TRUE(server.RequestsFor("/desktop/files/lib.so").empty());

    Press(dialog, kContinue);
    ASSERT_TRUE(WaitForStatus(dialog, kDownloaded)) << StatusLine(dialog);
    EXPECT_TRUE(
        PumpUntil([&] { return ButtonLabel(dialog, kContinue) == "重启程序"; }, kDeadlineMs));
    EXPECT_TRUE(Enabled(dialog, kContinue));
    EXPECT_DOUBLE_EQ(Progress(dialog), 1.0);
    EXPECT_TRUE(fs::exists(updateDir / "update.xml"));
    EXPECT_TRUE(fs::exists(updateDir / "update.txt"));
    TakeScreenshot("update-dialog-downloaded");

    // A double click queues two presses: the client is restarted once.
    Press(dialog, kContinue);
    Press(dialog, kContinue);
    EXPECT_TRUE(PumpUntil([&] { return !mainWindow.ready.empty(); }, kDeadlineMs))
        << "the restart request never reached the main window";
    PumpFor(300);
    EXPECT_EQ(mainWindow.ready, std::vector<WPARAM>{1});
    EXPECT_TRUE(PumpUntil([&] { return !Shown(dialog); }, kDeadlineMs));
}

TEST_F(UpdateDialog, NoUpdateOffersOnlyOkWhichClosesAndEndsTheThread) {
    ServeSignedManifest(server, "/desktop/update.xml", BuildManifest(running, {}, {}));

    HWND dialog = StartInteractiveCheck();
    ASSERT_TRUE(WaitForStatus(dialog, kNoUpdate)) << StatusLine(dialog);
    EXPECT_TRUE(PumpUntil([&] { return ButtonLabel(dialog, kCancel) == "确定"; }, kDeadlineMs));
    EXPECT_FALSE(Enabled(dialog, kContinue));

    // A second request while the dialog is open finds it and brings it back.
    gtk_widget_hide(Widget(dialog, 0));
    EXPECT_EQ(FindOpenUpdateDialog(), dialog);
    EXPECT_TRUE(ShowOpenUpdateDialog(dialog));
    EXPECT_TRUE(PumpUntil([&] { return Shown(dialog); }, kDeadlineMs));

    Press(dialog, kCancel);
    EXPECT_TRUE(WaitForThreadEnd()) << "the thread did not end after OK";
    EXPECT_EQ(FindOpenUpdateDialog(), nullptr);
    EXPECT_TRUE(platform::testing::ListMessageBoxes().empty());
}

TEST_F(UpdateDialog, AManifestThatCannotBeFetchedLooksLikeNoUpdate) {
    HWND dialog = StartInteractiveCheck();
    EXPECT_TRUE(WaitForStatus(dialog, kNoUpdate)) << StatusLine(dialog);
}

TEST_F(UpdateDialog, AFailedDownloadIsShownAndClosesWithoutAQuestion) {
    ServeSignedManifest(
        server, "/desktop/update.xml",
        BuildManifest(running + 1, {}, {{"files/missing.bin", Md5Of("never served"), 0}}));

    HWND dialog = StartInteractiveCheck();
    ASSERT_TRUE(WaitForStatus(dialog, kFound)) << StatusLine(dialog);
    Press(dialog, kContinue);
    ASSERT_TRUE(WaitForStatus(dialog, kFailed)) << StatusLine(dialog);
    EXPECT_EQ(ButtonLabel(dialog, kCancel), "取消");

    // The close box is the cancel button.
    gtk_window_close(GTK_WINDOW(Widget(dialog, 0)));
    EXPECT_TRUE(WaitForThreadEnd()) << "the thread did not end after closing";
    EXPECT_EQ(FindOpenUpdateDialog(), nullptr);
}

TEST_F(UpdateDialog, LeavingADownloadAsksFirstAndNoKeepsItGoing) {
    HWND dialog = StartStalledDownload();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(StatusLine(dialog), kDownloading);

    Press(dialog, kCancel);
    ASSERT_TRUE(
        PumpUntil([] { return !platform::testing::ListMessageBoxes().empty(); }, kDeadlineMs))
        << "no question was asked";
    const auto boxes = platform::testing::ListMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"退出询问");
    EXPECT_EQ(boxes[0].text, L"更新还未完成，确定退出吗？");
    EXPECT_TRUE(platform::testing::PressMessageBoxButton(L"退出询问", IDNO));
    EXPECT_TRUE(
        PumpUntil([] { return platform::testing::ListMessageBoxes().empty(); }, kDeadlineMs));
    PumpFor(300);
    EXPECT_EQ(FindOpenUpdateDialog(), dialog);
    EXPECT_TRUE(Shown(dialog));
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(fs::exists(updateDir / "big.bin.part"));

    // Escape asks the same; Yes leaves.
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(Widget(dialog, 0)));
    bool pressed = false;
    RunCommand("xdotool windowactivate --sync " + std::to_string(xid) + " key Escape", &pressed);
    EXPECT_TRUE(pressed) << "xdotool could not press Escape";
    ASSERT_TRUE(
        PumpUntil([] { return !platform::testing::ListMessageBoxes().empty(); }, kDeadlineMs))
        << "Escape asked nothing";
    EXPECT_TRUE(platform::testing::PressMessageBoxButton(L"退出询问", IDYES));
    EXPECT_TRUE(WaitForThreadEnd()) << "the thread did not end after leaving";
    EXPECT_EQ(FindOpenUpdateDialog(), nullptr);
    EXPECT_TRUE(mainWindow.ready.empty());
}

TEST_F(UpdateDialog, CloseRequestsQueuedWhileAskingAskOnce) {
    HWND dialog = StartStalledDownload();
    ASSERT_NE(dialog, nullptr);

    // Two closes reach the update thread back to back; the second arrives while the question
    // of the first is open.
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(
        PumpUntil([] { return !platform::testing::ListMessageBoxes().empty(); }, kDeadlineMs))
        << "no question was asked";
    PumpFor(500);
    EXPECT_EQ(platform::testing::ListMessageBoxes().size(), 1u);

    EXPECT_TRUE(platform::testing::PressMessageBoxButton(L"退出询问", IDYES));
    EXPECT_TRUE(WaitForThreadEnd()) << "the thread did not end after leaving";
    EXPECT_EQ(FindOpenUpdateDialog(), nullptr);
    EXPECT_TRUE(platform::testing::ListMessageBoxes().empty());
}

TEST(UpdateProgressDialog, TheBarNeverMovesBackAndOnlyFullShowsDownloaded) {
    CUpdateProgressDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    HWND hWnd = dialog.GetSafeHwnd();

    dialog.SetProgress(50);
    dialog.SetProgress(37);
    EXPECT_EQ(dialog.GetProgressPos(CUpdateProgressDlg::IDC_PROGRESS), 50);
    EXPECT_EQ(dialog.m_nStep, CUpdateProgressDlg::kDownloading);
    EXPECT_TRUE(PumpUntil([&] { return StatusLine(hWnd) == kDownloading; }, kDeadlineMs));
    EXPECT_DOUBLE_EQ(Progress(hWnd), 0.5);

    dialog.SetProgress(101);
    EXPECT_EQ(dialog.GetProgressPos(CUpdateProgressDlg::IDC_PROGRESS), 100);
    EXPECT_EQ(dialog.m_nStep, CUpdateProgressDlg::kDownloading);

    dialog.SetProgress(100);
    EXPECT_EQ(dialog.m_nStep, CUpdateProgressDlg::kDownloaded);
    EXPECT_TRUE(PumpUntil([&] { return StatusLine(hWnd) == kDownloaded; }, kDeadlineMs));
    EXPECT_DOUBLE_EQ(Progress(hWnd), 1.0);

    dialog.DestroyWindow();
    EXPECT_EQ(Widget(hWnd, 0), nullptr);
}

// The widget the dialog placed for a control (a label sits in a scrolled window).
GtkWidget* PlacedWidget(GtkWidget* widget) {
    while (widget != nullptr && !GTK_IS_FIXED(gtk_widget_get_parent(widget))) {
        widget = gtk_widget_get_parent(widget);
    }
    return widget;
}

// Whether the control's text fits the room the template gives it, nothing cut off.
bool TextFits(GtkWidget* widget, std::string* why) {
    GtkWidget* placed = PlacedWidget(widget);
    const int width = gtk_widget_get_allocated_width(placed);
    const int height = gtk_widget_get_allocated_height(placed);
    int minWidth = 0, naturalWidth = 0, minHeight = 0, naturalHeight = 0;
    gtk_widget_get_preferred_width(widget, &minWidth, &naturalWidth);
    gtk_widget_get_preferred_height_for_width(widget, width, &minHeight, &naturalHeight);
    *why = "needs " + std::to_string(minWidth) + " x " + std::to_string(naturalHeight) + ", has " +
           std::to_string(width) + " x " + std::to_string(height);
    return minWidth <= width && naturalHeight <= height;
}

TEST(UpdateProgressDialog, EveryStepShowsItsTextsWholeAndTheFrameIsFixed) {
    CUpdateProgressDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    HWND hWnd = dialog.GetSafeHwnd();
    dialog.SetNotes(L"new player\r\nfixes\r\n");
    dialog.ShowWindow(SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return Shown(hWnd); }, kDeadlineMs));
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(Widget(hWnd, 0)));

    const char* statuses[] = {kChecking, kNoUpdate, kFound, kDownloading, kDownloaded, kFailed};
    for (int step = CUpdateProgressDlg::kChecking; step <= CUpdateProgressDlg::kDownloadFailed;
         ++step) {
        dialog.SetStep(step);
        ASSERT_TRUE(PumpUntil([&] { return StatusLine(hWnd) == statuses[step]; }, kDeadlineMs));
        PumpFor(200);
        TakeScreenshot("update-dialog-step-" + std::to_string(step));
        for (int id : {CUpdateProgressDlg::IDC_STATUS, kContinue, kCancel}) {
            std::string why;
            EXPECT_TRUE(TextFits(Widget(hWnd, id), &why))
                << "control " << id << " in step " << step << ": " << why;
        }
    }

    // No maximize box and no sizing border: the window manager offers neither.
    std::string actions;
    EXPECT_TRUE(PumpUntil(
        [&] {
            actions = RunCommand("xprop -id " + std::to_string(xid) + " _NET_WM_ALLOWED_ACTIONS");
            return actions.find("_NET_WM_ACTION_CLOSE") != std::string::npos;
        },
        kDeadlineMs))
        << actions;
    EXPECT_EQ(actions.find("MAXIMIZE"), std::string::npos) << actions;
    EXPECT_EQ(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << actions;
    dialog.DestroyWindow();
}

}  // namespace
