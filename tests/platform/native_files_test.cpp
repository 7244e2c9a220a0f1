// The native file system: positioned reads, 64-bit offsets, write modes and
// the error numbers of failed operations.
#include "platform/native_files.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>

#include "runtime/files.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

std::span<const std::byte> AsBytes(std::string_view text) {
  return std::as_bytes(std::span(text.data(), text.size()));
}

class NativeFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vistel-native-files-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const char* name) const { return (folder_ / name).string(); }

  void Write(const char* name, std::string_view text, WriteMode mode = WriteMode::Truncate) {
    auto out = files_->OpenWrite(Path(name), mode);
    ASSERT_TRUE(out.has_value()) << (out ? "" : out.error().description);
    ASSERT_TRUE((*out)->Write(AsBytes(text)).has_value());
    ASSERT_TRUE((*out)->Close().has_value());
  }

  std::string ReadAt(InputFile& file, std::uint64_t offset, std::size_t count) {
    std::string buffer(count, '\0');
    auto got = file.ReadAt(offset, std::as_writable_bytes(std::span(buffer)));
    EXPECT_TRUE(got.has_value());
    buffer.resize(got ? *got : 0);
    return buffer;
  }

  fs::path folder_;
  std::unique_ptr<FileSystem> files_ = MakeNativeFileSystem();
};

TEST_F(NativeFilesTest, ReadsAtAnyOffsetInAnyOrder) {
  Write("f", "0123456789");
  auto file = files_->OpenRead(Path("f"));
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ((*file)->Size(), 10U);
  EXPECT_EQ(ReadAt(**file, 0, 3), "012");
  EXPECT_EQ(ReadAt(**file, 3, 3), "345") << "a sequential read";
  EXPECT_EQ(ReadAt(**file, 1, 2), "12") << "a read back towards the start";
  EXPECT_EQ(ReadAt(**file, 8, 5), "89") << "short at the end";
  EXPECT_EQ(ReadAt(**file, 10, 5), "") << "nothing past the end";
  EXPECT_EQ(ReadAt(**file, 1000, 5), "");
  EXPECT_EQ(ReadAt(**file, 7, 1), "7");
}

TEST_F(NativeFilesTest, OffsetsBeyondFourGigabytesWork) {
  // A sparse file: only its last bytes take space on disk.
  const std::uint64_t size = (std::uint64_t{5} << 30);
  { std::ofstream(Path("big"), std::ios::binary); }
  std::error_code ec;
  fs::resize_file(Path("big"), size, ec);
  if (ec) GTEST_SKIP() << "this file system cannot hold a 5 GiB sparse file: " << ec.message();
  Write("big", "END", WriteMode::Append);

  auto file = files_->OpenRead(Path("big"));
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ((*file)->Size(), size + 3);
  EXPECT_EQ(ReadAt(**file, size, 3), "END");
  EXPECT_EQ(ReadAt(**file, (std::uint64_t{9} << 29), 2), std::string(2, '\0'));
  EXPECT_EQ(ReadAt(**file, size + 1, 10), "ND");
}

TEST_F(NativeFilesTest, TruncateReplacesAndAppendExtends) {
  Write("f", "a long first text");
  Write("f", "short");
  Write("f", "+more", WriteMode::Append);
  auto file = files_->OpenRead(Path("f"));
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(ReadAt(**file, 0, 100), "short+more");
}

TEST_F(NativeFilesTest, ExistsRemoveRenameAndFolders) {
  EXPECT_FALSE(files_->Exists(Path("f")));
  EXPECT_FALSE(files_->Exists(""));
  Write("f", "one");
  Write("g", "two");
  EXPECT_TRUE(files_->Exists(Path("f")));

  ASSERT_TRUE(files_->Rename(Path("g"), Path("f")).has_value()) << "rename replaces the target";
  auto file = files_->OpenRead(Path("f"));
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(ReadAt(**file, 0, 10), "two");
  EXPECT_FALSE(files_->Exists(Path("g")));

  ASSERT_TRUE(files_->Remove(Path("f")).has_value());
  EXPECT_FALSE(files_->Exists(Path("f")));
  const Status again = files_->Remove(Path("f"));
  ASSERT_FALSE(again.has_value());
  EXPECT_EQ(again.error().code, ErrorCode::FileNotFound);

  const std::string nested = (folder_ / "a" / "b" / "c").string();
  ASSERT_TRUE(files_->CreateDirectories(nested).has_value());
  EXPECT_TRUE(fs::is_directory(nested));
  EXPECT_TRUE(files_->CreateDirectories(nested).has_value()) << "an existing folder is fine";
}

TEST_F(NativeFilesTest, FailedOpensNameTheirReason) {
  const auto missing = files_->OpenRead(Path("missing"));
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().code, ErrorCode::FileNotFound);

  const auto folder = files_->OpenRead(folder_.string());
  ASSERT_FALSE(folder.has_value()) << "a folder is no file to read";
  EXPECT_EQ(folder.error().code, ErrorCode::PathFileAccessError);

  const auto noParent = files_->OpenWrite(Path("none/f"), WriteMode::Truncate);
  ASSERT_FALSE(noParent.has_value());
  EXPECT_EQ(noParent.error().code, ErrorCode::PathNotFound);

  const auto empty = files_->OpenRead("");
  ASSERT_FALSE(empty.has_value());
  EXPECT_EQ(empty.error().code, ErrorCode::BadFileNameOrNumber);
}

// A link planted at the name of a file that is opened for writing (the
// uninstall list, a playlist, vistel-pack's manifest): the open is refused,
// says why, and the file the link points at is neither created nor changed.
struct LinkedWrite {
  WriteMode mode;
  bool live;  // the link's target exists
};

class WriteThroughLinkTest : public NativeFilesTest,
                             public ::testing::WithParamInterface<LinkedWrite> {};

TEST_P(WriteThroughLinkTest, IsRefusedAndTheTargetStaysAsItWas) {
  fs::create_directories(folder_ / "elsewhere");
  const fs::path victim = folder_ / "elsewhere" / "victim";
  if (GetParam().live) std::ofstream(victim, std::ios::binary) << "precious";
  fs::create_symlink(victim, Path("list"));

  const auto out = files_->OpenWrite(Path("list"), GetParam().mode);
  ASSERT_FALSE(out.has_value()) << "expected the open through a link to be refused";
  EXPECT_NE(out.error().description.find("link"), std::string::npos) << out.error().description;
  if (GetParam().live) {
    auto file = files_->OpenRead(victim.string());
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(ReadAt(**file, 0, 100), "precious");
  } else {
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim))) << "created at the link's target";
  }
  EXPECT_TRUE(fs::is_symlink(Path("list"))) << "a refused open leaves the link as it was";
}

INSTANTIATE_TEST_SUITE_P(Planted, WriteThroughLinkTest,
                         ::testing::Values(LinkedWrite{WriteMode::Truncate, false},
                                           LinkedWrite{WriteMode::Truncate, true},
                                           LinkedWrite{WriteMode::Append, false},
                                           LinkedWrite{WriteMode::Append, true}),
                         [](const auto& c) {
                           return std::string(c.param.mode == WriteMode::Append ? "Append"
                                                                                : "Truncate") +
                                  (c.param.live ? "Live" : "Dangling");
                         });

TEST_F(NativeFilesTest, AFifoAtTheNameIsRefusedWithoutWaitingForAReader) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  const auto out = files_->OpenWrite(Path("fifo"), WriteMode::Truncate);
  ASSERT_FALSE(out.has_value());
}

}  // namespace
}  // namespace vistel
