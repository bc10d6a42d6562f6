// One running client per session: a named mutex in the session's namespace (Local\) taken
// before any window exists, and a message-only window of the primary that receives the
// commands as WM_COPYDATA on the UI thread. Windows drops the mutex however its holder ends.
#include "platform/single_instance.h"

#include <windows.h>

#include <chrono>

namespace platform {

namespace {

constexpr ULONG_PTR kCommandTag = 0x53444B31;  // "SDK1": our commands, nothing else
constexpr wchar_t kWindowClass[] = L"SongDeckInstanceCommands";

std::wstring MutexName(const std::wstring& name) {
    return L"Local\\" + name + L".instance";
}

std::wstring WindowTitle(const std::wstring& name) {
    return name + L".commands";
}

LRESULT CALLBACK CommandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto* handler = reinterpret_cast<SingleInstance::CommandHandler*>(
            GetWindowLongPtrW(window, GWLP_USERDATA));
        if (data == nullptr || data->dwData != kCommandTag || handler == nullptr ||
            data->cbData > 256) {
            return FALSE;
        }
        (*handler)(std::string(static_cast<const char*>(data->lpData), data->cbData));
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

struct SingleInstance::Impl {
    HANDLE mutex = nullptr;
    HWND window = nullptr;
    CommandHandler handler;

    ~Impl() {
        if (window != nullptr) {
            DestroyWindow(window);
        }
        if (mutex != nullptr) {
            CloseHandle(mutex);
        }
    }
};

SingleInstance::SingleInstance(std::wstring name) : m_strName(std::move(name)) {}
SingleInstance::~SingleInstance() = default;

bool SingleInstance::TryBecomePrimary(CommandHandler handler) {
    if (m_pImpl) {
        return true;
    }
    auto impl = std::make_unique<Impl>();
    impl->mutex = CreateMutexW(nullptr, TRUE, MutexName(m_strName).c_str());
    if (impl->mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return false;  // another client holds it (or is starting and will)
    }
    impl->handler = std::move(handler);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = CommandWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when registered already
    impl->window = CreateWindowExW(0, kWindowClass, WindowTitle(m_strName).c_str(), 0, 0, 0, 0, 0,
                                   HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (impl->window != nullptr) {
        SetWindowLongPtrW(impl->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&impl->handler));
    }
    m_pImpl = std::move(impl);
    return true;
}

bool SingleInstance::IsPrimary() const {
    return m_pImpl != nullptr;
}

bool SingleInstance::WaitForNoPrimary(const std::wstring& name, DWORD timeoutMs) {
    // The named mutex goes with the last handle to it, the primary's.
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, MutexName(name).c_str());
        if (mutex == nullptr) {
            return true;
        }
        CloseHandle(mutex);
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(20);
    }
}

SingleInstance::SendResult SingleInstance::SendToPrimary(const std::wstring& name,
                                                         const std::string& command,
                                                         DWORD timeoutMs) {
    // No mutex, no client: a window of that title alone is nobody's.
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, MutexName(name).c_str());
    if (mutex == nullptr) {
        return SendResult::NoPrimary;
    }
    CloseHandle(mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::wstring title = WindowTitle(name);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, title.c_str())) {
            COPYDATASTRUCT data{kCommandTag, static_cast<DWORD>(command.size()),
                                const_cast<char*>(command.data())};
            // The process the user just started may take the foreground; the running client
            // restores its window only with this right handed over, or Windows leaves it
            // behind the active window with a flashing taskbar button.
            DWORD primary = 0;
            GetWindowThreadProcessId(window, &primary);
            AllowSetForegroundWindow(primary);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            DWORD_PTR answer = 0;
            SetLastError(ERROR_SUCCESS);
            if (left <= 0) {
                return SendResult::NoAnswer;
            }
            if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                    SMTO_NORMAL, static_cast<UINT>(left), &answer)) {
                return answer == TRUE ? SendResult::Handled : SendResult::NoAnswer;
            }
            // A client that ended while it was asked leaves its place free: look again, as
            // the Linux socket's end tells at once.
            if (GetLastError() == ERROR_TIMEOUT || IsWindow(window)) {
                return SendResult::NoAnswer;
            }
        } else if (now >= deadline) {
            // The primary holds the mutex but does not listen yet: waited within the time.
            return SendResult::NoAnswer;
        }
        Sleep(20);
        HANDLE still = OpenMutexW(SYNCHRONIZE, FALSE, MutexName(name).c_str());
        if (still == nullptr) {
            return SendResult::NoPrimary;
        }
        CloseHandle(still);
    }
}

}  // namespace platform
