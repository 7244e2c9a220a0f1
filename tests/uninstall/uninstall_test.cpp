#include "uninstall/uninstall.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/memory_registry.hpp"
#include "system/system_fakes.hpp"

namespace vistel {
namespace {

using testing::FixedProcess;
using testing::MemoryFiles;
using testing::RecordingBoxes;

constexpr std::string_view kSystem = "/win/system/";
const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VISTEL-MySaver";

std::string Text(const std::optional<RegValue>& value) {
  if (!value) return "<missing>";
  if (value->type != kRegSz) return "<not REG_SZ>";
  if (value->data.empty() || value->data.back() != 0) return "<no NUL>";
  return {value->data.begin(), value->data.end() - 1};
}

class UninstallTest : public ::testing::Test {
 protected:
  UninstallRegistration Registration(const FixedProcess& process) {
    return UninstallRegistration(files_, settings_, process, [this] { return systemFolder_; });
  }

  MemoryFiles files_;
  MemoryRegistry registry_;
  RecordingBoxes boxes_;
  SettingsReg settings_{registry_, boxes_};
  std::string systemFolder_{kSystem};
  FixedProcess mySaver_{"MySaver"};
};

TEST_F(UninstallTest, ListFileIsInTheSystemFolder) {
  EXPECT_EQ(Registration(mySaver_).ListFilePath(), "/win/system/vistelss.lst");
  systemFolder_ = "C:\\WINDOWS\\SYSTEM\\";
  EXPECT_EQ(Registration(mySaver_).ListFilePath(), "C:\\WINDOWS\\SYSTEM\\vistelss.lst")
      << "the folder is asked on each use";
}

TEST_F(UninstallTest, FirstRegistrationCreatesTheListAndWritesTheEntry) {
  ASSERT_TRUE(Registration(mySaver_).RegisterUninstall());
  EXPECT_EQ(files_.files["/win/system/vistelss.lst"], "MySaver\r\n");

  ASSERT_TRUE(registry_.HasKey(kHkeyLocalMachine, kKey));
  const auto keys = registry_.Keys();
  const auto entry =
      std::find_if(keys.begin(), keys.end(), [](const RegKeyCopy& k) { return k.path == kKey; });
  ASSERT_NE(entry, keys.end());
  std::vector<std::string> names;
  for (const RegValue& v : entry->values) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"DisplayName", "UninstallString", "DisplayIcon",
                                             "Publisher"}))
      << "the four values, in this order";
  EXPECT_EQ(Text(registry_.GetValue(kHkeyLocalMachine, kKey, "DisplayName")),
            "Screen Saver: MySaver (remove only)");
  EXPECT_EQ(Text(registry_.GetValue(kHkeyLocalMachine, kKey, "UninstallString")),
            "/win/system/unvistelss.exe /R:MySaver");
  EXPECT_EQ(Text(registry_.GetValue(kHkeyLocalMachine, kKey, "DisplayIcon")),
            "/win/system/MySaver.scr,0");
  EXPECT_EQ(Text(registry_.GetValue(kHkeyLocalMachine, kKey, "Publisher")), "Norvel Products");
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(registry_.OpenHandleCount(), 0U);
}

TEST_F(UninstallTest, EveryRegistrationAppendsOneLine) {
  files_.files["/win/system/vistelss.lst"] = "Other\r\n";
  ASSERT_TRUE(Registration(mySaver_).RegisterUninstall());
  ASSERT_TRUE(Registration(mySaver_).RegisterUninstall());
  FixedProcess another("Aquarium");
  ASSERT_TRUE(Registration(another).RegisterUninstall());
  EXPECT_EQ(files_.files["/win/system/vistelss.lst"], "Other\r\nMySaver\r\nMySaver\r\nAquarium\r\n")
      << "no duplicate check, nothing removed";
  EXPECT_EQ(registry_.Keys().back().values.size(), 4U);
  EXPECT_EQ(Text(registry_.GetValue(kHkeyLocalMachine, kKey, "DisplayName")),
            "Screen Saver: MySaver (remove only)")
      << "registering twice rewrites the same values";
  EXPECT_TRUE(registry_.HasKey(kHkeyLocalMachine,
                               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                               "VISTEL-Aquarium"));
}

TEST_F(UninstallTest, RegistryFailuresAreSilent) {
  registry_.SetHiveAccess(kHkeyLocalMachine, HiveAccess::ReadOnly);
  EXPECT_TRUE(Registration(mySaver_).RegisterUninstall());
  EXPECT_EQ(files_.files["/win/system/vistelss.lst"], "MySaver\r\n");
  EXPECT_FALSE(registry_.HasKey(kHkeyLocalMachine, kKey));
  EXPECT_TRUE(boxes_.shown.empty()) << "values are written quietly";
}

TEST_F(UninstallTest, ListFileFailureAbandonsTheRegistration) {
  files_.missingFolders.insert(std::string(kSystem));
  auto result = Registration(mySaver_).RegisterUninstall();
  ASSERT_FALSE(result.has_value()) << "the file error goes to the caller";
  EXPECT_EQ(result.error().code, ErrorCode::PathNotFound);
  EXPECT_TRUE(registry_.Keys().empty()) << "no registry value after a list-file failure";
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(UninstallTest, FailedWriteOrCloseOfTheListAlsoAbandons) {
  files_.failWrites = true;
  EXPECT_FALSE(Registration(mySaver_).RegisterUninstall().has_value());
  files_.failWrites = false;
  files_.failCloses = true;
  EXPECT_FALSE(Registration(mySaver_).RegisterUninstall().has_value());
  EXPECT_TRUE(registry_.Keys().empty());
}

}  // namespace
}  // namespace vistel
