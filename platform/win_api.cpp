#include "platform/win_api.h"

namespace sys {

FakeEntries& Fakes() {
    static FakeEntries fakes;
    return fakes;
}

namespace {

FARPROC ResolveEntry(const char* library, const char* name) {
    HMODULE module = GetModuleHandleA(library);
    if (!module) module = LoadLibraryA(library); // stays loaded for the life of the process
    return module ? GetProcAddress(module, name) : nullptr;
}

} // namespace

// Each entry resolves its real function once (thread-safe static initialisation); an entry point the
// system lacks behaves as a call that failed.
#define CORVANA_DEFINE_ENTRY(library, result, name, parameters, arguments)                                   \
    result WINAPI name parameters {                                                                          \
        using Entry = result(WINAPI*) parameters;                                                            \
        if (Entry fake = Fakes().name) return fake arguments;                                                \
        static const Entry real = reinterpret_cast<Entry>(reinterpret_cast<void*>(ResolveEntry(library, #name))); \
        if (!real) return result();                                                                          \
        return real arguments;                                                                               \
    }
CORVANA_WIN_API(CORVANA_DEFINE_ENTRY)
#undef CORVANA_DEFINE_ENTRY

} // namespace sys
