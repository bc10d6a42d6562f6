// A receiver of notifications routed by CNotifyProxy on the update thread.
#pragma once

#include "platform/types.h"

class IMsgReceiver {
public:
    virtual ~IMsgReceiver() = default;
    virtual void OnMsg(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};
