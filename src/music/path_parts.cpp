#include "music/path_parts.hpp"

namespace vistel {
namespace {

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string PathParts::ParsePathParts(std::string_view path, std::string_view PartSelector,
                                      PathSlash AddSlash, ExtDot ExtWithDot, PathKind IsFolder) {
  PathFull = std::string(path);
  PathDrive.clear();
  PathFolder.clear();
  PathLastFolder.clear();
  PathFileName.clear();
  PathBaseName.clear();
  PathExtension.clear();

  // Quotes at either end, any number of them, with blanks trimmed in between.
  std::string_view trimmed = path;
  while (true) {
    trimmed = TrimSpaces(trimmed);
    if (trimmed.empty()) return {};
    if (trimmed.front() == '"') {
      trimmed.remove_prefix(1);
    } else if (trimmed.back() == '"') {
      trimmed.remove_suffix(1);
    } else {
      break;
    }
  }
  std::string s(trimmed);

  if ((s.back() == ':' || IsFolder == PathKind::Folder) && s.back() != '\\') s += '\\';

  // Positions below are 0-based; npos stands for "none".
  const std::size_t colon = s.find(':');
  if (colon != std::string::npos) {
    PathDrive = s.substr(0, colon + 1);
    if (AddSlash == PathSlash::With) PathDrive += '\\';
  }

  const std::size_t last = s.rfind('\\');
  if (last == std::string::npos) {
    PathFileName = colon == std::string::npos ? s : s.substr(colon + 1);
  } else {
    PathFolder = s.substr(0, AddSlash == PathSlash::With ? last + 1 : last);
    // A root folder keeps its "\" either way.
    if (!PathFolder.empty() && PathFolder.back() == ':') PathFolder += '\\';
    const std::size_t before = last == 0 ? std::string::npos : s.rfind('\\', last - 1);
    if (before != std::string::npos) PathLastFolder = s.substr(before + 1, last - before - 1);
    PathFileName = s.substr(last + 1);
  }

  const std::size_t dot = PathFileName.rfind('.');
  if (dot == std::string::npos) {
    PathBaseName = PathFileName;
  } else {
    PathBaseName = PathFileName.substr(0, dot);
    PathExtension = PathFileName.substr(ExtWithDot == ExtDot::With ? dot : dot + 1);
    if (PathExtension == ".") PathExtension.clear();
  }

  if (PartSelector.size() == 1) {
    switch (Lower(PartSelector.front())) {
      case 'd':
        return PathDrive;
      case 'l':
        return PathLastFolder;
      case 'f':
        return PathFileName;
      case 'b':
        return PathBaseName;
      case 'e':
        return PathExtension;
      default:
        break;
    }
  }
  return PathFolder;
}

}  // namespace vistel
