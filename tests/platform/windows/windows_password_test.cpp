// The system's Windows 9x password services, with the tests' stand-in
// library loaded in place of password.cpl and mpr.dll: what reaches the
// library, how its answer is read, what happens without the library, and
// the running flag as the system keeps it.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/system_password.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

constexpr UINT kSpiGetScreenSaverRunning = 0x72;

// The stand-in is built beside the test program.
std::string StandInPath() {
  wchar_t own[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
  const fs::path folder = fs::path(std::wstring(own, length)).parent_path();
  return (folder / "vistel_password_standin.dll").string();
}

// Scripts the stand-in through its environment for one test and reads back
// what it was asked.
class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(StandInPath())) << "missing: " << StandInPath();
    log_ = fs::temp_directory_path() /
           ("vistel-standin-" + std::to_string(std::random_device{}()) + ".log");
    ::SetEnvironmentVariableA("VISTEL_STANDIN_LOG", log_.string().c_str());
  }
  void TearDown() override {
    ::SetEnvironmentVariableA("VISTEL_STANDIN_LOG", nullptr);
    ::SetEnvironmentVariableA("VISTEL_STANDIN_REPLIES", nullptr);
    std::error_code ignored;
    fs::remove(log_, ignored);
  }
  static void Replies(const char* list) {
    ::SetEnvironmentVariableA("VISTEL_STANDIN_REPLIES", list);
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static PasswordLibraries StandInLibraries() { return {StandInPath(), StandInPath()}; }

  fs::path log_;
};

TEST_F(StandIn, TheCheckReadsTheLow16BitsOfTheAnswer) {
  struct Case {
    const char* reply;
    bool given;
  };
  // The library's answer is a 16-bit Boolean in a 32-bit register: the
  // upper half is whatever was there.
  const Case cases[] = {{"0", false},          {"1", true},          {"0x10000", false},
                        {"0xFFFF0000", false}, {"0x00010001", true}, {"0xFFFF", true},
                        {"0x8000", true},      {"2", true}};
  std::string list;
  for (const Case& c : cases) list += std::string(list.empty() ? "" : ",") + c.reply;
  Replies(list.c_str());
  auto password = MakeSystemPasswordServices(StandInLibraries());
  ASSERT_NE(password, nullptr);
  std::vector<std::string> expectedCalls;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const WindowHandle parent = 0x10000 + i;
    EXPECT_EQ(password->VerifyScreenSavePwd(parent), cases[i].given) << "reply " << cases[i].reply;
    expectedCalls.push_back("verify " + std::to_string(parent));
  }
  EXPECT_TRUE(password->VerifyScreenSavePwd(0)) << "past its list the stand-in answers 1";
  expectedCalls.push_back("verify 0");
  EXPECT_EQ(Calls(), expectedCalls) << "each check reaches the library with its parent window";
}

TEST_F(StandIn, TheChangeDialogIsAskedForTheScreenSaverProvider) {
  auto password = MakeSystemPasswordServices(StandInLibraries());
  password->PwdChangePassword(4660);
  password->PwdChangePassword(0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"change SCRSAVE 4660 0 0", "change SCRSAVE 0 0 0"}));
}

TEST_F(StandIn, LibrariesAreLoadedAtTheirFirstCallAndFreedWithTheServices) {
  const HMODULE before = ::GetModuleHandleA(StandInPath().c_str());
  ASSERT_EQ(before, nullptr) << "another test left the stand-in loaded";
  {
    auto password = MakeSystemPasswordServices(StandInLibraries());
    password->SetScreenSaverRunning(false);
    EXPECT_EQ(::GetModuleHandleA(StandInPath().c_str()), nullptr)
        << "nothing is loaded before a check or a change is asked: NT has neither library";
    EXPECT_TRUE(password->VerifyScreenSavePwd(1));
    EXPECT_NE(::GetModuleHandleA(StandInPath().c_str()), nullptr);
  }
  EXPECT_EQ(::GetModuleHandleA(StandInPath().c_str()), nullptr) << "freed at the end";
}

// Where the libraries are missing (the NT family), or are not what they
// should be, nothing is asked and nothing fails: every check counts the
// password as given, so the show can close, and the change does nothing.
TEST_F(StandIn, WithoutTheLibrariesTheCheckIsGivenAndTheChangeDoesNothing) {
  const fs::path junk = log_.string() + ".cpl";
  std::ofstream(junk, std::ios::binary) << "MZ\x90 not a library at all";
  struct Case {
    const char* name;
    std::string library;
  };
  const Case cases[] = {
      {"no such library", "vistel-no-such-library.cpl"},
      {"no such folder", "Z:\\vistel\\no\\such\\folder\\password.cpl"},
      {"a library without the functions", "kernel32.dll"},
      {"a file that is no library", junk.string()},
  };
  Replies("0,0,0");  // the stand-in would refuse: it must not be asked
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto password = MakeSystemPasswordServices({c.library, c.library});
    EXPECT_TRUE(password->VerifyScreenSavePwd(7));
    EXPECT_TRUE(password->VerifyScreenSavePwd(7)) << "and again, once the library was missed";
    password->PwdChangePassword(7);
  }
  EXPECT_TRUE(Calls().empty());
  std::error_code ignored;
  fs::remove(junk, ignored);
}

TEST(SystemPassword, TheRunningFlagReachesTheSystem) {
  BOOL before = FALSE;
  if (!::SystemParametersInfoA(kSpiGetScreenSaverRunning, 0, &before, 0)) {
    GTEST_SKIP() << "this system does not tell whether a screen saver runs";
  }
  auto password = MakeSystemPasswordServices();
  ASSERT_NE(password, nullptr);
  for (const bool running : {true, false, true}) {
    password->SetScreenSaverRunning(running);
    BOOL seen = !running;
    ASSERT_TRUE(::SystemParametersInfoA(kSpiGetScreenSaverRunning, 0, &seen, 0));
    EXPECT_EQ(seen != FALSE, running);
  }
  password->SetScreenSaverRunning(before != FALSE);
}

}  // namespace
}  // namespace vistel
