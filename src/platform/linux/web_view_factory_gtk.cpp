// Puts a WebKit view inside a child window of the message layer.
#include "platform/linux/native_window.h"
#include "platform/linux/web_view_gtk.h"
#include "platform/web_view.h"
#include "platform/wnd.h"

namespace platform {

std::unique_ptr<IWebView> CreateWebView(HWND childWindow, IWebViewEvents* events) {
    auto view = CreateWebView(events);
    if (!PlaceWebView(*view, childWindow)) {
        return nullptr;
    }
    return view;
}

std::unique_ptr<IWebView> CreateWebView(IWebViewEvents* events) {
    return std::make_unique<gtk::CWebViewGtk>(events);
}

bool PlaceWebView(IWebView& view, HWND childWindow) {
    CWnd* window = CWnd::FromHandle(childWindow);
    auto* gtkView = dynamic_cast<gtk::CWebViewGtk*>(&view);
    if (window == nullptr || (window->GetStyle() & WS_CHILD) == 0 || gtkView == nullptr) {
        return false;
    }
    gtk::SetChildContent(childWindow, gtkView->GetWidget());
    gtk_widget_show(gtkView->GetWidget());
    return true;
}

}  // namespace platform
