// The show window as a host provides it: a top-level window that the core
// places with the Win32 calls the original makes (so the Windows host maps
// them one to one and the other hosts imitate them), a picture that the core
// composes and the host puts on the screen, and the input the host delivers.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "base/geometry.hpp"
#include "base/image.hpp"
#include "runtime/events.hpp"
#include "runtime/password.hpp"

namespace vistel {

// GetWindowLongA / SetWindowLongA indices and the one style bit the preview
// embedding adds.
inline constexpr int kGwlStyle = -16;
inline constexpr int kGwlHwndParent = -8;
inline constexpr std::int64_t kWsChild = 0x40000000;

// SetWindowPos flags.
inline constexpr std::uint32_t kSwpNoSize = 0x1;
inline constexpr std::uint32_t kSwpNoMove = 0x2;
inline constexpr std::uint32_t kSwpNoZOrder = 0x4;
inline constexpr std::uint32_t kSwpNoActivate = 0x10;
inline constexpr std::uint32_t kSwpShowWindow = 0x40;

// SetWindowPos's hWndInsertAfter: none (0) or HWND_TOPMOST (-1).
enum class InsertAfter { None, Topmost };

// What the user does to the show window, as the host reports it. Positions
// are pixels of the window's client area.
class WindowInput {
 public:
  virtual ~WindowInput() = default;
  virtual void MouseMove(float xPx, float yPx) = 0;
  virtual void MouseUp(int button, float xPx, float yPx) = 0;
  // A key press with its character code.
  virtual void KeyPress(int characterCode) = 0;
  // The window's size changed (the host has already updated its rectangle).
  virtual void Resized() = 0;
  // The user or the system asks the window to close (close box, logoff).
  virtual void CloseRequested() = 0;
};

class ShowWindowHost {
 public:
  virtual ~ShowWindowHost() = default;

  virtual WindowHandle Handle() const = 0;
  virtual void SetCaption(std::string_view title) = 0;

  // The Win32 placement calls, with their meanings on this host.
  virtual std::int64_t GetWindowLong(int index) = 0;
  virtual std::int64_t SetWindowLong(int index, std::int64_t value) = 0;
  virtual void SetParent(WindowHandle parent) = 0;
  virtual bool SetWindowPos(InsertAfter insertAfter, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
  // Position (in the parent's client area, or on the screen) and size, pixels.
  virtual IntRect RectPixels() const = 0;
  virtual bool Topmost() const = 0;

  // Who receives the input; set by the core when the window loads.
  virtual void SetInput(WindowInput* input) = 0;
  // The core's composed picture of the window's client area. The host calls
  // it whenever it paints; `Invalidate` says the picture has changed.
  virtual void SetPainter(std::function<const Image&()> painter) = 0;
  virtual void Invalidate() = 0;
  // One frame of an animation has been composed: the host shows it and waits
  // one frame period of its clock (virtual time headless), pumping messages.
  virtual void AwaitNextFrame() = 0;
};

}  // namespace vistel

namespace vistel {

// One label of the about window: its text and its place in twips.
struct AboutLabel {
  std::string_view name;  // "lblTitle", "Label4", ...
  std::string text;       // UTF-8
  int leftTwips = 0, topTwips = 0, widthTwips = 0, heightTwips = 0;
  ColorRef backColor = 0;
  bool opaque = false;  // draws its back colour (the OK label does)
};

// The about window as a host shows it: a modeless window with a caption,
// a client area in twips and labels. `onClick` reports a click on a label by
// its name; `onClose` the window's close box.
class AboutWindowHost {
 public:
  virtual ~AboutWindowHost() = default;
  virtual void ShowAbout(std::string_view caption, IntSize clientTwips,
                         std::span<const AboutLabel> labels,
                         std::function<void(std::string_view label)> onClick,
                         std::function<void()> onClose) = 0;
};

}  // namespace vistel
