#include "imaging/imaging_control.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/conversions.hpp"
#include "imaging/bitmap_ops.hpp"
#include "imaging/resample.hpp"

namespace vistel {

namespace {

// A single pixel size or coordinate as a 32-bit integer, nearest with ties
// to even, as a method taking a Long receives it.
Result<std::int32_t> ToPixels(float value) {
  return RoundToLong(static_cast<double>(value));
}

Status CheckBitmapSize(std::int32_t width, std::int32_t height) {
  if (width < 1 || height < 1) {
    return Fail(ErrorCode::InvalidProcedureCall, "Bitmap size below 1 pixel");
  }
  if (!IsAllowedBitmapSize(width, height)) {
    return Fail(ErrorCode::OutOfMemory);
  }
  return {};
}

bool IsSupportedDepth(std::int32_t bits) {
  return bits == 0 || bits == 24 || bits == 32;
}

// Restores a flag on every way out, events that throw included.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

ImagingControl::ImagingControl(ImagingServices services) : services_(std::move(services)) {}

Status ImagingControl::SetWidth(float twips) {
  if (!(twips >= 0.0F) || !std::isfinite(twips)) {
    return Fail(ErrorCode::InvalidProcedureCall, "Width below 0");
  }
  width_ = twips;
  return {};
}

Status ImagingControl::SetHeight(float twips) {
  if (!(twips >= 0.0F) || !std::isfinite(twips)) {
    return Fail(ErrorCode::InvalidProcedureCall, "Height below 0");
  }
  height_ = twips;
  return {};
}

void ImagingControl::NewPicture() {
  pending_.reset();
  pictureSize_ = {static_cast<float>(bitmap_.Width()), static_cast<float>(bitmap_.Height())};
}

Status ImagingControl::Realise(IntSize atLeast, FloatSize* extent) const {
  if (extent != nullptr) {
    *extent = {static_cast<float>(bitmap_.Width()), static_cast<float>(bitmap_.Height())};
  }
  if (!pending_) return {};
  const std::unique_ptr<OpenedPicture> picture = std::move(pending_);
  auto pixels = picture->Decode(atLeast);
  if (!pixels || pixels->image.IsEmpty()) {
    pictureSize_ = previousPictureSize_;
    if (!pixels) return Fail(std::move(pixels.error()));
    return Fail(ErrorCode::InvalidProcedureCall, "Empty picture");
  }
  bitmap_ = std::move(pixels->image);
  if (extent != nullptr) *extent = pixels->extent;
  return {};
}

Status ImagingControl::RealiseWhole() const {
  if (!pending_) return {};
  return Realise(pending_->Size());
}

BitmapHandle ImagingControl::Bitmap() const {
  (void)RealiseWhole();  // a picture that fails leaves the previous bitmap
  return bitmap_.IsEmpty() ? nullptr : &bitmap_;
}

const Image& ImagingControl::BitmapImage() const {
  (void)RealiseWhole();
  return bitmap_;
}

float ImagingControl::BitmapWidth() const {
  return pending_ ? pictureSize_.width : static_cast<float>(bitmap_.Width());
}

float ImagingControl::BitmapHeight() const {
  return pending_ ? pictureSize_.height : static_cast<float>(bitmap_.Height());
}

void ImagingControl::SetBitmap(BitmapHandle handle) {
  if (handle == &bitmap_ && !pending_) return;
  bitmap_ = handle != nullptr ? *handle : Image();
  NewPicture();
}

void ImagingControl::SetBitmapImage(Image image) {
  bitmap_ = std::move(image);
  NewPicture();
}

Status ImagingControl::SetSizeMode(std::int32_t mode) {
  if (mode < 0 || mode > kLastSizeMode) {
    return Fail(ErrorCode::InvalidProcedureCall, "Size mode outside 0..4");
  }
  sizeMode_ = static_cast<SizeMode>(mode);
  return {};
}

Status ImagingControl::SetZoomFactor(float percent) {
  if (!(percent > 0.0F) || !std::isfinite(percent)) {
    return Fail(ErrorCode::InvalidProcedureCall, "Zoom factor not above 0");
  }
  zoomFactor_ = percent;
  return {};
}

FloatRect ImagingControl::DisplayRect() const {
  DisplayInputs in;
  in.sizeMode = sizeMode_;
  in.zoomPercent = zoomFactor_;
  in.origin = {static_cast<float>(displayLeft_), static_cast<float>(displayTop_)};
  in.control = {TwipsToPixelsX(width_, services_.twipsPerPixel),
                TwipsToPixelsY(height_, services_.twipsPerPixel)};
  in.picture = HasPicture() ? pictureSize_ : FloatSize{};
  return ComputeDisplayRect(in);
}

Status ImagingControl::LoadImageFile(std::string_view path, std::int32_t bits, std::int32_t page,
                                     std::int32_t pages) {
  if (!IsSupportedDepth(bits) || page != 0 || pages < 1) {
    return Fail(ErrorCode::InvalidProcedureCall, "Unsupported depth or page");
  }
  if (services_.decoder == nullptr) {
    return Fail(ErrorCode::InvalidProcedureCall, "No picture decoder");
  }
  auto picture = services_.decoder->OpenPicture(path, PixelFromColorRef(backColor_));
  if (!picture) return Fail(std::move(picture.error()));
  const IntSize size = (*picture)->Size();
  if (size.IsEmpty()) return Fail(ErrorCode::InvalidProcedureCall, "Empty picture");
  // A picture loaded and never used is decoded now, so that the bitmap a
  // failure of the new one leaves behind is the one the show last loaded.
  (void)RealiseWhole();
  previousPictureSize_ = pictureSize_;
  pending_ = std::move(*picture);
  pictureSize_ = {static_cast<float>(size.width), static_cast<float>(size.height)};
  return {};
}

Status ImagingControl::CreateBitmap(float width, float height, std::int32_t bits) {
  if (!IsSupportedDepth(bits)) return Fail(ErrorCode::InvalidProcedureCall, "Unsupported depth");
  auto w = ToPixels(width);
  if (!w) return Fail(w.error());
  auto h = ToPixels(height);
  if (!h) return Fail(h.error());
  if (auto ok = CheckBitmapSize(*w, *h); !ok) return ok;
  SetBitmapImage(Image(*w, *h));
  return {};
}

Status ImagingControl::ResizeBitmap(float width, float height, std::int32_t mode) {
  if (mode < 0 || mode > 2) return Fail(ErrorCode::InvalidProcedureCall, "Unknown resize mode");
  auto w = ToPixels(width);
  if (!w) return Fail(w.error());
  auto h = ToPixels(height);
  if (!h) return Fail(h.error());
  if (auto ok = CheckBitmapSize(*w, *h); !ok) return ok;
  if (mode != 0 && pending_) {
    // Smooth resampling from a reduced-scale decode stays close to
    // resampling the whole picture, and is done row by row as the decoder
    // delivers them: neither the decode nor a copy of it is ever whole.
    const std::unique_ptr<OpenedPicture> picture = std::move(pending_);
    auto resized = DecodeResampled(*picture, *w, *h, ResampleFilter::Smooth);
    if (!resized) {
      pictureSize_ = previousPictureSize_;
      return Fail(std::move(resized.error()));
    }
    bitmap_ = std::move(*resized);  // the picture's own size stays
    return {};
  }
  // The nearest neighbour of a reduced scale would pick other pixels.
  FloatSize extent;
  if (auto ok = Realise(pending_ ? pending_->Size() : IntSize{}, &extent); !ok) return ok;
  auto resized = ResampleImage(bitmap_, extent, *w, *h,
                               mode == 0 ? ResampleFilter::Nearest : ResampleFilter::Smooth);
  if (!resized) return Fail(std::move(resized.error()));
  bitmap_ = std::move(*resized);  // the picture's own size stays
  return {};
}

Status ImagingControl::Fill(ColorRef color) {
  (void)RealiseWhole();
  if (bitmap_.IsEmpty()) return Fail(ErrorCode::InvalidProcedureCall, "No bitmap to fill");
  FillImage(bitmap_, PixelFromColorRef(color));
  return {};
}

Status ImagingControl::CombineBitmap(float left, float top, float width, float height,
                                     BitmapHandle source, float sourceLeft, float sourceTop,
                                     std::int32_t mode) {
  if (source == nullptr) return Fail(ErrorCode::InvalidProcedureCall, "No source bitmap");
  (void)RealiseWhole();
  const float values[] = {left, top, width, height, sourceLeft, sourceTop};
  std::int32_t v[6];
  for (int i = 0; i < 6; ++i) {
    auto r = ToPixels(values[i]);
    if (!r) return Fail(r.error());
    v[i] = *r;
  }
  return CombineImages(bitmap_, IntRect{v[0], v[1], v[2], v[3]}, *source, IntPoint{v[4], v[5]},
                       mode);
}

Result<BitmapDC> ImagingControl::GetBitmapDC() {
  (void)RealiseWhole();
  if (bitmap_.IsEmpty()) return Fail(ErrorCode::InvalidProcedureCall, "No bitmap");
  ++dcCount_;
  return BitmapDC{&bitmap_};
}

Status ImagingControl::ReleaseBitmapDC() {
  if (dcCount_ == 0) return Fail(ErrorCode::InvalidProcedureCall, "No device context taken");
  --dcCount_;
  return {};
}

Status ImagingControl::SetEffectSetting(int number, std::int32_t value) {
  if (number < 1 || number > static_cast<int>(effectSettings_.size())) {
    return Fail(ErrorCode::SubscriptOutOfRange);
  }
  effectSettings_[static_cast<std::size_t>(number - 1)] = value;
  return {};
}

void ImagingControl::Present(const Image& frame) {
  services_.surface->PresentSurface(frame);
}

Status ImagingControl::Repaint() {
  if (painting_) return Fail(ErrorCode::InvalidProcedureCall, "Repaint during a paint effect");
  (void)RealiseWhole();
  if (!repaintEnabled_ || services_.surface == nullptr || bitmap_.IsEmpty()) return {};

  const bool animated = paintEffect_ != kPlainRepaintEffect && showActive_ &&
                        services_.clock != nullptr && services_.effects;
  if (!animated) {
    shown_ = bitmap_;
    Present(shown_);
    return {};
  }
  // The effect works on copies: an event handler may change the bitmap
  // while the animation runs.
  const Image to = bitmap_;
  Image from;
  std::unique_ptr<EffectAnimation> animation;
  {
    // The old picture on a canvas of the new size, the back colour around it.
    from = Image(to.Width(), to.Height(), PixelFromColorRef(backColor_));
    if (!shown_.IsEmpty()) {
      (void)StretchBlt(from, 0, 0, shown_.Width(), shown_.Height(), shown_, 0, 0, shown_.Width(),
                       shown_.Height(), kSrcCopy);
    }
    animation = services_.effects(paintEffect_, effectSettings_, from, to);
  }
  if (!animation) {
    shown_ = to;
    Present(shown_);
    return {};
  }
  // The frames are drawn where the surface output looks: the shown picture.
  if (shown_.Extent() != to.Extent()) shown_ = Image(to.Width(), to.Height());
  return RunEffect(*animation);
}

Status ImagingControl::RunEffect(EffectAnimation& animation) {
  Image& frame = shown_;
  const FlagGuard guard(painting_);
  abortRequested_ = false;
  const Milliseconds duration = std::max<Milliseconds>(0, animation.Duration());
  const Milliseconds start = services_.clock->NowMs();
  for (;;) {
    const Milliseconds t = std::max<Milliseconds>(0, services_.clock->NowMs() - start);
    const Milliseconds at = std::min(t, duration);
    animation.RenderFrame(at, frame);
    Present(frame);
    const int percent = duration > 0 ? static_cast<int>(at * 100 / duration) : 100;
    if (events_.surfaceProgress) events_.surfaceProgress(percent);
    if (events_.surfaceProgress2) {
      events_.surfaceProgress2(static_cast<int>(std::min<Milliseconds>(at, INT32_MAX)),
                               static_cast<int>(std::min<Milliseconds>(duration, INT32_MAX)));
    }
    if (t >= duration || !showActive_ || abortRequested_) break;
    services_.surface->AwaitNextFrame();
  }
  abortRequested_ = false;
  return {};
}

void ImagingControl::DeliverKeyPress(int characterCode) {
  if (events_.keyPress) events_.keyPress(characterCode);
}

void ImagingControl::DeliverKeyDown(int keyCode, int shift) {
  if (events_.keyDown) events_.keyDown(keyCode, shift);
}

void ImagingControl::DeliverMouseMove(int button, int shift, float xTwips, float yTwips) {
  if (events_.mouseMove) events_.mouseMove(button, shift, xTwips, yTwips);
}

void ImagingControl::DeliverMouseUp(int button, int shift, float xTwips, float yTwips) {
  if (events_.mouseUp) events_.mouseUp(button, shift, xTwips, yTwips);
}

}  // namespace vistel
