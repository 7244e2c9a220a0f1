// The Linux folders: overrides first, then the environment, always in the
// form the folder lookups expect (temp with a trailing "/", system without).
#include "platform/posix/linux_folders.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(LinuxFoldersTest, TempOverrideIsCreatedAndUsedAsGiven) {
  const std::string chosen = (root_ / "chosen").string();
  LinuxSystemFolders overridden({.temp = chosen, .system = std::nullopt});
  EXPECT_EQ(overridden.TempPath(), chosen + "/");
  EXPECT_TRUE(fs::is_directory(chosen));
  LinuxSystemFolders withSlash({.temp = chosen + "/", .system = std::nullopt});
  EXPECT_EQ(withSlash.TempPath(), chosen + "/") << "one separator, not two";
}

// Without --temp the media go to a folder only this user can enter. Each
// case prepares the environment and what another user might have planted,
// and names the folder it expects: an exact path, or a fresh one made beside
// the per-user name when that name cannot be trusted.
struct PrivateTempCase {
  const char* name;
  void (*prepare)(const fs::path& root, const std::string& user, ScopedEnvironment& env);
  const char* expected;  // relative to root; a trailing '-' means a fresh folder with that prefix
  bool needsRoot = false;
};

void MakeFolder(const fs::path& path, fs::perms perms) {
  fs::create_directories(path);
  fs::permissions(path, perms);
}

const PrivateTempCase kPrivateTempCases[] = {
    {"UnderTheRuntimeFolder",
     [](const fs::path& root, const std::string&, ScopedEnvironment& env) {
       MakeFolder(root / "run", fs::perms::owner_all);
       env.Set("XDG_RUNTIME_DIR", (root / "run").c_str());
     },
     "run/vistel"},
    {"WithoutARuntimeFolderUnderTmpdir",
     [](const fs::path&, const std::string&, ScopedEnvironment& env) {
       env.Set("XDG_RUNTIME_DIR", nullptr);
     },
     "tmp/vistel-USER"},
    {"RuntimeFolderOpenToOthersIsNotUsed",
     [](const fs::path& root, const std::string&, ScopedEnvironment& env) {
       MakeFolder(root / "run", fs::perms::all);
       env.Set("XDG_RUNTIME_DIR", (root / "run").c_str());
     },
     "tmp/vistel-USER"},
    {"LinkInTheRuntimeFolderIsNotFollowed",
     [](const fs::path& root, const std::string&, ScopedEnvironment& env) {
       MakeFolder(root / "run", fs::perms::owner_all);
       fs::create_directory_symlink(root / "victim", root / "run" / "vistel");
       env.Set("XDG_RUNTIME_DIR", (root / "run").c_str());
     },
     "tmp/vistel-USER"},
    {"DanglingLinkAtThePerUserName",
     [](const fs::path& root, const std::string& user, ScopedEnvironment& env) {
       env.Set("XDG_RUNTIME_DIR", nullptr);
       fs::create_directory_symlink(root / "victim", root / "tmp" / ("vistel-" + user));
     },
     "tmp/vistel-USER-"},
    {"LiveLinkAtThePerUserName",
     [](const fs::path& root, const std::string& user, ScopedEnvironment& env) {
       env.Set("XDG_RUNTIME_DIR", nullptr);
       MakeFolder(root / "victim", fs::perms::owner_all);
       fs::create_directory_symlink(root / "victim", root / "tmp" / ("vistel-" + user));
     },
     "tmp/vistel-USER-"},
    {"PerUserFolderOpenToOthers",
     [](const fs::path& root, const std::string& user, ScopedEnvironment& env) {
       env.Set("XDG_RUNTIME_DIR", nullptr);
       MakeFolder(root / "tmp" / ("vistel-" + user), fs::perms::all);
     },
     "tmp/vistel-USER-"},
    {"PerUserFolderOfAnotherUser",
     [](const fs::path& root, const std::string& user, ScopedEnvironment& env) {
       env.Set("XDG_RUNTIME_DIR", nullptr);
       const fs::path planted = root / "tmp" / ("vistel-" + user);
       MakeFolder(planted, fs::perms::owner_all);
       ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
     },
     "tmp/vistel-USER-", true},
};

class PrivateTempTest : public LinuxFoldersTest,
                        public ::testing::WithParamInterface<PrivateTempCase> {};

TEST_P(PrivateTempTest, IsAFolderOnlyThisUserCanEnter) {
  const PrivateTempCase& c = GetParam();
  if (c.needsRoot && ::geteuid() != 0) GTEST_SKIP() << "only root can plant another user's folder";
  const std::string user = std::to_string(::geteuid());
  MakeFolder(root_ / "tmp", fs::perms::all | fs::perms::sticky_bit);
  environment_.Set("TMPDIR", (root_ / "tmp").c_str());
  ASSERT_NO_FATAL_FAILURE(c.prepare(root_, user, environment_));

  LinuxSystemFolders folders;
  const std::string temp = folders.TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(folders.TempPath(), temp) << "one folder for the whole run";
  ASSERT_EQ(temp.back(), '/');
  std::string expected = (root_ / c.expected).string();
  if (const auto at = expected.find("USER"); at != std::string::npos) expected.replace(at, 4, user);
  const std::string folder = temp.substr(0, temp.size() - 1);
  if (expected.back() == '-') {
    EXPECT_TRUE(folder.starts_with(expected) && folder.size() > expected.size())
        << "expected a fresh folder " << expected << "XXXXXX, got " << folder;
  } else {
    EXPECT_EQ(folder, expected);
  }
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0) << folder;
  EXPECT_TRUE(S_ISDIR(st.st_mode)) << folder << " is not a real folder";
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_EQ(st.st_mode & 0777, 0700U);
  EXPECT_FALSE(fs::exists(root_ / "victim") && !fs::is_empty(root_ / "victim"));
}

INSTANTIATE_TEST_SUITE_P(Cases, PrivateTempTest, ::testing::ValuesIn(kPrivateTempCases),
                         [](const auto& c) { return std::string(c.param.name); });

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
