#include "system/regedit_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/input_limits.hpp"
#include "platform/native_files.hpp"
#include "system/system_fakes.hpp"
#include "tools/heap_in_use.hpp"
#include "tools/planted_link.hpp"

namespace vistel {
namespace {

using testing::MemoryFiles;

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}
std::vector<std::uint8_t> Sz(std::string_view text) {
  auto bytes = Bytes(text);
  bytes.push_back(0);
  return bytes;
}

// Every key and value as one comparable text.
std::string Dump(const MemoryRegistry& registry) {
  std::ostringstream out;
  for (const RegKeyCopy& key : registry.Keys()) {
    out << HiveName(key.hive) << '\\' << key.path << '\n';
    for (const RegValue& value : key.values) {
      out << "  " << value.name << " type " << value.type << ':';
      for (std::uint8_t b : value.data) out << ' ' << static_cast<int>(b);
      out << '\n';
    }
  }
  return out.str();
}

std::string Format(const MemoryRegistry& registry) {
  auto text = FormatRegedit(registry);
  EXPECT_TRUE(text.has_value()) << (text ? "" : text.error().description);
  return text ? *text : std::string();
}

// Parents without values are left out: the reader creates them from their
// sub-keys' lines.
TEST(RegeditFormat, WritesTheRegedit4LayoutWithCrLf) {
  MemoryRegistry registry;
  registry.PutValue(kHkeyCurrentUser, "Control Panel\\Desktop",
                    {"ScreenSaveUsePassword", kRegDword, {1, 0, 0, 0}});
  registry.PutValue(kHkeyCurrentUser, "Control Panel\\Desktop",
                    {"Wallpaper", kRegSz, Sz("C:\\WINDOWS\\say \"hi\".bmp")});
  registry.PutValue(kHkeyLocalMachine, "Software\\X", {"", kRegSz, Sz("default")});
  registry.PutValue(kHkeyLocalMachine, "Software\\X", {"Bin", kRegBinary, {1, 0xAB}});
  registry.PutValue(kHkeyLocalMachine, "Software\\X", {"Multi", kRegMultiSz, {'a', 0, 0}});
  EXPECT_EQ(Format(registry),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
            "\"ScreenSaveUsePassword\"=dword:00000001\r\n"
            "\"Wallpaper\"=\"C:\\\\WINDOWS\\\\say \\\"hi\\\".bmp\"\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"
            "@=\"default\"\r\n"
            "\"Bin\"=hex:01,ab\r\n"
            "\"Multi\"=hex(7):61,00,00\r\n"
            "\r\n");
}

// A registry holding every kind of value the writer has to choose a form for.
MemoryRegistry EveryKindOfValue() {
  MemoryRegistry registry;
  const std::string key = "Software\\Vistel\\\xC9t\xE9";  // ANSI bytes in a key name
  registry.PutValue(kHkeyCurrentUser, key, {"plain", kRegSz, Sz("text")});
  registry.PutValue(kHkeyCurrentUser, key, {"empty", kRegSz, Sz("")});
  registry.PutValue(kHkeyCurrentUser, key, {"no data", kRegSz, {}});
  registry.PutValue(kHkeyCurrentUser, key, {"escapes \"\\", kRegSz, Sz("a\\\"b\\")});
  registry.PutValue(kHkeyCurrentUser, key, {"two lines", kRegSz, Sz("one\r\ntwo")});
  registry.PutValue(kHkeyCurrentUser, key, {"unterminated", kRegSz, Bytes("abc")});
  registry.PutValue(kHkeyCurrentUser, key, {"inner nul", kRegSz, {'a', 0, 'b', 0}});
  registry.PutValue(kHkeyCurrentUser, key, {"ansi", kRegSz, Sz("caf\xE9 \x80")});
  registry.PutValue(kHkeyCurrentUser, key, {"dword", kRegDword, {0x78, 0x56, 0x34, 0x12}});
  registry.PutValue(kHkeyCurrentUser, key, {"short dword", kRegDword, {1, 2, 3}});
  std::vector<std::uint8_t> big(300);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
  registry.PutValue(kHkeyCurrentUser, key, {"big", kRegBinary, big});
  registry.PutValue(kHkeyCurrentUser, key, {"empty binary", kRegBinary, {}});
  registry.PutValue(kHkeyCurrentUser, key, {"expand", kRegExpandSz, Sz("%TEMP%")});
  registry.PutValue(kHkeyCurrentUser, key, {"qword", 0xB, std::vector<std::uint8_t>(8, 0xFF)});
  registry.PutValue(kHkeyCurrentUser, key, {"", kRegSz, Sz("default")});
  registry.PutKey(kHkeyLocalMachine, "Software\\Empty Key");
  registry.PutValue(kHkeyUsers, "", {"at root", kRegSz, Sz("r")});
  // A hive's own key without values, keys below it: not implied by them.
  registry.PutKey(kHkeyClassesRoot, "");
  registry.PutKey(kHkeyClassesRoot, "Sub\\Deeper");
  return registry;
}

TEST(RegeditFormat, EveryKindOfValueSurvivesARoundTrip) {
  const MemoryRegistry original = EveryKindOfValue();
  const std::string text = Format(original);

  MemoryRegistry loaded;
  auto parsed = ParseRegedit(text, loaded);
  ASSERT_TRUE(parsed.has_value()) << parsed.error().ToText() << "\n" << text;
  EXPECT_EQ(Dump(loaded), Dump(original));
  EXPECT_EQ(Format(loaded), text) << "writing what was read gives the same file";
}

TEST(RegeditFormat, LinesEndInCrLfAndStayWithinEightyColumns) {
  const std::string text = Format(EveryKindOfValue());
  std::size_t start = 0;
  int lines = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    ASSERT_NE(lf, std::string::npos) << "the text ends with a line end";
    ASSERT_GT(lf, start);
    ASSERT_EQ(text[lf - 1], '\r') << "line " << lines + 1 << " ends in a bare LF";
    const std::string line = text.substr(start, lf - 1 - start);
    EXPECT_EQ(line.find('\r'), std::string::npos) << "stray CR in line " << lines + 1;
    if (line.starts_with("\"big\"") || line.starts_with("  ")) {
      EXPECT_LE(line.size(), 80U) << "hex line too long: " << line;
    }
    start = lf + 1;
    ++lines;
  }
  EXPECT_GT(lines, 10);
}

TEST(RegeditRead, TakesLfOnlyCommentsBlankLinesAndContinuations) {
  const std::string text =
      "\xEF\xBB\xBFREGEDIT4\n"
      "; a comment\n"
      "\n"
      "[hkey_current_user\\Control Panel\\Desktop]   \n"
      "  \"ScreenSaveUsePassword\" = dword:1\n"
      "\"Blob\"=hex:01,02,\\\n"
      "    03,04,\\\n"
      "\t05\n"
      "\"Typed\"=hex(2):41,00\n"
      "\n"
      "\t; indented comment ending in a backslash \\\n"
      "@=\"def\"\n";
  MemoryRegistry registry;
  auto parsed = ParseRegedit(text, registry);
  ASSERT_TRUE(parsed.has_value()) << parsed.error().ToText();
  const std::string key = "Control Panel\\Desktop";
  EXPECT_EQ(registry.GetValue(kHkeyCurrentUser, key, "ScreenSaveUsePassword"),
            (RegValue{"ScreenSaveUsePassword", kRegDword, {1, 0, 0, 0}}));
  EXPECT_EQ(registry.GetValue(kHkeyCurrentUser, key, "Blob"),
            (RegValue{"Blob", kRegBinary, {1, 2, 3, 4, 5}}));
  EXPECT_EQ(registry.GetValue(kHkeyCurrentUser, key, "Typed"),
            (RegValue{"Typed", kRegExpandSz, {0x41, 0}}));
  EXPECT_EQ(registry.GetValue(kHkeyCurrentUser, key, ""), (RegValue{"", kRegSz, Sz("def")}));
}

TEST(RegeditRead, LaterEntriesReplaceEarlierOnesAndExistingValues) {
  MemoryRegistry registry;
  registry.PutValue(kHkeyCurrentUser, "K", {"Kept", kRegSz, Sz("old")});
  registry.PutValue(kHkeyCurrentUser, "K", {"Replaced", kRegSz, Sz("old")});
  ASSERT_TRUE(
      ParseRegedit("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"replaced\"=\"a\"\r\n"
                   "\"Replaced\"=\"new\"\r\n",
                   registry));
  EXPECT_EQ(registry.GetValue(kHkeyCurrentUser, "K", "Kept")->data, Sz("old"));
  EXPECT_EQ(registry.GetValue(kHkeyCurrentUser, "K", "Replaced")->data, Sz("new"));
}

struct Malformed {
  std::string body;  // after the header line
  std::size_t line;
  std::string says;
};

TEST(RegeditRead, MalformedFilesNameTheLineAndLoadNothing) {
  const std::string key = "[HKEY_CURRENT_USER\\K]\r\n";
  const std::vector<Malformed> cases = {
      {"\"v\"=\"x\"\r\n", 2, "before any [key]"},
      {"[HKEY_CURRENT_USER\\K\r\n", 2, "closing \"]\""},
      {"[HKEY_CURRENT_USER\\K] junk\r\n", 2, "after the key"},
      {"[HKEY_NOWHERE\\K]\r\n", 2, "unknown root key \"HKEY_NOWHERE\""},
      {"[HKEY_CURRENT_USER\\A\\\\B]\r\n", 2, "empty part"},
      {"[-HKEY_CURRENT_USER\\K]\r\n", 2, "deleting keys"},
      {key + "\"v\"=\"unterminated\r\n", 3, "no closing quote"},
      {key + "\"v\"=\"x\" y\r\n", 3, "after the string"},
      {key + "\"v\r\n", 3, "quoted value name"},
      {key + "\"v\" \"x\"\r\n", 3, "expected \"=\""},
      {key + "v=\"x\"\r\n", 3, "quoted value name"},
      {key + "\r\n; c\r\n\"v\"=dword:xyz\r\n", 5, "dword"},
      {key + "\"v\"=dword:123456789\r\n", 3, "dword"},
      {key + "\"v\"=dword:\r\n", 3, "dword"},
      {key + "\"v\"=hex:01,1g\r\n", 3, "two-digit hex"},
      {key + "\"v\"=hex:01,,02\r\n", 3, "two-digit hex"},
      {key + "\"v\"=hex:100\r\n", 3, "two-digit hex"},
      {key + "\"v\"=hex(zz):01\r\n", 3, "hex(N)"},
      {key + "\"v\"=hex(1:01\r\n", 3, "hex(N)"},
      {key + "\"v\"=hex 01\r\n", 3, "\":\" after hex"},
      {key + "\"v\"=-\r\n", 3, "deleting values"},
      {key + "\"v\"=42\r\n", 3, "expected a quoted string"},
      {key + "\"ok\"=\"1\"\r\n\"v\"=hex:01,\\\r\n  zz\r\n", 4, "two-digit hex"},
      {key + "\\\r\n\r\n", 3, "continues nothing"},
  };
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.body);
    MemoryRegistry registry;
    registry.PutValue(kHkeyCurrentUser, "Before", {"V", kRegSz, Sz("kept")});
    const std::string before = Dump(registry);
    auto parsed = ParseRegedit("REGEDIT4\r\n" + c.body, registry);
    ASSERT_FALSE(parsed.has_value()) << "expected an error, the file was accepted";
    EXPECT_EQ(parsed.error().line, c.line) << parsed.error().ToText();
    EXPECT_NE(parsed.error().message.find(c.says), std::string::npos)
        << "expected the message to say \"" << c.says << "\", got: " << parsed.error().message;
    EXPECT_EQ(Dump(registry), before) << "a malformed file must load nothing";
  }
}

TEST(RegeditRead, HeaderIsRequired) {
  MemoryRegistry registry;
  auto none = ParseRegedit("", registry);
  ASSERT_FALSE(none.has_value());
  EXPECT_EQ(none.error().line, 1U);
  auto other = ParseRegedit("\r\n\r\nWindows Registry Editor Version 5.00\r\n", registry);
  ASSERT_FALSE(other.has_value());
  EXPECT_EQ(other.error().line, 3U);
  EXPECT_NE(other.error().message.find("only REGEDIT4"), std::string::npos);
  EXPECT_FALSE(ParseRegedit("[HKEY_USERS\\X]\r\n", registry).has_value());
}

// Damaged files of every shape must come back as a result, never a crash; the
// sanitizer build checks that no byte outside the text is touched.
TEST(RegeditRead, DamagedFilesNeverCrash) {
  const std::string valid = Format(EveryKindOfValue());
  const std::uint32_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const std::string alphabet = "[]\"\\=@:,;(){}-\r\n \tdwordhex0123456789abcdefHKEY_";
  for (int round = 0; round < 2000; ++round) {
    std::string text = valid.substr(0, random() % (valid.size() + 1));
    const int edits = static_cast<int>(random() % 8);
    for (int i = 0; i < edits && !text.empty(); ++i) {
      text[random() % text.size()] = alphabet[random() % alphabet.size()];
    }
    MemoryRegistry registry;
    auto parsed = ParseRegedit(text, registry);
    if (!parsed) {
      EXPECT_GT(parsed.error().line, 0U);
    }
  }
}

// A key path of `depth` names of `nameChars` characters each.
std::string DeepPath(std::size_t depth, std::size_t nameChars) {
  std::string path;
  for (std::size_t i = 0; i < depth; ++i) {
    if (i > 0) path += '\\';
    path += std::string(nameChars, static_cast<char>('a' + i % 26));
  }
  return path;
}

std::string KeyFile(const std::string& path) {
  return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + path + "]\r\n\"v\"=\"1\"\r\n";
}

// The deepest and longest key Windows allows costs about its text, held and
// written back: no copy of the path per level.
TEST(RegeditLimits, DeepestKeyCostsItsTextNotItsDepthTimesItsText) {
  const std::string text =
      KeyFile(DeepPath(limits::kMaxRegistryKeyDepth, limits::kMaxRegistryNameChars));
  const std::size_t before = testing::HeapInUse();
  MemoryRegistry registry;
  auto parsed = ParseRegedit(text, registry);
  ASSERT_TRUE(parsed.has_value()) << parsed.error().ToText();
  const std::size_t held = testing::HeapInUse() - before;
  EXPECT_LT(held, 8 * text.size())
      << "the registry holds " << held << " bytes for a " << text.size() << "-byte file";

  const std::string written = Format(registry);
  EXPECT_LT(written.size(), 2 * text.size());
  MemoryRegistry again;
  ASSERT_TRUE(ParseRegedit(written, again).has_value()) << "the next start reads it";
  EXPECT_EQ(Dump(again), Dump(registry));
}

TEST(RegeditLimits, PathsBeyondWindowsLimitsAreRefusedWithAShortMessage) {
  const struct {
    std::string path;
    std::string says;
  } cases[] = {
      {DeepPath(limits::kMaxRegistryKeyDepth + 1, 1), "512"},
      {DeepPath(20000, 1), "512"},
      {DeepPath(3, limits::kMaxRegistryNameChars + 1), "255"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    MemoryRegistry registry;
    auto parsed = ParseRegedit(KeyFile(c.path), registry);
    ASSERT_FALSE(parsed.has_value()) << "a path Windows cannot hold was accepted";
    EXPECT_EQ(parsed.error().line, 3U);
    EXPECT_NE(parsed.error().message.find(c.says), std::string::npos) << parsed.error().message;
    EXPECT_LT(parsed.error().message.size(), 200U) << "the message quotes the whole path";
    EXPECT_TRUE(registry.Keys().empty());
  }
}

TEST(RegeditLimits, FileWithMoreEntriesThanTheLimitIsRefused) {
  std::string text = "REGEDIT4\r\n";
  for (std::size_t i = 0; i <= limits::kMaxRegistryEntries; ++i) {
    text += "[HKEY_USERS\\k" + std::to_string(i) + "]\r\n";
  }
  MemoryRegistry registry;
  auto parsed = ParseRegedit(text, registry);
  ASSERT_FALSE(parsed.has_value());
  EXPECT_NE(parsed.error().message.find(std::to_string(limits::kMaxRegistryEntries)),
            std::string::npos)
      << parsed.error().message;
}

// Whatever the player holds at exit, the file it writes is one that the next
// start reads; what could not be read back is not written at all.
TEST(RegeditLimits, WriteBackNeverMakesAFileTheNextStartRefuses) {
  const std::size_t bigValue = limits::kMaxRegistryFileBytes / 3 + 1;  // "xx," per byte
  MemoryRegistry big;
  big.PutValue(kHkeyCurrentUser, "K", {"Blob", kRegBinary, std::vector<std::uint8_t>(bigValue)});
  MemoryRegistry many;
  for (std::size_t i = 0; i <= limits::kMaxRegistryEntries; ++i) {
    many.PutKey(kHkeyUsers, "k" + std::to_string(i));
  }
  for (const MemoryRegistry* registry : {&big, &many}) {
    MemoryFiles files;
    files.files["reg.txt"] = "REGEDIT4\r\n";
    auto saved = SaveRegeditFile(files, "reg.txt", *registry);
    if (!saved) {
      EXPECT_EQ(files.files["reg.txt"], "REGEDIT4\r\n") << "the old file stays";
      continue;
    }
    EXPECT_LE(files.files["reg.txt"].size(), limits::kMaxRegistryFileBytes);
    MemoryRegistry loaded;
    EXPECT_TRUE(LoadRegeditFile(files, "reg.txt", loaded).has_value());
  }
}

TEST(RegeditFile, MissingFileLoadsNothingAndSaveCreatesIt) {
  MemoryFiles files;
  MemoryRegistry registry;
  ASSERT_TRUE(LoadRegeditFile(files, "/home/u/reg.txt", registry));
  EXPECT_TRUE(registry.Keys().empty());

  registry.PutValue(kHkeyCurrentUser, "K", {"V", kRegSz, Sz("1")});
  ASSERT_TRUE(SaveRegeditFile(files, "/home/u/reg.txt", registry));
  ASSERT_TRUE(files.files.contains("/home/u/reg.txt"));
  EXPECT_EQ(files.files.size(), 1U) << "the temporary file is renamed";
  EXPECT_EQ(files.files["/home/u/reg.txt"], Format(registry));

  MemoryRegistry loaded;
  ASSERT_TRUE(LoadRegeditFile(files, "/home/u/reg.txt", loaded));
  EXPECT_EQ(Dump(loaded), Dump(registry));
}

TEST(RegeditFile, FailedSaveLeavesTheOldFileAndNoTemporary) {
  MemoryRegistry registry;
  registry.PutValue(kHkeyCurrentUser, "K", {"V", kRegSz, Sz("new")});
  for (int failure = 0; failure < 3; ++failure) {
    SCOPED_TRACE(failure);
    MemoryFiles files;
    files.files["reg.txt"] = "old content";
    files.failWrites = failure == 0;
    files.failCloses = failure == 1;
    files.failRenames = failure == 2;
    auto saved = SaveRegeditFile(files, "reg.txt", registry);
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error().code, failure == 2 ? ErrorCode::PermissionDenied : ErrorCode::DiskFull);
    EXPECT_EQ(files.files["reg.txt"], "old content");
    EXPECT_EQ(files.files.size(), 1U) << "the temporary file is removed";
  }
}

TEST(RegeditFile, MalformedFileErrorNamesFileAndLine) {
  MemoryFiles files;
  files.files["bad.reg"] = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=dword:zz\n";
  MemoryRegistry registry;
  auto loaded = LoadRegeditFile(files, "bad.reg", registry);
  ASSERT_FALSE(loaded.has_value());
  EXPECT_EQ(loaded.error().description.find("registry file bad.reg, line 4: "), 0U)
      << loaded.error().description;
}

TEST(RegeditFile, RoundTripThroughTheNativeFileSystem) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::path(::testing::TempDir()) / ("vistel-regedit-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  const std::string path = (folder / "registry.reg").string();
  auto files = MakeNativeFileSystem();

  const MemoryRegistry original = EveryKindOfValue();
  ASSERT_TRUE(SaveRegeditFile(*files, path, original));
  ASSERT_TRUE(SaveRegeditFile(*files, path, original)) << "replacing an existing file";
  MemoryRegistry loaded;
  ASSERT_TRUE(LoadRegeditFile(*files, path, loaded));
  EXPECT_EQ(Dump(loaded), Dump(original));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "only the registry file is left";
  fs::remove_all(folder);
}

// Links planted beside the registry file, at the temporary name an earlier
// version used and at the file's own name: the write-back never creates or
// changes the file a link points at; a link at the file's own name is
// replaced by the registry file.
struct PlantedLink {
  const char* at;  // the link's name in the registry file's folder
  bool live;       // its target exists
};

class RegeditWriteBackLinkTest : public ::testing::TestWithParam<PlantedLink> {};

TEST_P(RegeditWriteBackLinkTest, NeverWritesThroughALink) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::path(::testing::TempDir()) / ("vistel-regedit-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder / "elsewhere");
  const fs::path victim = folder / "elsewhere" / "victim";
  if (GetParam().live) std::ofstream(victim, std::ios::binary) << "precious";
  VISTEL_PLANT_LINK_OR_SKIP(victim, folder / GetParam().at);
  const std::string path = (folder / "registry.reg").string();
  auto files = MakeNativeFileSystem();

  const MemoryRegistry registry = EveryKindOfValue();
  ASSERT_TRUE(SaveRegeditFile(*files, path, registry));
  if (GetParam().live) {
    std::ifstream in(victim, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious")
        << "written through the link";
  } else {
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim))) << "created at the link's target";
  }
  EXPECT_FALSE(fs::is_symlink(path));
  {
    std::ifstream saved(path, std::ios::binary);  // closed before the folder goes
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), Format(registry));
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {"elsewhere", "registry.reg", GetParam().at};
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(names, expected) << "no temporary file may be left behind";
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Planted, RegeditWriteBackLinkTest,
    ::testing::Values(PlantedLink{"registry.reg.tmp", false}, PlantedLink{"registry.reg.tmp", true},
                      PlantedLink{"registry.reg", false}, PlantedLink{"registry.reg", true}),
    [](const auto& c) {
      return std::string(c.param.at == std::string_view("registry.reg") ? "AtTheFile"
                                                                        : "AtTheOldTemporaryName") +
             (c.param.live ? "Live" : "Dangling");
    });

}  // namespace
}  // namespace vistel
