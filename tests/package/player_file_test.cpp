// The player a package starts with must be an executable of a known kind:
// crafted headers of every kind the check tells apart, on real files.
#include "package/player_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/native_files.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

enum class Make { File, Folder, Nothing };

struct PlayerCase {
  const char* label;
  Make make;
  std::string bytes;
  bool accepted;
  PlayerFileKind kind;  // when accepted
  const char* message;  // a part of the refusal
};

// An MS-DOS header of 64 bytes whose e_lfanew (at 0x3C) names `at`, then
// `tail` from byte 64 on.
std::string MzHeader(std::uint32_t at, const std::string& tail) {
  std::string bytes(64, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  for (std::size_t i = 0; i < 4; ++i) bytes[0x3C + i] = static_cast<char>((at >> (8 * i)) & 0xFFU);
  return bytes + tail;
}

std::string Pe() {
  return MzHeader(0x80, std::string(0x40, '\x90') + std::string("PE\0\0", 4));
}

TEST(PlayerFileTest, OnlyElfAndPeExecutablesAreAccepted) {
  const std::vector<PlayerCase> cases = {
      {"ELF", Make::File,
       "\x7F"
       "ELF\x02\x01\x01" +
           std::string(57, '\0'),
       true, PlayerFileKind::Elf, ""},
      {"bare ELF signature", Make::File,
       "\x7F"
       "ELF",
       true, PlayerFileKind::Elf, ""},
      {"PE", Make::File, Pe(), true, PlayerFileKind::Pe, ""},
      {"MZ whose PE offset holds no signature",
       Make::File,
       MzHeader(0x40, std::string(64, 'x')),
       false,
       {},
       "no PE header at byte 64"},
      {"MZ whose PE offset lies past the end",
       Make::File,
       MzHeader(0xFFFFFFF0U, ""),
       false,
       {},
       "no PE header at byte 4294967280"},
      {"MZ cut before the PE signature ends",
       Make::File,
       Pe().substr(0, 0x82),
       false,
       {},
       "no PE header"},
      {"MZ cut before the PE offset",
       Make::File,
       "MZ" + std::string(20, '\0'),
       false,
       {},
       "too short for a PE header"},
      {"ELF signature cut short",
       Make::File,
       "\x7F"
       "EL",
       false,
       {},
       "too short"},
      {"JPEG",
       Make::File,
       "\xFF\xD8\xFF\xE0" + std::string(100, '\0'),
       false,
       {},
       "not an ELF or PE executable (it starts like a JPEG picture)"},
      {"text", Make::File, "#!/bin/sh\necho player\n", false, {}, "(it starts like text)"},
      {"empty", Make::File, "", false, {}, "is empty"},
      {"folder", Make::Folder, "", false, {}, "is a folder"},
      {"missing", Make::Nothing, "", false, {}, "no such player file"},
  };
  const fs::path folder = fs::temp_directory_path() / "vistel-player-file-test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const auto files = MakeNativeFileSystem();
  int n = 0;
  for (const PlayerCase& c : cases) {
    const fs::path path = folder / ("case-" + std::to_string(n++));
    if (c.make == Make::File) std::ofstream(path, std::ios::binary) << c.bytes;
    if (c.make == Make::Folder) fs::create_directory(path);
    const auto got = CheckPlayerFile(*files, path.string());
    if (c.accepted) {
      ASSERT_TRUE(got.has_value())
          << c.label << ": expected accepted, got refused with '" << got.error().description << "'";
      EXPECT_EQ(*got, c.kind) << c.label << ": expected " << PlayerFileKindName(c.kind) << ", got "
                              << PlayerFileKindName(*got);
    } else {
      ASSERT_FALSE(got.has_value())
          << c.label << ": expected refused, got accepted as " << PlayerFileKindName(*got);
      EXPECT_NE(got.error().description.find(c.message), std::string::npos)
          << c.label << ": expected the refusal to say '" << c.message << "', got '"
          << got.error().description << "'";
    }
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace vistel
