// A hidden window on the update thread: worker threads post to it, and it routes each message
// id (and each timer id) to the receiver registered for it.
#pragma once

#include <map>

#include "platform/wnd.h"
#include "update/msg_receiver.h"

class CNotifyProxy : public CWnd {
public:
    CNotifyProxy() = default;
    ~CNotifyProxy() override;

    // Creates the message-only window on the calling thread.
    BOOL CreateProxyWindow();

    // Binds id (or the next free id above it) to receiver; returns the id bound, 0 on failure.
    UINT RegisterReceiver(UINT id, IMsgReceiver* receiver);
    // Returns the number of bindings removed (0 or 1).
    size_t UnregisterReceiver(UINT id);
    void Dispatch(UINT id, WPARAM wParam, LPARAM lParam);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void OnTimer(UINT_PTR idEvent);
    void OnDestroy();

private:
    std::map<UINT, IMsgReceiver*> m_receivers;
};
