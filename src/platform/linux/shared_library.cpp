#include "platform/linux/shared_library.h"

#include <dlfcn.h>

#include <cstdarg>

#include "platform/logger.h"

namespace platform {

namespace {

void LogWarning(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    Logger::instance().warning(format, args);
    va_end(args);
}

}  // namespace

void* OpenSharedLibrary(const char* soname) {
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        LogWarning(L"shared library %hs could not be loaded: %hs", soname,
                   reason != nullptr ? reason : "unknown reason");
    }
    return library;
}

void* FindSharedLibraryFunction(void* library, const char* soname, const char* name) {
    void* function = dlsym(library, name);
    if (function == nullptr) {
        LogWarning(L"shared library %hs has no function %hs", soname, name);
    }
    return function;
}

void CloseSharedLibrary(void* library) {
    dlclose(library);
}

}  // namespace platform
