// Message boxes. Styles are the Win32 MB_* bit sets the original passes
// (0x30 exclamation, 0x11030 exclamation + system-modal + set-foreground).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistel {

constexpr std::uint32_t kMbOk = 0x0;
constexpr std::uint32_t kMbIconExclamation = 0x30;
constexpr std::uint32_t kMbSystemModal = 0x1000;
constexpr std::uint32_t kMbSetForeground = 0x10000;
constexpr std::uint32_t kMbExclamationAlert = kMbIconExclamation | kMbSystemModal | kMbSetForeground;

constexpr int kIdOk = 1;

// The caption every message box takes unless a routine gives another.
inline constexpr std::string_view kApplicationTitle = "Vistel Screen Saver";

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box and returns the button chosen (kIdOk for an OK-only box).
  // An empty title means the application title.
  virtual int Show(std::string_view text, std::uint32_t style, std::string_view title) = 0;
};

}  // namespace vistel
