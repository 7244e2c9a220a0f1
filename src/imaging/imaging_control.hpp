// The imaging control in software: one bitmap with the operations the show
// engine calls on it (decode, resample, fill, combine, blit through a device
// context) and the display of that bitmap on a surface, with paint effects.
//
// Names follow the control's members. Every fallible member returns a
// Status/Result and leaves the control as it was on failure, so callers can
// skip failed statements (resume-next). Sizes in pixels are singles, the
// container properties twips.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "base/image.hpp"
#include "imaging/display_geometry.hpp"
#include "imaging/paint_effect.hpp"
#include "imaging/stretch_blt.hpp"
#include "runtime/events.hpp"
#include "runtime/media.hpp"

namespace vistel {

// What Bitmap gives and takes: the control's picture, or null for none.
// Putting another control's handle copies its picture; the handle is only
// valid until that control's bitmap changes.
using BitmapHandle = const Image*;

using PaintEffectFactory = std::function<std::unique_ptr<EffectAnimation>(
    int code, const EffectSettings& settings, const Image& from, const Image& to)>;

// The services a control works through; any may be absent. A control
// without a surface is an off-screen buffer: Repaint shows nothing.
struct ImagingServices {
  TwipsPerPixel twipsPerPixel;
  PictureDecoder* decoder = nullptr;
  SurfaceOutput* surface = nullptr;
  const Clock* clock = nullptr;
  PaintEffectFactory effects = MakePaintEffect;
};

// The events the control raises; unset handlers are skipped.
struct ImagingEvents {
  std::function<void(int percent)> surfaceProgress;
  std::function<void(int elapsedMs, int durationMs)> surfaceProgress2;
  std::function<void(int characterCode)> keyPress;
  std::function<void(int keyCode, int shift)> keyDown;
  std::function<void(int button, int shift, float xTwips, float yTwips)> mouseMove;
  std::function<void(int button, int shift, float xTwips, float yTwips)> mouseUp;
};

class ImagingControl {
 public:
  explicit ImagingControl(ImagingServices services = {});
  ImagingControl(const ImagingControl&) = delete;
  ImagingControl& operator=(const ImagingControl&) = delete;

  ImagingEvents& Events() { return events_; }
  void SetTwipsPerPixel(TwipsPerPixel t) { services_.twipsPerPixel = t; }

  // ---- Container properties (twips) ----
  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float twips) { left_ = twips; }
  void SetTop(float twips) { top_ = twips; }
  Status SetWidth(float twips);
  Status SetHeight(float twips);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  ColorRef BackColor() const { return backColor_; }
  void SetBackColor(ColorRef color) { backColor_ = color & 0x00FFFFFFU; }

  // ---- Bitmap ----
  // A loaded picture is decoded when its pixels are first needed: by a
  // smooth ResizeBitmap at the scale that size needs (where the decoder can
  // save work by it), by anything else whole. Its size is known from the
  // load, so the display geometry never waits for the pixels.
  BitmapHandle Bitmap() const;
  // A copy of the handle's picture; null or an empty picture discards ours.
  void SetBitmap(BitmapHandle handle);
  // Hands the control a picture directly (snapshots, tests).
  void SetBitmapImage(Image image);
  const Image& BitmapImage() const;
  float BitmapWidth() const;
  float BitmapHeight() const;

  bool AutoAdjust() const { return autoAdjust_; }
  void SetAutoAdjust(bool on) { autoAdjust_ = on; }
  bool DrawOptionFlag() const { return drawOptionFlag_; }
  void SetDrawOptionFlag(bool on) { drawOptionFlag_ = on; }
  ColorRef DrawOptionColor() const { return drawOptionColor_; }
  void SetDrawOptionColor(ColorRef color) { drawOptionColor_ = color; }

  // ---- Display geometry (pixels) ----
  std::int32_t GetSizeMode() const { return static_cast<std::int32_t>(sizeMode_); }
  Status SetSizeMode(std::int32_t mode);  // 0..4, anything else fails
  float ZoomFactor() const { return zoomFactor_; }
  Status SetZoomFactor(float percent);  // finite and above 0
  void SetDisplayLeft(std::int16_t pixels) { displayLeft_ = pixels; }
  void SetDisplayTop(std::int16_t pixels) { displayTop_ = pixels; }
  float DisplayLeft() const { return DisplayRect().left; }
  float DisplayTop() const { return DisplayRect().top; }
  float DisplayWidth() const { return DisplayRect().width; }
  float DisplayHeight() const { return DisplayRect().height; }
  // The whole bitmap is the source.
  float SourceWidth() const { return BitmapWidth(); }
  float SourceHeight() const { return BitmapHeight(); }

  // ---- Bitmap operations ----
  // Decodes a picture file; transparency is composed over BackColor. bits 0
  // (as the file has it), 24 or 32; only the first page of one page. Fails
  // as the decoder's open does; a picture that opens but then fails to
  // decode leaves the previous bitmap, as a failed load does.
  Status LoadImageFile(std::string_view path, std::int32_t bits, std::int32_t page,
                       std::int32_t pages);
  Status CreateBitmap(float width, float height, std::int32_t bits);  // black
  // mode 0: nearest neighbour; 1 or 2: smooth resampling.
  Status ResizeBitmap(float width, float height, std::int32_t mode);
  Status Fill(ColorRef color);
  Status CombineBitmap(float left, float top, float width, float height, BitmapHandle source,
                       float sourceLeft, float sourceTop, std::int32_t mode);
  Result<BitmapDC> GetBitmapDC();
  Status ReleaseBitmapDC();

  // ---- Display ----
  std::int32_t PaintEffect() const { return paintEffect_; }
  void SetPaintEffect(std::int32_t code) { paintEffect_ = code; }
  const EffectSettings& GetEffectSettings() const { return effectSettings_; }
  Status SetEffectSetting(int number, std::int32_t value);  // number 1..14
  bool RepaintEnabled() const { return repaintEnabled_; }
  void SetRepaintEnabled(bool on) { repaintEnabled_ = on; }
  bool ShowActive() const { return showActive_; }
  void SetShowActive(bool on) { showActive_ = on; }
  // Shows the bitmap on the surface with the current PaintEffect. Nothing
  // while RepaintEnabled is False or without a surface. Fails when called
  // again from an event of a running effect.
  Status Repaint();
  // Ends a running effect after its current frame (for a close requested
  // from inside an event).
  void AbortPaint() { abortRequested_ = true; }
  // What the surface shows now (empty before the first repaint).
  const Image& Shown() const { return shown_; }

  // ---- Input from the host ----
  void DeliverKeyPress(int characterCode);
  void DeliverKeyDown(int keyCode, int shift);
  void DeliverMouseMove(int button, int shift, float xTwips, float yTwips);
  void DeliverMouseUp(int button, int shift, float xTwips, float yTwips);

 private:
  FloatRect DisplayRect() const;
  bool HasPicture() const { return pending_ != nullptr || !bitmap_.IsEmpty(); }
  // Decodes a pending picture: at least `atLeast` in both axes where the
  // decoder can make it smaller, else whole. `extent`, where given, receives
  // how much of the bitmap the picture covers (its whole size unless the
  // decode was reduced).
  Status Realise(IntSize atLeast, FloatSize* extent = nullptr) const;
  Status RealiseWhole() const;
  // Reset after the bitmap is replaced by a new picture.
  void NewPicture();
  Status RunEffect(EffectAnimation& animation);
  void Present(const Image& frame);

  ImagingServices services_;
  ImagingEvents events_;

  float left_ = 0.0F, top_ = 0.0F, width_ = 0.0F, height_ = 0.0F;
  bool visible_ = true;
  ColorRef backColor_ = 0;

  // Decoding a pending picture on first use changes these from const
  // accessors: to the caller the pixels were there since the load.
  mutable Image bitmap_;
  mutable std::unique_ptr<OpenedPicture> pending_;
  // The picture's own size: the base of the display geometry. Resampling the
  // bitmap leaves it, so a picture resized to its display size keeps that
  // display size instead of being scaled a second time.
  mutable FloatSize pictureSize_;
  // bitmap_'s own size while a picture is pending, restored if it fails.
  FloatSize previousPictureSize_;
  bool autoAdjust_ = true;
  bool drawOptionFlag_ = false;
  ColorRef drawOptionColor_ = 0;
  SizeMode sizeMode_ = SizeMode::Normal;
  float zoomFactor_ = 100.0F;
  std::int16_t displayLeft_ = 0, displayTop_ = 0;
  int dcCount_ = 0;

  std::int32_t paintEffect_ = kPlainRepaintEffect;
  EffectSettings effectSettings_{};
  bool repaintEnabled_ = true;
  bool showActive_ = true;
  bool painting_ = false;
  bool abortRequested_ = false;
  // What the surface output shows: it keeps a reference to this frame.
  Image shown_;
};

}  // namespace vistel
