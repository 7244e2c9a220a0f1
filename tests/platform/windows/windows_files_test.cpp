// The Windows file system and folders behind the core: UTF-8 paths through
// the wide calls, and the same write rules as on Linux.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/native_files.hpp"
#include "platform/program.hpp"
#include "platform/system_folders.hpp"
#include "runtime/files.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class WindowsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder named in three scripts: the ANSI calls would make it "???".
    folder_ = fs::temp_directory_path() /
              (L"vistel-files-\u00e9\u4e2d\u0436-" + std::to_wstring(std::random_device{}()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string Utf8(const std::string& name) const { return Utf8Of(folder_ / PathOf(name)); }
  static std::string Read(const std::string& utf8) {
    std::ifstream in(PathOf(utf8), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder_;
  std::unique_ptr<FileSystem> files_ = MakeNativeFileSystem();
};

Status WriteText(OutputFile& file, std::string_view text) {
  return file.Write(std::as_bytes(std::span(text)));
}

TEST_F(WindowsFiles, NamesInAnyScriptAreWrittenReadAndReplacedWhole) {
  const std::string path = Utf8("\xD0\xB6\xE4\xB8\xAD-trace.txt");  // Cyrillic and Han letters
  for (const auto& [mode, text, expected] : {std::tuple{WriteMode::Truncate, "first", "first"},
                                             std::tuple{WriteMode::Append, "+more", "first+more"},
                                             std::tuple{WriteMode::Truncate, "new", "new"}}) {
    auto file = files_->OpenWrite(path, mode);
    ASSERT_TRUE(file) << file.error().description;
    ASSERT_TRUE(WriteText(**file, text));
    ASSERT_TRUE((*file)->Close());
    EXPECT_EQ(Read(path), expected);
  }
  EXPECT_TRUE(files_->Exists(path));
  auto in = files_->OpenRead(path);
  ASSERT_TRUE(in);
  EXPECT_EQ((*in)->Size(), 3U);
  in->reset();  // Windows renames no file that is open

  // A long name of two-byte letters: the fresh name beside it is cut at a
  // letter, or the wide call would refuse it.
  std::string longName;
  for (int i = 0; i < 120; ++i) longName += "\xC3\xA9";
  const std::string target = Utf8(longName);
  ASSERT_TRUE(WriteWholeFile(*files_, target, [](OutputFile& f) { return WriteText(f, "whole"); }));
  ASSERT_TRUE(
      WriteWholeFile(*files_, path, [](OutputFile& f) { return WriteText(f, "replaced"); }));
  EXPECT_EQ(Read(path), "replaced");
  EXPECT_EQ(Read(target), "whole");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2)
      << "no fresh file may be left behind";
  EXPECT_TRUE(files_->Remove(path));
  EXPECT_FALSE(files_->Exists(path));
}

TEST_F(WindowsFiles, WhatCannotBeAFileIsRefusedWithTheRuntimesErrors) {
  const std::string invalidUtf8 = Utf8("x") + "\xFF";
  EXPECT_EQ(files_->OpenRead(invalidUtf8).error().code, ErrorCode::BadFileNameOrNumber);
  EXPECT_EQ(files_->OpenWrite(invalidUtf8, WriteMode::Truncate).error().code,
            ErrorCode::BadFileNameOrNumber);
  EXPECT_FALSE(files_->Exists(invalidUtf8));
  const std::string folder = Utf8("");
  EXPECT_EQ(files_->OpenRead(folder).error().code, ErrorCode::PathFileAccessError);
  EXPECT_EQ(files_->OpenWrite(folder, WriteMode::Append).error().code,
            ErrorCode::PathFileAccessError);
  EXPECT_EQ(files_->OpenRead(Utf8("missing")).error().code, ErrorCode::FileNotFound);
  EXPECT_EQ(files_->OpenRead(Utf8("no-folder\\missing")).error().code, ErrorCode::PathNotFound);
  EXPECT_EQ(files_->Remove(Utf8("missing")).error().code, ErrorCode::FileNotFound);
}

TEST(WindowsFolders, FollowTheSystemsSlashRulesAndTheOverrides) {
  auto system = MakeSystemFolders({});
  const std::string temp = system->TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(fs::is_directory(PathOf(temp)));
  const std::string systemFolder = system->SystemDirectory();
  ASSERT_FALSE(systemFolder.empty());
  EXPECT_NE(systemFolder.back(), '\\');

  const fs::path given = fs::temp_directory_path() / "vistel-folders-override";
  auto overridden = MakeSystemFolders({given.string(), given.string() + "\\system\\"});
  EXPECT_EQ(overridden->TempPath(), given.string() + "\\");
  EXPECT_EQ(overridden->SystemDirectory(), given.string() + "\\system");
  EXPECT_TRUE(fs::is_directory(given / "system"));
  fs::remove_all(given);
}

TEST(WindowsProgram, KnowsItsOwnFileAndItsArgumentsAsUtf8) {
  const std::string self = OwnProgramPath("fallback");
  EXPECT_TRUE(self.ends_with(".exe")) << self;
  EXPECT_TRUE(fs::exists(PathOf(self)));
  char name[] = "ignored";
  char* argv[] = {name};
  const auto arguments = ProgramArguments(1, argv);
  ASSERT_FALSE(arguments.empty());
  EXPECT_NE(arguments.front().find("vistel_platform_tests"), std::string::npos);
}

}  // namespace
}  // namespace vistel
