#include "system/traced_registry.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/memory_registry.hpp"
#include "system/settings_reg.hpp"
#include "system/system_fakes.hpp"

namespace vistel {
namespace {

using testing::RecordingBoxes;
using testing::RecordingTrace;

class TracedRegistryTest : public ::testing::Test {
 protected:
  MemoryRegistry inner_;
  RecordingTrace trace_;
  TracedRegistry traced_{inner_, trace_};
  RecordingBoxes boxes_;
  SettingsReg store_{traced_, boxes_};
};

TEST_F(TracedRegistryTest, ReadOfADwordTracesHiveKeyNameAndData) {
  inner_.PutValue(kHkeyCurrentUser, "Control Panel\\Desktop",
                  {"ScreenSaveUsePassword", kRegDword, {1, 0, 0, 0}});
  EXPECT_EQ(store_.ReadRegSetting(kHkeyCurrentUser, "Control Panel\\Desktop",
                                  "ScreenSaveUsePassword", "0", Quiet::Yes),
            "001");
  ASSERT_EQ(trace_.events.size(), 1U);
  const auto& e = trace_.events[0];
  EXPECT_EQ(e.ev, "registry");
  EXPECT_EQ(e.Text("op"), "read");
  EXPECT_EQ(e.Text("hive"), "HKEY_CURRENT_USER");
  EXPECT_EQ(e.Text("key"), "Control Panel\\Desktop");
  EXPECT_EQ(e.Text("name"), "ScreenSaveUsePassword");
  EXPECT_EQ(e.Text("data"), "dword:00000001");
  EXPECT_EQ(e.Int("rc"), 0);
  EXPECT_EQ(inner_.OpenHandleCount(), 0U) << "closing goes through to the registry";
}

TEST_F(TracedRegistryTest, WriteTracesTheTextAsUtf8) {
  ASSERT_TRUE(store_.SaveRegSetting(kHkeyLocalMachine, "Software\\Caf\xE9", "N\xE9", "d\xE9j\xE0",
                                    Quiet::Yes));
  ASSERT_EQ(trace_.events.size(), 1U);
  const auto& e = trace_.events[0];
  EXPECT_EQ(e.Text("op"), "write");
  EXPECT_EQ(e.Text("hive"), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(e.Text("key"), "Software\\Caf\xC3\xA9");
  EXPECT_EQ(e.Text("name"), "N\xC3\xA9");
  EXPECT_EQ(e.Text("data"), "d\xC3\xA9j\xC3\xA0") << "the NUL is not part of the traced text";
}

TEST_F(TracedRegistryTest, FailuresTraceTheirCodeWithoutData) {
  inner_.PutValue(kHkeyCurrentUser, "K", {"Big", kRegSz, std::vector<std::uint8_t>(600, 'x')});
  store_.ReadRegSetting(kHkeyCurrentUser, "K", "Missing", "", Quiet::Yes);
  store_.ReadRegSetting(kHkeyCurrentUser, "K", "Big", "", Quiet::Yes);
  inner_.SetHiveAccess(kHkeyLocalMachine, HiveAccess::Denied);
  store_.SaveRegSetting(kHkeyLocalMachine, "K", "V", "x", Quiet::Yes);  // fails before any set
  ASSERT_EQ(trace_.events.size(), 2U) << "a key that does not open has no value event";
  EXPECT_EQ(trace_.events[0].Int("rc"), kErrorFileNotFound);
  EXPECT_EQ(trace_.events[0].Text("data"), "");
  EXPECT_EQ(trace_.events[1].Int("rc"), kErrorMoreData);
  EXPECT_EQ(trace_.events[1].Text("data"), "");
}

TEST(RegValueTraceText, NonTextDataUsesTheRegeditNotation) {
  const std::vector<std::uint8_t> bytes = {0x01, 0xAB, 0x00};
  EXPECT_EQ(RegValueTraceText(kRegBinary, bytes), "hex:01,ab,00");
  EXPECT_EQ(RegValueTraceText(kRegMultiSz, bytes), "hex(7):01,ab,00");
  EXPECT_EQ(RegValueTraceText(kRegDword, bytes), "hex(4):01,ab,00") << "a short DWORD";
  EXPECT_EQ(RegValueTraceText(kRegDword, std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}),
            "dword:12345678");
  EXPECT_EQ(RegValueTraceText(kRegBinary, {}), "hex:");
  EXPECT_EQ(RegValueTraceText(kRegExpandSz, std::vector<std::uint8_t>{'%', 'x', 0}), "%x");
}

}  // namespace
}  // namespace vistel
