#include "update/n_thread.h"

namespace utility {

NThread::~NThread() {
    if (m_hThread != nullptr) {
        CloseHandle(m_hThread);
    }
}

void NThread::Start() {
    m_hThread = BeginThreadEx(&NThread::ThreadEntry, this, &m_nThreadId);
}

unsigned NThread::ThreadEntry(void* self) {
    return static_cast<NThread*>(self)->Run();
}

}  // namespace utility
