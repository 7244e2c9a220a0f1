// An SDL window that the show and about windows put their composed
// pictures on: through an accelerated renderer and one streaming texture
// where the display renders in hardware, otherwise straight into the
// window's own surface (an XShm image), which takes one copy of the
// picture where SDL's software renderer takes three.
//
// A canvas owns either a window it created, or an SDL window made from a
// foreign X window (SDL_CreateWindowFrom: the X window stays its owner's).
// Foreign windows are drawn in software: an accelerated renderer would make
// SDL re-create the window with an OpenGL visual, which it cannot do for a
// window that is not its own. Own windows take vsync when the driver has it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/error.hpp"
#include "base/image.hpp"
#include "runtime/password.hpp"

namespace vistel {

class Canvas {
 public:
  struct Placement {
    IntRect rect;
    bool topmost = false;
    bool borderless = true;
    bool visible = true;
    // Waits for the display's refresh at each present. Only one window of a
    // show may: with several, each present would wait out a refresh.
    bool vsync = true;
  };

  static Result<std::unique_ptr<Canvas>> CreateOwn(const std::string& titleUtf8,
                                                   const Placement& placement);
  static Result<std::unique_ptr<Canvas>> CreateFromForeign(WindowHandle xWindow);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Uploads the picture and shows it, stretched over the window when the
  // sizes differ (only between a resize and the next composition).
  void Present(const Image& picture);
  // Uploads the picture and shows it scaled (smoothly) into `area` of the
  // window, black around it.
  void Present(const Image& picture, const IntRect& area);
  // Shows the window black.
  void Clear();
  // Shows the last picture again (after an expose).
  void Refresh();

  std::uint32_t WindowId() const { return SDL_GetWindowID(window_); }
  WindowHandle XWindow() const;
  SDL_Window* Window() const { return window_; }

 private:
  Canvas(SDL_Window* window, SDL_Renderer* renderer) : window_(window), renderer_(renderer) {}
  static Result<std::unique_ptr<Canvas>> WithRenderer(SDL_Window* window, std::uint32_t flags);
  static Result<std::unique_ptr<Canvas>> OnSurface(SDL_Window* window);

  bool Upload(const Image& picture);
  void Show(const Image& picture, const std::optional<IntRect>& area);
  void DrawOnSurface(const Image& picture, const std::optional<IntRect>& area);

  SDL_Window* window_;
  SDL_Renderer* renderer_;  // none: the window's surface

  SDL_Texture* texture_ = nullptr;
  IntSize textureSize_;
  std::optional<IntRect> area_;  // where the picture goes; the whole window when absent
};

}  // namespace vistel
