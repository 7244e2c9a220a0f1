#include "uninstall/uninstall.hpp"

#include <span>

namespace vistel {

std::string UninstallRegistration::ListFilePath() const {
  return systemFolder_() + std::string(kListFileName);
}

Status UninstallRegistration::RegisterUninstall() {
  const std::string name = process_.ExeBaseName();
  const std::string systemFolder = systemFolder_();

  // One line per registration, duplicates included: the uninstaller reads
  // the list as it is.
  {
    auto file = files_.OpenWrite(ListFilePath(), WriteMode::Append);
    if (!file) return Fail(file.error());
    const std::string line = name + "\r\n";
    if (auto written = (*file)->Write(std::as_bytes(std::span<const char>(line))); !written) {
      return written;
    }
    if (auto closed = (*file)->Close(); !closed) return closed;
  }

  const std::string key = std::string(kUninstallKeyPrefix) + name;
  settings_.SaveRegSetting(kHkeyLocalMachine, key, "DisplayName",
                           "Screen Saver: " + name + " (remove only)", Quiet::Yes);
  settings_.SaveRegSetting(kHkeyLocalMachine, key, "UninstallString",
                           systemFolder + "unvistelss.exe /R:" + name, Quiet::Yes);
  settings_.SaveRegSetting(kHkeyLocalMachine, key, "DisplayIcon", systemFolder + name + ".scr,0",
                           Quiet::Yes);
  settings_.SaveRegSetting(kHkeyLocalMachine, key, "Publisher", "Norvel Products", Quiet::Yes);
  return {};
}

}  // namespace vistel
