// The folder lookups' slash rules, on a Windows-style and a Linux host.
#include "package/folders.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "package_fixtures.hpp"

namespace vistel {
namespace {

class FixedFolders final : public SystemFolders {
 public:
  FixedFolders(std::string temp, std::string system)
      : temp_(std::move(temp)), system_(std::move(system)) {}
  std::string TempPath() override { return temp_; }
  std::string SystemDirectory() override { return system_; }

 private:
  std::string temp_;
  std::string system_;
};

const testing::FakeProcess kWindows("C:\\SAVERS", "Show", '\\');
const testing::FakeProcess kLinux("/opt/savers", "Show", '/');

TEST(GetTempFolder, DropsTheSystemsSeparatorAndAddsOneOnRequest) {
  FixedFolders windows("C:\\TEMP\\", "C:\\WINDOWS\\SYSTEM");
  EXPECT_EQ(GetTempFolder(windows, kWindows, AddSlash::Yes), "C:\\TEMP\\");
  EXPECT_EQ(GetTempFolder(windows, kWindows, AddSlash::No), "C:\\TEMP");

  FixedFolders linux("/tmp/", "/home/u/.local/share/vistel/system");
  EXPECT_EQ(GetTempFolder(linux, kLinux, AddSlash::Yes), "/tmp/");
  EXPECT_EQ(GetTempFolder(linux, kLinux, AddSlash::No), "/tmp");

  // Only a separator is dropped: a path without one keeps its last letter.
  FixedFolders bare("/var/tmp", "");
  EXPECT_EQ(GetTempFolder(bare, kLinux, AddSlash::No), "/var/tmp");
  EXPECT_EQ(GetTempFolder(bare, kLinux, AddSlash::Yes), "/var/tmp/");
}

TEST(GetSystemFolder, AppendsOneSeparatorOnRequest) {
  FixedFolders windows("C:\\TEMP\\", "C:\\WINDOWS\\SYSTEM");
  EXPECT_EQ(GetSystemFolder(windows, kWindows, AddSlash::Yes), "C:\\WINDOWS\\SYSTEM\\");
  EXPECT_EQ(GetSystemFolder(windows, kWindows, AddSlash::No), "C:\\WINDOWS\\SYSTEM");

  FixedFolders trailing("/tmp/", "/srv/system/");
  EXPECT_EQ(GetSystemFolder(trailing, kLinux, AddSlash::Yes), "/srv/system/");
}

TEST(FolderLookups, AFailedSystemCallGivesAnEmptyText) {
  FixedFolders failing("", "");
  EXPECT_EQ(GetTempFolder(failing, kWindows, AddSlash::Yes), "");
  EXPECT_EQ(GetTempFolder(failing, kWindows, AddSlash::No), "");
  EXPECT_EQ(GetSystemFolder(failing, kWindows, AddSlash::Yes), "");
}

}  // namespace
}  // namespace vistel
