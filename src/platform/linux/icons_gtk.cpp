// Icon resources: "icons/<id>-<size>.png" beside the executable, loaded with GdkPixbuf.
#include <dirent.h>

#include <map>
#include <mutex>
#include <utility>

#include "platform/linux/icon_object.h"
#include "platform/linux/native_window.h"
#include "platform/linux/wide_text.h"
#include "platform/messages.h"
#include "platform/module.h"

namespace {

constexpr int kDefaultIconSize = 32;

std::mutex g_mutex;
std::map<std::pair<int, int>, HICON> g_shared;          // (id, size) -> icon, never freed
std::map<HWND, std::pair<HICON, HICON>> g_windowIcons;  // small, big

std::string IconFolder() {
    std::string exe = platform::detail::ToUtf8(GetModulePath(nullptr));
    const auto slash = exe.rfind('/');
    return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/icons/";
}

// The sizes for which the resource has a file, read from the folder each time: the folder
// is small and icons are loaded rarely.
std::map<int, std::string> FilesOf(int resourceId) {
    std::map<int, std::string> files;
    const std::string folder = IconFolder();
    const std::string prefix = std::to_string(resourceId) + "-";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return files;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0 || name.size() <= prefix.size() + 4 ||
            name.compare(name.size() - 4, 4, ".png") != 0) {
            continue;
        }
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() < 5) {
            files[std::stoi(digits)] = folder + name;
        }
    }
    closedir(dir);
    return files;
}

int ResourceIdOf(LPCWSTR name) {
    const auto value = reinterpret_cast<UINT_PTR>(name);
    // Only numbered resources exist here (MAKEINTRESOURCEW); a name is a pointer.
    return value != 0 && value <= 0xFFFF ? static_cast<int>(value) : -1;
}

HICON LoadIcon(int resourceId, int cx, int cy, bool shared) {
    const int size = std::max(cx, cy);
    const std::string file = platform::icons::FileForSize(resourceId, size);
    if (file.empty()) {
        return nullptr;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_scale(file.c_str(), cx, cy, FALSE, nullptr);
    if (pixbuf == nullptr) {
        return nullptr;
    }
    return new HICON__{resourceId, pixbuf, shared};
}

void ApplyWindowIcons(HWND hwnd, HICON small, HICON big) {
    GtkWidget* widget = platform::gtk::GetWindowWidget(hwnd);
    if (widget == nullptr || !GTK_IS_WINDOW(widget)) {
        return;
    }
    GList* images = nullptr;
    for (HICON icon : {small, big}) {
        if (icon != nullptr) {
            images = g_list_append(images, g_object_ref(icon->pixbuf));
        }
    }
    gtk_window_set_icon_list(GTK_WINDOW(widget), images);
    g_list_free_full(images, g_object_unref);
}

}  // namespace

namespace platform::icons {

std::string FileForSize(int resourceId, int size) {
    const std::map<int, std::string> files = FilesOf(resourceId);
    if (files.empty()) {
        return {};
    }
    const auto larger = files.lower_bound(size);
    return larger != files.end() ? larger->second : files.rbegin()->second;
}

GdkPixbuf* PixbufAtSize(HICON icon, int size) {
    if (icon == nullptr) {
        return nullptr;
    }
    const std::string file = FileForSize(icon->resourceId, size);
    GdkPixbuf* image =
        file.empty() ? nullptr
                     : gdk_pixbuf_new_from_file_at_scale(file.c_str(), size, size, FALSE, nullptr);
    return image != nullptr
               ? image
               : gdk_pixbuf_scale_simple(icon->pixbuf, size, size, GDK_INTERP_BILINEAR);
}

}  // namespace platform::icons

namespace platform::detail {

LRESULT SetWindowIconMessage(HWND hwnd, WPARAM which, LPARAM icon) {
    HICON before = nullptr;
    std::pair<HICON, HICON> icons;
    {
        std::lock_guard lock(g_mutex);
        auto& slot = g_windowIcons[hwnd];
        HICON& target = which == ICON_BIG ? slot.second : slot.first;
        before = target;
        target = reinterpret_cast<HICON>(icon);
        icons = slot;
    }
    platform::SendTask(platform::GetUiThreadId(),
                       [&] { ApplyWindowIcons(hwnd, icons.first, icons.second); });
    return reinterpret_cast<LRESULT>(before);
}

}  // namespace platform::detail

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    const int resourceId = ResourceIdOf(name);
    if (type != IMAGE_ICON || resourceId < 0 || cx < 0 || cy < 0) {
        return nullptr;
    }
    if (cx == 0 || cy == 0) {
        cx = cx != 0 ? cx : kDefaultIconSize;
        cy = cy != 0 ? cy : kDefaultIconSize;
    }
    if ((fuLoad & LR_SHARED) == 0) {
        return reinterpret_cast<HANDLE>(LoadIcon(resourceId, cx, cy, false));
    }
    std::lock_guard lock(g_mutex);
    const auto key = std::make_pair(resourceId, cx * 100000 + cy);
    auto found = g_shared.find(key);
    if (found == g_shared.end()) {
        HICON icon = LoadIcon(resourceId, cx, cy, true);
        if (icon == nullptr) {
            return nullptr;
        }
        found = g_shared.emplace(key, icon).first;
    }
    return reinterpret_cast<HANDLE>(found->second);
}

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    return reinterpret_cast<HICON>(LoadImageW(hInstance, lpIconName, IMAGE_ICON, kDefaultIconSize,
                                              kDefaultIconSize, LR_SHARED));
}

BOOL DestroyIcon(HICON hIcon) {
    if (hIcon == nullptr) {
        return FALSE;
    }
    if (!hIcon->shared) {
        g_object_unref(hIcon->pixbuf);
        delete hIcon;
    }
    return TRUE;
}

HINSTANCE AfxGetResourceHandle() {
    // Any non-null value: resources are files beside the executable.
    static char executable;
    return reinterpret_cast<HINSTANCE>(&executable);
}

namespace platform {

bool GetIconSize(HICON icon, SIZE* size) {
    if (icon == nullptr || size == nullptr) {
        return false;
    }
    *size = {gdk_pixbuf_get_width(icon->pixbuf), gdk_pixbuf_get_height(icon->pixbuf)};
    return true;
}

}  // namespace platform
