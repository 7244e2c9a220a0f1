#include "media/mpeg1/clip_decoder.hpp"

#include <string>

#include "media/mpeg1/clip_sound.hpp"
#include "media/mpeg1/system_stream.hpp"
#include "media/mpeg1/video_convert.hpp"
#include "media/mpeg1/video_decoder.hpp"
#include "media/probe/clip_probe.hpp"

namespace vistel {
namespace {

// Refused sequences in a row after which the rest of a stream is taken as
// lost: each refusal consumes bytes, but a hostile stream may hold many.
constexpr int kMaxErrorsInARow = 64;

class Mpeg1Clip final : public MediaClip {
 public:
  Mpeg1Clip(ClipTiming timing, std::unique_ptr<InputFile> video, std::unique_ptr<ClipSound> sound)
      : timing_(std::move(timing)), videoFile_(std::move(video)), sound_(std::move(sound)) {
    if (videoFile_) reader_.emplace(*videoFile_, SystemStreamKind::Video);
  }

  IntSize FrameSize() const override { return timing_.frameSize; }
  Milliseconds Duration() const override { return timing_.duration; }
  bool HasVideo() const override { return timing_.hasVideo; }
  bool HasAudio() const override { return sound_ != nullptr; }
  AudioSource* Sound() override { return sound_.get(); }
  AudioFormat SoundFormat() const override {
    return sound_ ? AudioFormat{timing_.soundFormat.sampleRate, 2} : AudioFormat{};
  }
  Status SeekSound(Milliseconds t) override {
    if (!sound_) return Fail(ErrorCode::InvalidProcedureCall, "the clip has no sound");
    return sound_->Seek(t);
  }

  Result<bool> FrameAt(Milliseconds t, Image& frame) override {
    const std::vector<Milliseconds>& times = timing_.pictureMs;
    if (!reader_ || times.empty() || t >= timing_.videoEndMs) return false;
    // The picture on screen, walked as the Linux decoder walks: on from the
    // current one, back to the start when t goes back past it.
    if (!showing_ || (t < times[current_] && times[current_] > times.front())) current_ = 0;
    showing_ = true;
    while (current_ + 1 < times.size() && times[current_ + 1] <= t) ++current_;
    if (auto shown = DecodeUpTo(current_); !shown) return Fail(shown.error());
    frame = picture_;
    return true;
  }

 private:
  // Decodes on to picture `index` in display order and converts it. A
  // stream that holds fewer pictures than its timing says keeps showing the
  // last picture converted.
  Status DecodeUpTo(std::size_t index) {
    if (decoded_ > index + 1) Restart();
    while (decoded_ <= index && !ended_) {
      auto next = decoder_.NextPicture();
      if (!next) {
        if (++errorsInARow_ > kMaxErrorsInARow) ended_ = true;
        continue;
      }
      errorsInARow_ = 0;
      if (*next) {
        ++decoded_;
        if (decoded_ == index + 1 || picture_.Width() == 0) Convert((*next)->planes);
        continue;
      }
      if (finished_) {
        ended_ = true;
        break;
      }
      const auto payload = reader_->NextPayload();
      if (payload.empty()) {
        if (!reader_->ReadError()) return reader_->ReadError();
        decoder_.Finish();
        finished_ = true;
      } else {
        decoder_.Push({reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()});
      }
    }
    if (picture_.Width() == 0) picture_ = Image(timing_.frameSize.width, timing_.frameSize.height);
    return {};
  }

  // A picture of another size than the clip's (a later sequence header
  // that changes it) shows as black: the video's rectangle has the clip's.
  void Convert(const Yuv420View& planes) {
    const IntSize size = timing_.frameSize;
    if (planes.width == size.width && planes.height == size.height) {
      Yuv420ToImage(planes, picture_);
    } else {
      picture_ = Image(size.width, size.height);
    }
  }

  void Restart() {
    reader_->Rewind();
    decoder_.Reset();
    decoded_ = 0;
    finished_ = ended_ = false;
    errorsInARow_ = 0;
  }

  ClipTiming timing_;
  std::unique_ptr<InputFile> videoFile_;
  std::optional<SystemStreamReader> reader_;
  std::unique_ptr<ClipSound> sound_;
  Mpeg1VideoDecoder decoder_;
  Image picture_;
  std::size_t current_ = 0;  // the picture on screen, in display order
  bool showing_ = false;     // ... once FrameAt has been asked
  std::size_t decoded_ = 0;  // pictures decoded so far
  bool finished_ = false;      // the whole stream is in the decoder
  bool ended_ = false;         // and it gives no more pictures
  int errorsInARow_ = 0;
};

}  // namespace

Result<std::unique_ptr<MediaClip>> Mpeg1ClipDecoder::OpenClip(std::string_view path) {
  auto probed = files_.OpenRead(path);
  if (!probed) return Fail(probed.error());
  auto timing = ProbeClip(**probed);
  if (!timing) return Fail(timing.error());
  std::unique_ptr<InputFile> video;
  if (timing->hasVideo) {
    video = std::move(*probed);
  }
  std::unique_ptr<ClipSound> sound;
  if (timing->hasAudio) {
    auto file = files_.OpenRead(path);
    if (!file) return Fail(file.error());
    sound = std::make_unique<ClipSound>(std::move(*file), timing->soundFormat, timing->soundFrames);
  }
  return std::unique_ptr<MediaClip>(
      std::make_unique<Mpeg1Clip>(std::move(*timing), std::move(video), std::move(sound)));
}

}  // namespace vistel
