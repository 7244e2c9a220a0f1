// Plants a symbolic link, as an attacker would, for the tests that check that
// nothing is written through one.
#pragma once

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vistel::testing {

// A link at `link` to `target` (which need not exist). False where the
// system cannot make one: Wine has no symbolic links, and Windows gives them
// only to administrators and in developer mode.
inline bool PlantLink(const std::filesystem::path& target, const std::filesystem::path& link) {
#ifdef _WIN32
  // Wine's call answers success and makes nothing: the link must be there.
  if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    return false;
  }
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
  std::filesystem::create_symlink(target, link);
  return true;
#endif
}

}  // namespace vistel::testing

// In a test body: plants the link or skips the test where links cannot be made.
#define VISTEL_PLANT_LINK_OR_SKIP(target, link)                                    \
  if (!::vistel::testing::PlantLink((target), (link))) {                           \
    GTEST_SKIP() << "this system makes no symbolic links (Wine, or no privilege)"; \
  }
