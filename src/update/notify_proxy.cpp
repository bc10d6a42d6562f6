#include "update/notify_proxy.h"

namespace {
constexpr UINT kLastSearchedId = 0xFFFF;
}

CNotifyProxy::~CNotifyProxy() {
    // Destroy here, while WindowProc is still ours, so receivers hear WM_DESTROY.
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

BOOL CNotifyProxy::CreateProxyWindow() {
    const RECT empty = {0, 0, 0, 0};
    return CreateEx(0, L"SongDeckNotifyProxy", L"notify proxy", 0, empty, nullptr, 0, nullptr);
}

UINT CNotifyProxy::RegisterReceiver(UINT id, IMsgReceiver* receiver) {
    if (id < WM_USER || receiver == nullptr) {
        return 0;
    }
    if (m_receivers.find(id) == m_receivers.end()) {
        m_receivers[id] = receiver;
        return id;
    }
    for (UINT candidate = id + 1; candidate < kLastSearchedId; ++candidate) {
        if (m_receivers.emplace(candidate, receiver).second) {
            return candidate;
        }
    }
    return 0;
}

size_t CNotifyProxy::UnregisterReceiver(UINT id) {
    return m_receivers.erase(id);
}

void CNotifyProxy::Dispatch(UINT id, WPARAM wParam, LPARAM lParam) {
    auto it = m_receivers.find(id);
    if (it != m_receivers.end()) {
        it->second->OnMsg(id, wParam, lParam);
    }
}

LRESULT CNotifyProxy::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER) {
        Dispatch(message, wParam, lParam);
        return 0;
    }
    switch (message) {
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CNotifyProxy::OnTimer(UINT_PTR idEvent) {
    Dispatch(static_cast<UINT>(idEvent), 0, 0);
    CWnd::WindowProc(WM_TIMER, idEvent, 0);
}

void CNotifyProxy::OnDestroy() {
    CWnd::WindowProc(WM_DESTROY, 0, 0);
    // Walk by key rather than by iterator: a receiver may unregister while it is told.
    auto it = m_receivers.begin();
    while (it != m_receivers.end()) {
        const UINT id = it->first;
        it->second->OnMsg(WM_DESTROY, 0, 0);
        it = m_receivers.upper_bound(id);
    }
}
