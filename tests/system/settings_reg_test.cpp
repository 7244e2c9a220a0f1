#include "system/settings_reg.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/memory_registry.hpp"
#include "system/system_fakes.hpp"

namespace vistel {
namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::InSequence;
using testing::RecordingBoxes;
using ::testing::Return;
using ::testing::SetArgReferee;

constexpr std::string_view kDesktop = "Control Panel\\Desktop";
constexpr std::string_view kReadFailure2 =
    "An error occurred (2) attempting to read a setting from the Windows Registry.";

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

class SettingsRegTest : public ::testing::Test {
 protected:
  void Put(std::uint32_t type, std::vector<std::uint8_t> data, std::string_view name = "Value") {
    ASSERT_TRUE(registry_.PutValue(kHkeyCurrentUser, kDesktop, {std::string(name), type, data}));
  }
  std::string Read(std::string_view name = "Value", std::string_view fallback = "dflt",
                   Quiet quiet = Quiet::Yes) {
    return store_.ReadRegSetting(kHkeyCurrentUser, kDesktop, name, fallback, quiet);
  }

  MemoryRegistry registry_;
  RecordingBoxes boxes_;
  SettingsReg store_{registry_, boxes_};
};

TEST_F(SettingsRegTest, TextValuesReadWithoutTheirNul) {
  Put(kRegSz, Bytes(std::string_view("1\0", 2)));
  EXPECT_EQ(Read(), "1");
  // Other non-binary, non-DWORD types read as text too; only the last byte
  // goes, whatever it is.
  Put(kRegExpandSz, Bytes("%TEMP%X"));
  EXPECT_EQ(Read(), "%TEMP%");
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(registry_.OpenHandleCount(), 0U) << "the key must be closed after reading";
}

TEST_F(SettingsRegTest, EmptyAndOneByteValuesGiveTheDefault) {
  Put(kRegSz, Bytes(std::string_view("\0", 1)));
  EXPECT_EQ(Read(), "dflt");
  Put(kRegSz, {});
  EXPECT_EQ(Read(), "dflt");
  Put(kRegDword, {7});  // one byte: no conversion at all
  EXPECT_EQ(Read(), "dflt");
  EXPECT_TRUE(boxes_.shown.empty()) << "an empty value is not a failure";
}

TEST_F(SettingsRegTest, DwordsFormatWithAtLeastThreeDigits) {
  Put(kRegDword, {1, 0, 0, 0});
  EXPECT_EQ(Read(), "001");
  Put(kRegDword, {0, 0, 0, 0});
  EXPECT_EQ(Read(), "000");
  Put(kRegDword, {0xD2, 0x04, 0, 0});
  EXPECT_EQ(Read(), "1234");
  Put(kRegDword, {0xFF, 0xFF, 0xFF, 0x00});
  EXPECT_EQ(Read(), "16777215");
}

TEST_F(SettingsRegTest, DwordsAbove2To24RoundInSinglePrecision) {
  Put(kRegDword, {1, 0, 0, 1});  // 16777217 has no float: nearest is 16777216
  EXPECT_EQ(Read(), "16777216");
  Put(kRegDword, {3, 0, 0, 1});  // 16777219, halfway: ties to the even 16777220
  EXPECT_EQ(Read(), "16777220");
  Put(kRegDword, {0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Read(), "4294967296");
}

TEST_F(SettingsRegTest, ShortDwordsCountMissingBytesAsZero) {
  Put(kRegDword, {5, 1});
  EXPECT_EQ(Read(), "261");
}

TEST_F(SettingsRegTest, BinaryReadsAsSixteenBitCharacters) {
  Put(kRegBinary, Bytes(std::string_view("A\0B\0", 4)));
  EXPECT_EQ(Read(), "AB");
  // An odd last byte has no partner and is dropped.
  Put(kRegBinary, Bytes(std::string_view("A\0B", 3)));
  EXPECT_EQ(Read(), "A");
  // NULs become blanks; only the outer ones are trimmed.
  Put(kRegBinary, Bytes(std::string_view("\0\0A\0\0\0B\0\0\0", 10)));
  EXPECT_EQ(Read(), "A B");
  // The password switch as Windows 9x may store it: one character U+0001.
  Put(kRegBinary, {1, 0, 0, 0});
  EXPECT_EQ(Read(), "\x01");
  // Characters go through the ANSI code page: the euro sign is 0x80 there,
  // a character it lacks becomes "?".
  Put(kRegBinary, {0xAC, 0x20, 0x00, 0x01, 0xE9, 0x00});
  EXPECT_EQ(Read(), "\x80?\xE9");
}

TEST_F(SettingsRegTest, AllBlankBinaryGivesTheDefault) {
  Put(kRegBinary, {0, 0, 0x20, 0, 0, 0});
  EXPECT_EQ(Read(), "dflt");
}

TEST_F(SettingsRegTest, ValueFillingTheBufferExactlyIsRead) {
  std::vector<std::uint8_t> data(kRegSettingBufferSize, 'x');
  data.back() = 0;
  Put(kRegSz, data);
  EXPECT_EQ(Read(), std::string(kRegSettingBufferSize - 1, 'x'));
}

TEST_F(SettingsRegTest, ValueLargerThanTheBufferIsAReadFailure) {
  Put(kRegSz, std::vector<std::uint8_t>(kRegSettingBufferSize + 1, 'x'));
  EXPECT_EQ(Read("Value", "dflt", Quiet::Yes), "dflt");
  EXPECT_TRUE(boxes_.shown.empty());

  EXPECT_EQ(Read("Value", "dflt", Quiet::No), "dflt");
  ASSERT_EQ(boxes_.shown.size(), 1U);
  EXPECT_EQ(boxes_.shown[0].text,
            "An error occurred (234) attempting to read a setting from the Windows Registry.");
  EXPECT_EQ(boxes_.shown[0].style, 0x11030U);
  EXPECT_EQ(boxes_.shown[0].title, "") << "the default caption is asked for with an empty title";
  EXPECT_EQ(registry_.OpenHandleCount(), 0U);
}

TEST_F(SettingsRegTest, MissingValueOrKeyGivesTheDefaultAndErrorTwo) {
  EXPECT_EQ(Read("Absent", "0", Quiet::Yes), "0");
  EXPECT_TRUE(boxes_.shown.empty()) << "quiet reads show nothing";

  EXPECT_EQ(store_.ReadRegSetting(kHkeyCurrentUser, "No\\Such\\Key", "X", "d", Quiet::No), "d");
  Put(kRegSz, Bytes(std::string_view("1\0", 2)));
  EXPECT_EQ(Read("Absent", "d", Quiet::No), "d");
  ASSERT_EQ(boxes_.shown.size(), 2U);
  EXPECT_EQ(boxes_.shown[0].text, kReadFailure2);
  EXPECT_EQ(boxes_.shown[1].text, kReadFailure2);
  EXPECT_EQ(boxes_.shown[1].style, kMbExclamationAlert);
}

TEST_F(SettingsRegTest, KeyWithoutWriteAccessCountsAsUnreadable) {
  Put(kRegSz, Bytes(std::string_view("1\0", 2)));
  registry_.SetHiveAccess(kHkeyCurrentUser, HiveAccess::ReadOnly);
  EXPECT_EQ(Read("Value", "dflt", Quiet::No), "dflt");
  ASSERT_EQ(boxes_.shown.size(), 1U);
  EXPECT_EQ(boxes_.shown[0].text,
            "An error occurred (5) attempting to read a setting from the Windows Registry.");
}

TEST_F(SettingsRegTest, SaveWritesTextWithItsNul) {
  EXPECT_TRUE(
      store_.SaveRegSetting(kHkeyLocalMachine, "Software\\New\\Key", "Name", "abc", Quiet::No));
  const auto value = registry_.GetValue(kHkeyLocalMachine, "Software\\New\\Key", "Name");
  ASSERT_TRUE(value.has_value()) << "the key is created with the value";
  EXPECT_EQ(value->type, kRegSz);
  EXPECT_THAT(value->data, ElementsAre('a', 'b', 'c', 0)) << "three letters are four bytes";
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(registry_.OpenHandleCount(), 0U);

  // And it reads back, replacing nothing else.
  EXPECT_EQ(store_.ReadRegSetting(kHkeyLocalMachine, "software\\new\\KEY", "name", "", Quiet::No),
            "abc");
}

TEST_F(SettingsRegTest, SaveFailureReportsUnlessQuiet) {
  registry_.SetHiveAccess(kHkeyLocalMachine, HiveAccess::Denied);
  EXPECT_FALSE(store_.SaveRegSetting(kHkeyLocalMachine, "Software\\X", "N", "v", Quiet::Yes));
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(store_.SaveRegSetting(kHkeyLocalMachine, "Software\\X", "N", "v", Quiet::No));
  ASSERT_EQ(boxes_.shown.size(), 1U);
  EXPECT_EQ(boxes_.shown[0].text,
            "An error occurred (5) attempting to save a setting to the Windows Registry.");
  EXPECT_EQ(boxes_.shown[0].style, 0x11030U);
  EXPECT_EQ(boxes_.shown[0].title, "");
  EXPECT_FALSE(registry_.HasKey(kHkeyLocalMachine, "Software\\X"));
}

// The exact advapi32 protocol: full access for reading too, a 512-byte
// buffer, and the key closed after the query or the set.
class MockRegistry : public RegistryApi {
 public:
  MOCK_METHOD(std::int32_t, OpenKey, (RegHive, std::string_view, std::uint32_t, RegKeyHandle&),
              (override));
  MOCK_METHOD(std::int32_t, CreateKey, (RegHive, std::string_view, std::uint32_t, RegKeyHandle&),
              (override));
  MOCK_METHOD(RegQueryResult, QueryValue, (RegKeyHandle, std::string_view, std::uint32_t),
              (override));
  MOCK_METHOD(std::int32_t, SetValue,
              (RegKeyHandle, std::string_view, std::uint32_t, std::span<const std::uint8_t>),
              (override));
  MOCK_METHOD(std::int32_t, CloseKey, (RegKeyHandle), (override));
};

TEST(SettingsRegProtocol, ReadOpensWithFullAccessAndClosesTheKey) {
  ::testing::StrictMock<MockRegistry> registry;
  RecordingBoxes boxes;
  SettingsReg store(registry, boxes);
  InSequence order;
  EXPECT_CALL(registry, OpenKey(kHkeyCurrentUser, kDesktop, 0xF003FU, _))
      .WillOnce(DoAll(SetArgReferee<3>(42U), Return(0)));
  RegQueryResult answer{0, kRegSz, 2, {'7', 0}};
  EXPECT_CALL(registry, QueryValue(42U, std::string_view("ScreenSaveUsePassword"), 512U))
      .WillOnce(Return(answer));
  EXPECT_CALL(registry, CloseKey(42U)).WillOnce(Return(0));
  EXPECT_EQ(
      store.ReadRegSetting(kHkeyCurrentUser, kDesktop, "ScreenSaveUsePassword", "0", Quiet::Yes),
      "7");
}

TEST(SettingsRegProtocol, FailedSetStillClosesAndReportsTheSetsCode) {
  ::testing::StrictMock<MockRegistry> registry;
  RecordingBoxes boxes;
  SettingsReg store(registry, boxes);
  InSequence order;
  EXPECT_CALL(registry, CreateKey(kHkeyLocalMachine, std::string_view("K"), 0xF003FU, _))
      .WillOnce(DoAll(SetArgReferee<3>(9U), Return(0)));
  EXPECT_CALL(registry, SetValue(9U, std::string_view("N"), kRegSz, _)).WillOnce(Return(1021));
  EXPECT_CALL(registry, CloseKey(9U)).WillOnce(Return(0));
  EXPECT_FALSE(store.SaveRegSetting(kHkeyLocalMachine, "K", "N", "v", Quiet::No));
  ASSERT_EQ(boxes.shown.size(), 1U);
  EXPECT_EQ(boxes.shown[0].text,
            "An error occurred (1021) attempting to save a setting to the Windows Registry.");
}

TEST(SettingsRegProtocol, FailedOpenDoesNotQueryOrClose) {
  ::testing::StrictMock<MockRegistry> registry;
  RecordingBoxes boxes;
  SettingsReg store(registry, boxes);
  EXPECT_CALL(registry, OpenKey(_, _, _, _)).WillOnce(Return(5));
  EXPECT_EQ(store.ReadRegSetting(kHkeyCurrentUser, "K", "N", "d", Quiet::Yes), "d");
}

}  // namespace
}  // namespace vistel
