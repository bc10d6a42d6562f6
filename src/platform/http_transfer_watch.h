// The limits of HttpTransferLimits as every HTTP backend applies them while a transfer runs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/http_request.h"

class CHttpTransferWatch {
public:
    using Clock = std::chrono::steady_clock;

    // Bytes of the head or body that just arrived.
    void Arrived(size_t bytes) {
        m_lastActivity = Clock::now();
        m_bytesInWindow += bytes;
    }
    // Counted toward the speed only (their arrival time is known elsewhere).
    void Counted(size_t bytes) { m_bytesInWindow += bytes; }
    // Stopped, Stalled or TooSlow when the transfer must end now; Completed otherwise.
    // lastActivity: when something last arrived, where the backend learns it itself.
    HttpRequestResult Check(const HttpTransferLimits& limits, const std::atomic<int>& keepGoing);
    HttpRequestResult Check(const HttpTransferLimits& limits, const std::atomic<int>& keepGoing,
                            Clock::time_point lastActivity);

private:
    Clock::time_point m_lastActivity = Clock::now();
    Clock::time_point m_windowStart = Clock::now();
    uint64_t m_bytesInWindow = 0;
};
