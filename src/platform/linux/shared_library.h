// Libraries opened when first needed instead of at start: binding libcurl, its dozen
// dependencies and libcrypto against the GUI's libraries costs start-up time, and only the
// updater, which runs well after the first page, uses them.
#pragma once

#include <type_traits>

// Table members: SONGDECK_LIBRARY_FUNCTION(member, function) declares a pointer named member of
// function's type; SONGDECK_LIBRARY_BIND(member, function), chained after `true` in the table's
// Bind, looks function up by name into it.
#define SONGDECK_LIBRARY_FUNCTION(member, function) decltype(&::function) member = nullptr;
#define SONGDECK_LIBRARY_BIND(member, function) &&bind(#function, member)

namespace platform {

// Opens soname with its symbols and dependencies kept out of the global lookup scope; null when
// it cannot be opened (logged, naming it).
void* OpenSharedLibrary(const char* soname);
// The address of name in library; null when the library lacks it (logged, naming both).
void* FindSharedLibraryFunction(void* library, const char* soname, const char* name);
void CloseSharedLibrary(void* library);

// A table of soname's functions: Table::Bind(bind) calls bind(name, member) for each member and
// returns whether all succeeded. Null when the library or any function is missing. The table
// and the library stay for the life of the process (threads may still be calling at exit), so
// callers load it once, into a function-local static.
template <class Table>
const Table* LoadSharedLibraryFunctions(const char* soname) {
    void* library = OpenSharedLibrary(soname);
    if (library == nullptr) {
        return nullptr;
    }
    auto* table = new Table{};
    const bool bound = table->Bind([&](const char* name, auto*& function) {
        using Function = std::remove_reference_t<decltype(function)>;
        function = reinterpret_cast<Function>(FindSharedLibraryFunction(library, soname, name));
        return function != nullptr;
    });
    if (!bound) {
        delete table;
        CloseSharedLibrary(library);
        return nullptr;
    }
    return table;
}

}  // namespace platform
