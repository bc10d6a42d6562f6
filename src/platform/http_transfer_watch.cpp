#include "platform/http_transfer_watch.h"

namespace {

long long MillisecondsSince(CHttpTransferWatch::Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(CHttpTransferWatch::Clock::now() -
                                                                 start)
        .count();
}

}  // namespace

HttpRequestResult CHttpTransferWatch::Check(const HttpTransferLimits& limits,
                                            const std::atomic<int>& keepGoing) {
    return Check(limits, keepGoing, m_lastActivity);
}

HttpRequestResult CHttpTransferWatch::Check(const HttpTransferLimits& limits,
                                            const std::atomic<int>& keepGoing,
                                            Clock::time_point lastActivity) {
    if (keepGoing.load() == 0) {
        return HttpRequestResult::Stopped;
    }
    if (MillisecondsSince(lastActivity) >= static_cast<long long>(limits.stallMs)) {
        return HttpRequestResult::Stalled;
    }
    const long long window = MillisecondsSince(m_windowStart);
    if (limits.minimumBytesPerSecond != 0 && window >= limits.speedWindowMs) {
        if (m_bytesInWindow * 1000 <
            static_cast<uint64_t>(limits.minimumBytesPerSecond) * static_cast<uint64_t>(window)) {
            return HttpRequestResult::TooSlow;
        }
        m_windowStart = Clock::now();
        m_bytesInWindow = 0;
    }
    return HttpRequestResult::Completed;
}
