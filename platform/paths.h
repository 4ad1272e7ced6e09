// The folder the production reads its resources from, spelled as the platform spells paths.
#pragma once

#include "platform/platform.h"

namespace platform {

#ifdef _WIN32
inline constexpr NativeChar kResourceFolder[] = L"resources\\";
inline constexpr NativeChar kPathSeparator = L'\\';
#else
inline constexpr NativeChar kResourceFolder[] = "resources/";
inline constexpr NativeChar kPathSeparator = '/';
#endif

}  // namespace platform
