#include "hosts/common/player_process.hpp"

namespace vistel {

std::string PlayerProcess::AppFolder() const {
  const auto slash = exePath_.find_last_of(kPathSeparators);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exePath_.substr(0, slash);
}

std::string PlayerProcess::ExeBaseName() const {
  const auto slash = exePath_.find_last_of(kPathSeparators);
  std::string name = slash == std::string::npos ? exePath_ : exePath_.substr(slash + 1);
  // Only the last extension goes ("My.Saver.scr" is "My.Saver"); a leading
  // dot starts a name, not an extension.
  const auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

void PlayerProcess::EndProcess(int exitCode) {
  endedWith_ = exitCode;
  throw ProcessEnded{exitCode};
}

}  // namespace vistel
