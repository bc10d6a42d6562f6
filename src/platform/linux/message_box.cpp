// Message boxes: a modal GtkMessageDialog on the UI thread; the calling thread, whichever it
// is, runs its own loop until the answer comes.
#include <gtk/gtk.h>

#include <atomic>
#include <memory>

#include "platform/linux/native_window.h"
#include "platform/linux/wide_text.h"
#include "platform/messages.h"
#include "platform/ui.h"

namespace {

constexpr const char* kMarker = "songdeck-message-box";
constexpr UINT kButtonsMask = 0x0000000F;
constexpr UINT kIconMask = 0x000000F0;

struct PendingBox {
    std::atomic<int> answer{0};
    DWORD caller = 0;
    UINT type = 0;
    GtkWidget* dialog = nullptr;
};

GtkMessageType MessageTypeOf(UINT type) {
    switch (type & kIconMask) {
        case MB_ICONERROR:
            return GTK_MESSAGE_ERROR;
        case MB_ICONQUESTION:
            return GTK_MESSAGE_QUESTION;
        case MB_ICONWARNING:
            return GTK_MESSAGE_WARNING;
        case MB_ICONINFORMATION:
            return GTK_MESSAGE_INFO;
        default:
            return GTK_MESSAGE_OTHER;
    }
}

void AddButton(GtkWidget* dialog, const char* label, int id) {
    // GTK's own translations, so the buttons speak the desktop's language as the OS's do.
    gtk_dialog_add_button(GTK_DIALOG(dialog), g_dgettext("gtk30", label), id);
}

// The answer a box gives when closed without a button; 0 keeps it open.
int CloseAnswer(UINT type) {
    switch (type & kButtonsMask) {
        case MB_OK:
            return IDOK;
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
            return IDCANCEL;
        default:
            return 0;
    }
}

void Answer(PendingBox* box, int answer) {
    int unanswered = 0;
    // The first answer stands; the dialog's destruction afterwards must not replace it.
    if (answer == 0 || !box->answer.compare_exchange_strong(unanswered, answer)) {
        return;
    }
    platform::PostTask(box->caller, [] {});  // wakes the caller's loop at once
}

void OnResponse(GtkDialog*, gint response, gpointer data) {
    auto* box = static_cast<PendingBox*>(data);
    Answer(box, response > 0 ? response : CloseAnswer(box->type));
}

// A box torn down from outside still answers, so its caller never waits for ever.
void OnDialogDestroyed(GtkWidget*, gpointer data) {
    auto* box = static_cast<PendingBox*>(data);
    const int closed = CloseAnswer(box->type);
    Answer(box, closed != 0 ? closed : IDNO);
}

GtkWidget* BuildDialog(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type,
                       PendingBox* box) {
    GtkWindow* parent = nullptr;
    if (GtkWidget* widget = platform::gtk::GetWindowWidget(owner)) {
        GtkWidget* top = gtk_widget_get_toplevel(widget);
        parent = GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
    }
    GtkWidget* dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, MessageTypeOf(type), GTK_BUTTONS_NONE,
                               "%s", platform::detail::ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), platform::detail::ToUtf8(caption).c_str());
    switch (type & kButtonsMask) {
        case MB_OKCANCEL:
            AddButton(dialog, "_OK", IDOK);
            AddButton(dialog, "_Cancel", IDCANCEL);
            break;
        case MB_YESNOCANCEL:
            AddButton(dialog, "_Yes", IDYES);
            AddButton(dialog, "_No", IDNO);
            AddButton(dialog, "_Cancel", IDCANCEL);
            break;
        case MB_YESNO:
            AddButton(dialog, "_Yes", IDYES);
            AddButton(dialog, "_No", IDNO);
            gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
            break;
        default:
            AddButton(dialog, "_OK", IDOK);
            break;
    }
    // The first button is the default, as MB_DEFBUTTON1 makes it.
    const int first =
        (type & kButtonsMask) == MB_YESNO || (type & kButtonsMask) == MB_YESNOCANCEL ? IDYES : IDOK;
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), first);
    if ((type & MB_TOPMOST) != 0) {
        gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    }
    if (parent == nullptr) {
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    } else {
        // An owned box goes down with its owner, as the original platform's does.
        gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
    }
    g_object_set_data(G_OBJECT(dialog), kMarker, box);
    g_signal_connect(dialog, "response", G_CALLBACK(OnResponse), box);
    g_signal_connect(dialog, "destroy", G_CALLBACK(OnDialogDestroyed), box);
    return dialog;
}

}  // namespace

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    platform::EnsureMessageQueue();
    auto box = std::make_shared<PendingBox>();
    box->caller = GetCurrentThreadId();
    box->type = uType;
    const std::wstring text = lpText != nullptr ? lpText : L"";
    // The original platform titles a box without a caption "Error".
    const std::wstring caption = lpCaption != nullptr ? lpCaption : L"Error";
    const DWORD ui = platform::GetUiThreadId();
    platform::SendTask(ui, [&] {
        if (gdk_display_get_default() == nullptr) {
            return;
        }
        box->dialog = BuildDialog(hWnd, text, caption, uType, box.get());
        // Ours until the end here, even when its owner has taken it down before.
        g_object_ref(box->dialog);
        gtk_widget_show(box->dialog);
    });
    if (box->dialog == nullptr) {
        return 0;
    }
    // The answer wakes this loop (see Answer), so a box left open costs no wake-ups.
    platform::RunModalLoop([&] { return box->answer != 0; });
    platform::SendTask(ui, [&] {
        gtk_widget_destroy(box->dialog);
        g_object_unref(box->dialog);
    });
    return box->answer;
}

namespace platform::testing {
namespace {

// Visits the open message boxes among GTK's top-level windows (UI thread).
template <typename Visit>
void ForEachMessageBox(Visit visit) {
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr; item = item->next) {
        GtkWidget* widget = GTK_WIDGET(item->data);
        if (GTK_IS_MESSAGE_DIALOG(widget) && gtk_widget_get_visible(widget) &&
            g_object_get_data(G_OBJECT(widget), kMarker) != nullptr) {
            if (!visit(widget)) {
                break;
            }
        }
    }
    g_list_free(windows);
}

std::wstring TitleOf(GtkWidget* dialog) {
    return platform::detail::FromUtf8(gtk_window_get_title(GTK_WINDOW(dialog)));
}

}  // namespace

std::vector<OpenMessageBox> ListMessageBoxes() {
    std::vector<OpenMessageBox> boxes;
    platform::SendTask(platform::GetUiThreadId(), [&] {
        ForEachMessageBox([&](GtkWidget* dialog) {
            gchar* text = nullptr;
            g_object_get(dialog, "text", &text, nullptr);
            boxes.push_back({TitleOf(dialog), platform::detail::FromUtf8(text)});
            g_free(text);
            return true;
        });
    });
    return boxes;
}

bool PressMessageBoxButton(const std::wstring& caption, int buttonId) {
    bool pressed = false;
    platform::SendTask(platform::GetUiThreadId(), [&] {
        ForEachMessageBox([&](GtkWidget* dialog) {
            if (TitleOf(dialog) != caption) {
                return true;
            }
            GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), buttonId);
            if (button != nullptr && gtk_widget_is_sensitive(button)) {
                gtk_button_clicked(GTK_BUTTON(button));
                pressed = true;
            }
            return false;
        });
    });
    return pressed;
}

}  // namespace platform::testing
