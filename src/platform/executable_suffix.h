// What the platform appends to the name of an executable file.
#pragma once

#ifdef _WIN32
constexpr wchar_t kExecutableSuffix[] = L".exe";
#else
constexpr wchar_t kExecutableSuffix[] = L"";
#endif
