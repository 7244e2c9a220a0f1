#include "system/memory_registry.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

constexpr std::uint32_t kKeyRead = 0x20019;
const std::vector<std::uint8_t> kAbc = {'a', 'b', 'c', 0};

class MemoryRegistryTest : public ::testing::Test {
 protected:
  RegKeyHandle Create(RegHive hive, std::string_view path) {
    RegKeyHandle key = 0;
    EXPECT_EQ(registry_.CreateKey(hive, path, kKeyAllAccess, key), kErrorSuccess) << path;
    return key;
  }
  MemoryRegistry registry_;
};

TEST_F(MemoryRegistryTest, KeysAndNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  RegKeyHandle key = Create(kHkeyCurrentUser, "Control Panel\\Desktop");
  ASSERT_EQ(registry_.SetValue(key, "Wallpaper", kRegSz, kAbc), kErrorSuccess);
  ASSERT_EQ(registry_.CloseKey(key), kErrorSuccess);

  RegKeyHandle again = 0;
  ASSERT_EQ(registry_.OpenKey(kHkeyCurrentUser, "CONTROL PANEL\\desktop", kKeyRead, again),
            kErrorSuccess);
  RegQueryResult got = registry_.QueryValue(again, "WALLPAPER", 512);
  EXPECT_EQ(got.rc, kErrorSuccess);
  EXPECT_EQ(got.type, kRegSz);
  EXPECT_EQ(got.size, 4U);
  EXPECT_EQ(got.data, kAbc);
  // Rewriting under another spelling replaces the value, keeping its name.
  ASSERT_EQ(registry_.SetValue(again, "wallpaper", kRegDword, std::vector<std::uint8_t>(4, 1)),
            kErrorAccessDenied)
      << "a handle opened for reading cannot set values";
  registry_.CloseKey(again);

  RegKeyHandle writer = Create(kHkeyCurrentUser, "control panel\\DESKTOP");
  ASSERT_EQ(registry_.SetValue(writer, "wallpaper", kRegDword, std::vector<std::uint8_t>(4, 1)),
            kErrorSuccess);
  registry_.CloseKey(writer);

  const auto keys = registry_.Keys();
  ASSERT_EQ(keys.size(), 2U) << "the parent and the key itself";
  EXPECT_EQ(keys[0].path, "Control Panel");
  EXPECT_EQ(keys[1].path, "Control Panel\\Desktop");
  ASSERT_EQ(keys[1].values.size(), 1U);
  EXPECT_EQ(keys[1].values[0].name, "Wallpaper");
  EXPECT_EQ(keys[1].values[0].type, kRegDword);
}

TEST_F(MemoryRegistryTest, ErrorCodesAsAdvapi32GivesThem) {
  RegKeyHandle key = 0;
  EXPECT_EQ(registry_.OpenKey(kHkeyCurrentUser, "Missing", kKeyRead, key), kErrorFileNotFound);
  EXPECT_EQ(registry_.OpenKey(0x12345, "Any", kKeyRead, key), kErrorInvalidHandle);
  EXPECT_EQ(registry_.CreateKey(kHkeyCurrentUser, "\\Leading", kKeyAllAccess, key),
            kErrorInvalidParameter);
  EXPECT_EQ(registry_.CreateKey(kHkeyCurrentUser, "Double\\\\Slash", kKeyAllAccess, key),
            kErrorInvalidParameter);

  key = Create(kHkeyCurrentUser, "Software\\Test");
  RegQueryResult missing = registry_.QueryValue(key, "Absent", 512);
  EXPECT_EQ(missing.rc, kErrorFileNotFound);

  ASSERT_EQ(registry_.SetValue(key, "Big", kRegBinary, std::vector<std::uint8_t>(600, 7)),
            kErrorSuccess);
  RegQueryResult big = registry_.QueryValue(key, "Big", 512);
  EXPECT_EQ(big.rc, kErrorMoreData);
  EXPECT_EQ(big.size, 600U) << "the size needed is reported with ERROR_MORE_DATA";
  EXPECT_TRUE(big.data.empty());
  EXPECT_EQ(registry_.QueryValue(key, "Big", 600).rc, kErrorSuccess);

  ASSERT_EQ(registry_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(registry_.CloseKey(key), kErrorInvalidHandle) << "a handle closes once";
  EXPECT_EQ(registry_.QueryValue(key, "Big", 512).rc, kErrorInvalidHandle);
  EXPECT_EQ(registry_.SetValue(key, "X", kRegSz, kAbc), kErrorInvalidHandle);
  EXPECT_EQ(registry_.OpenHandleCount(), 0U);
}

// Windows' own bounds: 512 levels, 255 characters a name; one more of either
// is refused like any other malformed path, and creates nothing.
TEST_F(MemoryRegistryTest, PathsBeyondWindowsLimitsAreInvalidParameters) {
  const auto path = [](std::size_t depth, std::size_t nameChars) {
    std::string p(nameChars, 'k');
    for (std::size_t i = 1; i < depth; ++i) p += "\\" + std::string(nameChars, 'k');
    return p;
  };
  const std::string deepest = path(limits::kMaxRegistryKeyDepth, 2);
  const std::string longest = path(2, limits::kMaxRegistryNameChars);
  registry_.CloseKey(Create(kHkeyCurrentUser, deepest));
  registry_.CloseKey(Create(kHkeyCurrentUser, longest));
  for (const std::string& bad : {deepest + "\\k", path(2, limits::kMaxRegistryNameChars + 1)}) {
    RegKeyHandle key = 0;
    EXPECT_EQ(registry_.CreateKey(kHkeyUsers, bad, kKeyAllAccess, key), kErrorInvalidParameter);
    EXPECT_EQ(registry_.OpenKey(kHkeyCurrentUser, bad, kKeyRead, key), kErrorInvalidParameter);
    EXPECT_FALSE(registry_.PutKey(kHkeyUsers, bad));
  }
  EXPECT_FALSE(registry_.HasKey(kHkeyUsers, "k"));
}

TEST_F(MemoryRegistryTest, ReadOnlyHiveRefusesWriteAccessOnly) {
  ASSERT_TRUE(registry_.PutValue(kHkeyLocalMachine, "Software\\A", {"V", kRegSz, kAbc}));
  registry_.SetHiveAccess(kHkeyLocalMachine, HiveAccess::ReadOnly);

  RegKeyHandle key = 0;
  EXPECT_EQ(registry_.OpenKey(kHkeyLocalMachine, "Software\\A", kKeyAllAccess, key),
            kErrorAccessDenied);
  EXPECT_EQ(registry_.CreateKey(kHkeyLocalMachine, "Software\\B", kKeyAllAccess, key),
            kErrorAccessDenied);
  EXPECT_FALSE(registry_.HasKey(kHkeyLocalMachine, "Software\\B"));
  ASSERT_EQ(registry_.OpenKey(kHkeyLocalMachine, "Software\\A", kKeyRead, key), kErrorSuccess);
  EXPECT_EQ(registry_.QueryValue(key, "V", 512).data, kAbc);
  registry_.CloseKey(key);

  // Other hives are untouched.
  RegKeyHandle user = Create(kHkeyCurrentUser, "Software\\A");
  registry_.CloseKey(user);
}

TEST_F(MemoryRegistryTest, KeysListInTreeOrderByRoot) {
  registry_.PutKey(kHkeyLocalMachine, "Software");
  registry_.PutKey(kHkeyCurrentUser, "a b");
  registry_.PutKey(kHkeyCurrentUser, "A\\Z");
  registry_.PutKey(kHkeyCurrentUser, "a\\b");
  std::vector<std::string> seen;
  for (const RegKeyCopy& key : registry_.Keys()) {
    seen.push_back(std::string(HiveName(key.hive)) + ":" + key.path);
  }
  // Each name keeps the spelling it was created with: "a\\b" lies below "A".
  EXPECT_EQ(seen, (std::vector<std::string>{"HKEY_CURRENT_USER:A", "HKEY_CURRENT_USER:A\\b",
                                            "HKEY_CURRENT_USER:A\\Z", "HKEY_CURRENT_USER:a b",
                                            "HKEY_LOCAL_MACHINE:Software"}));
  EXPECT_FALSE(registry_.PutKey(0x1, "X")) << "an unknown root is refused";
  EXPECT_FALSE(registry_.PutKey(kHkeyUsers, "Trailing\\"));
}

}  // namespace
}  // namespace vistel
