// The Linux folders: overrides first, then the environment, always in the
// form the folder lookups expect (temp with a trailing "/", system without).
#include "runtime/linux_folders.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vistel {
namespace {

namespace fs = std::filesystem;

// Sets or clears environment variables for one test and puts them back.
class ScopedEnvironment {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first, it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

class LinuxFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("vistel-folders-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
  ScopedEnvironment environment_;
};

TEST_F(LinuxFoldersTest, TempComesFromTheOverrideThenTmpdirThenSlashTmp) {
  environment_.Set("TMPDIR", (root_ / "env-tmp").c_str());
  EXPECT_EQ(LinuxSystemFolders().TempPath(), (root_ / "env-tmp").string() + "/");

  environment_.Set("TMPDIR", "");
  EXPECT_EQ(LinuxSystemFolders().TempPath(), "/tmp/");
  environment_.Set("TMPDIR", nullptr);
  EXPECT_EQ(LinuxSystemFolders().TempPath(), "/tmp/");

  const std::string chosen = (root_ / "chosen").string();
  LinuxSystemFolders overridden({.temp = chosen, .system = std::nullopt});
  EXPECT_EQ(overridden.TempPath(), chosen + "/");
  EXPECT_TRUE(fs::is_directory(chosen));
  LinuxSystemFolders withSlash({.temp = chosen + "/", .system = std::nullopt});
  EXPECT_EQ(withSlash.TempPath(), chosen + "/") << "one separator, not two";
}

TEST_F(LinuxFoldersTest, SystemFolderIsThePlayersOwnAndIsCreatedOnDemand) {
  environment_.Set("XDG_DATA_HOME", (root_ / "data").c_str());
  const std::string expected = (root_ / "data" / "vistel" / "system").string();
  EXPECT_EQ(LinuxSystemFolders().SystemDirectory(), expected);
  EXPECT_TRUE(fs::is_directory(expected));

  // XDG says a relative XDG_DATA_HOME is to be ignored.
  environment_.Set("XDG_DATA_HOME", "relative/data");
  environment_.Set("HOME", (root_ / "home").c_str());
  EXPECT_EQ(LinuxSystemFolders().SystemDirectory(),
            (root_ / "home" / ".local" / "share" / "vistel" / "system").string());

  environment_.Set("XDG_DATA_HOME", nullptr);
  environment_.Set("HOME", nullptr);
  EXPECT_EQ(LinuxSystemFolders().SystemDirectory(), "") << "nowhere to put it";

  const std::string chosen = (root_ / "sys").string();
  EXPECT_EQ(LinuxSystemFolders({.temp = std::nullopt, .system = chosen + "/"}).SystemDirectory(),
            chosen);
  EXPECT_TRUE(fs::is_directory(chosen));
}

}  // namespace
}  // namespace vistel
