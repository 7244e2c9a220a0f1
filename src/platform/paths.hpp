// How the host system writes paths: the separator it puts between names, and
// every separator a file name ends at.
#pragma once

#include <string_view>

namespace vistel {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

}  // namespace vistel
