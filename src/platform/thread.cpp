// Threads that own their task, on top of the platform's BeginThreadEx.
#include "platform/thread.h"

namespace {

unsigned RunOwnedTask(void* arg) {
    std::unique_ptr<std::function<unsigned()>> task(static_cast<std::function<unsigned()>*>(arg));
    return (*task)();
}

}  // namespace

HANDLE BeginThreadTask(std::function<unsigned()> task, unsigned* threadId) {
    if (!task) {
        return nullptr;
    }
    auto owned = std::make_unique<std::function<unsigned()>>(std::move(task));
    HANDLE thread = BeginThreadEx(&RunOwnedTask, owned.get(), threadId);
    if (thread != nullptr) {
        static_cast<void>(owned.release());  // the thread frees it
    }
    return thread;
}
