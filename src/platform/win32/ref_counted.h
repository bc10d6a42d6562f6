// The reference count of the browser host's own COM objects, with the number of each kind
// still alive, which the tests of the host's teardown read.
#pragma once

#include <windows.h>

#include <atomic>

namespace platform::win32 {

template <typename T>
class CRefCounted {
public:
    CRefCounted(const CRefCounted&) = delete;
    CRefCounted& operator=(const CRefCounted&) = delete;

    static LONG LiveObjects() { return s_nLive.load(); }

protected:
    // One reference, the creator's.
    CRefCounted() { ++s_nLive; }
    ~CRefCounted() { --s_nLive; }

    ULONG AddReference() { return static_cast<ULONG>(++m_nRefs); }
    // Frees the object with its last reference.
    ULONG DropReference() {
        const LONG left = --m_nRefs;
        if (left == 0) {
            delete static_cast<T*>(this);
        }
        return static_cast<ULONG>(left);
    }

private:
    LONG m_nRefs = 1;
    static inline std::atomic<LONG> s_nLive{0};
};

}  // namespace platform::win32
