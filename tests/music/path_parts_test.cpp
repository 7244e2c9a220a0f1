#include "music/path_parts.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistel {
namespace {

// All parts of one call, in the order drive, folder, innermost folder, file,
// base, extension, for comparing in one assertion.
std::vector<std::string> Parts(const PathParts& p) {
  return {p.PathDrive,    p.PathFolder,   p.PathLastFolder,
          p.PathFileName, p.PathBaseName, p.PathExtension};
}

using V = std::vector<std::string>;

class PathPartsTest : public ::testing::Test {
 protected:
  // The flags the playlist passes unless a case says otherwise.
  V Split(std::string_view path, PathSlash slash = PathSlash::Without, ExtDot dot = ExtDot::With,
          PathKind kind = PathKind::File) {
    parts_.ParsePathParts(path, "", slash, dot, kind);
    EXPECT_EQ(parts_.PathFull, path) << "PathFull keeps the argument as passed";
    return Parts(parts_);
  }
  PathParts parts_;
};

TEST_F(PathPartsTest, FullPathWithEveryFlag) {
  EXPECT_EQ(Split("C:\\Music\\song.mp3"),
            (V{"C:", "C:\\Music", "Music", "song.mp3", "song", ".mp3"}));
  EXPECT_EQ(Split("C:\\Music\\song.mp3", PathSlash::Without, ExtDot::Without)[5], "mp3");
  EXPECT_EQ(Split("C:\\Music\\song.mp3", PathSlash::With),
            (V{"C:\\", "C:\\Music\\", "Music", "song.mp3", "song", ".mp3"}));
}

TEST_F(PathPartsTest, RootFolderKeepsItsBackslash) {
  EXPECT_EQ(Split("C:\\song.mp3"), (V{"C:", "C:\\", "", "song.mp3", "song", ".mp3"}));
  EXPECT_EQ(Split("C:\\song.mp3", PathSlash::With),
            (V{"C:\\", "C:\\", "", "song.mp3", "song", ".mp3"}));
}

TEST_F(PathPartsTest, NamesWithoutFolders) {
  EXPECT_EQ(Split("song.mp3"), (V{"", "", "", "song.mp3", "song", ".mp3"}));
  EXPECT_EQ(Split("song"), (V{"", "", "", "song", "song", ""}));
  EXPECT_EQ(Split("song."), (V{"", "", "", "song.", "song", ""}));
  EXPECT_EQ(Split("song.", PathSlash::Without, ExtDot::Without)[5], "");
  EXPECT_EQ(Split("a.b.c"), (V{"", "", "", "a.b.c", "a.b", ".c"}));
  EXPECT_EQ(Split("a.b.c", PathSlash::Without, ExtDot::Without)[5], "c");
  // A drive-relative name: the file follows the colon.
  EXPECT_EQ(Split("D:track.wav"), (V{"D:", "", "", "track.wav", "track", ".wav"}));
}

TEST_F(PathPartsTest, QuotesAndBlanksAroundThePathAreIgnored) {
  const V bare = Split("C:\\My Music\\a song.mid");
  for (std::string_view quoted : {"\"C:\\My Music\\a song.mid\"", "  \"C:\\My Music\\a song.mid\" ",
                                  "\" \"C:\\My Music\\a song.mid\" \"",
                                  "C:\\My Music\\a song.mid\"", "\"\"C:\\My Music\\a song.mid"}) {
    EXPECT_EQ(Split(quoted), bare) << quoted;
  }
  EXPECT_EQ(bare, (V{"C:", "C:\\My Music", "My Music", "a song.mid", "a song", ".mid"}));
}

TEST_F(PathPartsTest, BareDriveIsItsOwnRootFolder) {
  EXPECT_EQ(Split("C:"), (V{"C:", "C:\\", "", "", "", ""}));
  EXPECT_EQ(Split("C:", PathSlash::With), (V{"C:\\", "C:\\", "", "", "", ""}));
}

TEST_F(PathPartsTest, FolderFlagTreatsTheWholePathAsAFolder) {
  EXPECT_EQ(Split("C:\\Music", PathSlash::Without, ExtDot::With, PathKind::Folder),
            (V{"C:", "C:\\Music", "Music", "", "", ""}));
  EXPECT_EQ(Split("C:\\Music\\", PathSlash::With, ExtDot::With, PathKind::Folder),
            (V{"C:\\", "C:\\Music\\", "Music", "", "", ""}))
      << "no second backslash is added";
  EXPECT_EQ(Split("C:\\Music.old", PathSlash::Without, ExtDot::With, PathKind::Folder)[2],
            "Music.old");
}

TEST_F(PathPartsTest, UncPathHasNoDrive) {
  EXPECT_EQ(Split("\\\\server\\share\\file.txt"),
            (V{"", "\\\\server\\share", "share", "file.txt", "file", ".txt"}));
}

TEST_F(PathPartsTest, EmptyPathsClearEveryPart) {
  Split("C:\\Music\\song.mp3");  // leave parts from an earlier call behind
  for (std::string_view empty : {"", "   ", "\"\"", " \" \" \" "}) {
    EXPECT_EQ(parts_.ParsePathParts(empty, "f", PathSlash::Without, ExtDot::With, PathKind::File),
              "");
    EXPECT_EQ(Parts(parts_), V(6, "")) << "\"" << empty << "\"";
    EXPECT_EQ(parts_.PathFull, empty);
  }
}

TEST_F(PathPartsTest, SelectorPicksThePartWithoutRegardToCase) {
  const std::string path = "C:\\Music\\song.mp3";
  auto pick = [&](std::string_view selector) {
    return parts_.ParsePathParts(path, selector, PathSlash::Without, ExtDot::With, PathKind::File);
  };
  EXPECT_EQ(pick("d"), "C:");
  EXPECT_EQ(pick("D"), "C:");
  EXPECT_EQ(pick("l"), "Music");
  EXPECT_EQ(pick("F"), "song.mp3");
  EXPECT_EQ(pick("b"), "song");
  EXPECT_EQ(pick("E"), ".mp3");
  EXPECT_EQ(pick(""), "C:\\Music");
  EXPECT_EQ(pick("x"), "C:\\Music");
  EXPECT_EQ(pick("ext"), "C:\\Music") << "only the one-letter texts select";
}

TEST_F(PathPartsTest, OnlyBackslashSeparatesFolders) {
  EXPECT_EQ(Split("music/track.ogg"), (V{"", "", "", "music/track.ogg", "music/track", ".ogg"}));
  EXPECT_EQ(Split("\\song.mp3"), (V{"", "", "", "song.mp3", "song", ".mp3"}));
}

}  // namespace
}  // namespace vistel
