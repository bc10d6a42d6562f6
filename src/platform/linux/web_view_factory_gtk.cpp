// Puts a WebKit view inside a child window of the message layer.
#include "platform/linux/native_window.h"
#include "platform/linux/web_view_gtk.h"
#include "platform/web_view.h"
#include "platform/wnd.h"

namespace platform {

std::unique_ptr<IWebView> CreateWebView(HWND childWindow, IWebViewEvents* events) {
    CWnd* window = CWnd::FromHandle(childWindow);
    if (window == nullptr || (window->GetStyle() & WS_CHILD) == 0) {
        return nullptr;
    }
    auto view = std::make_unique<gtk::CWebViewGtk>(events);
    gtk::SetChildContent(childWindow, view->GetWidget());
    gtk_widget_show(view->GetWidget());
    return view;
}

}  // namespace platform
