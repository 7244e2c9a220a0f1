// Splits a Windows path (from the authoring machine, so always "\"-separated)
// into drive, folder, innermost folder, file name, base name and extension.
// Every call overwrites all parts and returns the one the selector names; the
// audio playlist reads the extension of each track's source name this way.
#pragma once

#include <string>
#include <string_view>

namespace vistel {

// Whether the drive and the folder get a trailing "\".
enum class PathSlash { Without, With };
// Whether the extension keeps its leading ".".
enum class ExtDot { Without, With };
// Whether the whole path names a folder ("\" is appended before splitting).
enum class PathKind { File, Folder };

class PathParts {
 public:
  // PartSelector, without regard to case: "d" drive, "l" innermost folder,
  // "f" file name, "b" base name, "e" extension; anything else (also "") the
  // folder. Surrounding blanks and double quotes are removed first (any number,
  // at either end); an empty remainder leaves every part but PathFull empty.
  std::string ParsePathParts(std::string_view path, std::string_view PartSelector,
                             PathSlash AddSlash, ExtDot ExtWithDot, PathKind IsFolder);

  std::string PathFull;        // the path exactly as passed in
  std::string PathDrive;       // up to and including the first ":"
  std::string PathFolder;      // up to the last "\"; a bare drive keeps its "\"
  std::string PathLastFolder;  // between the last two "\"
  std::string PathFileName;    // after the last "\" (or the drive's ":")
  std::string PathBaseName;    // the file name without its extension
  std::string PathExtension;   // from the file name's last "."
};

}  // namespace vistel
