#include "media/mpeg1/video_decoder.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "media/mpeg1/video_bits.hpp"
#include "media/mpeg1/video_slice.hpp"
#include "media/mpeg1/video_tables.hpp"
#include "media/probe/mpeg1_picture_rate.hpp"

namespace vistel {

using namespace mpeg1video;

namespace {

constexpr std::uint8_t kPictureStartCode = 0x00;
constexpr std::uint8_t kLastSliceCode = 0xAF;
constexpr std::uint8_t kSequenceHeaderCode = 0xB3;
constexpr std::uint8_t kExtensionCode = 0xB5;
constexpr std::uint8_t kSequenceEndCode = 0xB7;
constexpr std::uint8_t kGroupCode = 0xB8;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The largest unit (the bytes from one start code to the next) the decoder
// buffers: a slice may cover a whole picture, and a macroblock takes at most
// about 1.3 KB without stuffing. A longer unit is dropped as damaged.
std::size_t MaxUnitBytes(int macroblocks) {
  const std::size_t bytes =
      (std::size_t{1} << 20) + std::size_t{4096} * static_cast<std::size_t>(macroblocks);
  return std::min(bytes, limits::kMaxMediaAllocationBytes);
}

Error VideoError(const std::string& text) {
  return Error(ErrorCode::InvalidProcedureCall, "MPEG-1 video: " + text);
}

struct SequenceHeader {
  Mpeg1VideoDecoder::Sequence info;
  std::array<std::uint8_t, 64> intraMatrix{};
  std::array<std::uint8_t, 64> nonIntraMatrix{};
};

}  // namespace

class Mpeg1VideoDecoder::Impl {
 public:
  explicit Impl(Options options) : options_(options) {}

  void Push(std::span<const std::uint8_t> bytes) {
    if (finished_) return;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  }

  void Finish() { finished_ = true; }

  Result<std::optional<Picture>> Next() {
    while (true) {
      if (output_) return TakeOutput();
      Unit unit;
      if (!FindUnit(unit)) {
        if (!finished_) return std::optional<Picture>();
        // The stream's end: the last picture, then the last reference.
        if (FinishPicture() || FlushReference()) return TakeOutput();
        return std::optional<Picture>();
      }
      const bool kept = Handle(unit) == Step::Kept;
      if (!kept) ConsumeUnit();
      if (error_) {
        Error error = std::move(*error_);
        error_.reset();
        return Fail(std::move(error));
      }
    }
  }

  void Reset() {
    const Options options = options_;
    *this = Impl(options);
  }

  std::optional<Sequence> CurrentSequence() const {
    if (!sequence_) return std::nullopt;
    return sequence_->info;
  }
  std::int64_t DamagedUnits() const { return damaged_; }

 private:
  // ---- Units: the bytes from one start code to the next ------------------

  struct Unit {
    std::uint8_t code = 0;
    const std::uint8_t* data = nullptr;  // after the start code
    std::size_t size = 0;
  };

  // The first start code at or after `from` whose code byte is buffered.
  std::size_t FindStartCode(std::size_t from) const {
    const std::uint8_t* b = buffer_.data();
    std::size_t i = from;
    while (i + 3 < buffer_.size()) {
      if (b[i + 2] > 1) {
        i += 3;
      } else if (b[i + 2] == 1 && b[i + 1] == 0 && b[i] == 0) {
        return i;
      } else {
        i += b[i + 2] == 0 ? 1 : 3;
      }
    }
    return kNone;
  }

  bool FindUnit(Unit& unit) {
    if (unitStart_ == kNone) {
      unitStart_ = FindStartCode(scan_);
      if (unitStart_ == kNone) {
        // No start code yet: what came before one is of no use.
        const std::size_t keep = std::min<std::size_t>(buffer_.size(), 3);
        buffer_.erase(buffer_.begin(), buffer_.end() - static_cast<std::ptrdiff_t>(keep));
        scan_ = 0;
        return false;
      }
      scan_ = unitStart_ + 4;
    }
    std::size_t end = FindStartCode(scan_);
    if (end == kNone) {
      scan_ = std::max(scan_, buffer_.size() >= 3 ? buffer_.size() - 3 : 0);
      if (buffer_.size() - unitStart_ > MaxUnitBytes(macroblocks_)) {
        DropUnit();
        return false;
      }
      if (!finished_ || buffer_.size() < unitStart_ + 4) return false;
      end = buffer_.size();
    }
    unit.code = buffer_[unitStart_ + 3];
    unit.data = buffer_.data() + unitStart_ + 4;
    unit.size = end - unitStart_ - 4;
    unitEnd_ = end;
    return true;
  }

  void ConsumeUnit() {
    previousCode_ = buffer_[unitStart_ + 3];
    if (unitEnd_ >= buffer_.size()) {
      buffer_.clear();
      unitStart_ = kNone;
      scan_ = 0;
      return;
    }
    unitStart_ = unitEnd_;
    scan_ = unitStart_ + 4;
    // Drop the consumed bytes now and then rather than after every unit.
    if (unitStart_ >= (std::size_t{1} << 16) && unitStart_ >= buffer_.size() / 2) {
      buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(unitStart_));
      scan_ -= unitStart_;
      unitStart_ = 0;
    }
  }

  // A unit longer than any valid one: its bytes go, up to the next start code.
  void DropUnit() {
    ++damaged_;
    const std::size_t keep = 3;
    buffer_.erase(buffer_.begin(), buffer_.end() - static_cast<std::ptrdiff_t>(keep));
    unitStart_ = kNone;
    scan_ = 0;
  }

  // ---- Handling units ------------------------------------------------------

  // Kept: the unit must be handled again, after the picture given out now.
  enum class Step { Consumed, Kept };

  Step Handle(const Unit& unit) {
    const std::uint8_t code = unit.code;
    if (code >= 0x01 && code <= kLastSliceCode) return HandleSlice(unit);
    switch (code) {
      case kSequenceHeaderCode:
        if (FinishPicture()) return Step::Kept;
        return HandleSequenceHeader(unit);
      case kExtensionCode:
        // A sequence extension right after the sequence header makes the
        // stream MPEG-2, whose pictures this decoder would misread.
        if (previousCode_ == kSequenceHeaderCode && sequence_ && unit.size > 0 &&
            (unit.data[0] >> 4) == 1) {
          if (FinishPicture() || FlushReference()) return Step::Kept;
          RefuseSequence(VideoError("the stream is MPEG-2 video, which is not supported"));
        }
        return Step::Consumed;
      case kGroupCode:
        if (FinishPicture()) return Step::Kept;
        HandleGroup(unit);
        return Step::Consumed;
      case kPictureStartCode:
        if (FinishPicture()) return Step::Kept;
        HandlePictureHeader(unit);
        return Step::Consumed;
      case kSequenceEndCode:
        if (FinishPicture()) return Step::Kept;
        FlushReference();
        return Step::Consumed;
      default:  // user data, sequence errors, reserved codes
        return Step::Consumed;
    }
  }

  Result<SequenceHeader> ParseSequenceHeader(const Unit& unit) const {
    BitReader bits(unit.data, unit.size);
    SequenceHeader header;
    Sequence& info = header.info;
    info.width = static_cast<int>(bits.Read(12));
    info.height = static_cast<int>(bits.Read(12));
    info.aspectRatioCode = static_cast<int>(bits.Read(4));
    const auto rate = bits.Read(4);
    if (const auto pictureRate = Mpeg1PictureRateOf(rate)) {
      info.rateNumerator = pictureRate->numerator;
      info.rateDenominator = pictureRate->denominator;
    }
    const auto bitRate = bits.Read(18);
    info.bitRate = bitRate == 0x3FFFF ? 0 : std::int64_t{400} * bitRate;
    const bool marker = bits.ReadBit();
    bits.Skip(10 + 1);  // vbv_buffer_size, constrained_parameters_flag
    header.intraMatrix = kDefaultIntraMatrix;
    header.nonIntraMatrix.fill(16);
    for (auto* matrix : {&header.intraMatrix, &header.nonIntraMatrix}) {
      if (!bits.ReadBit()) continue;
      for (std::size_t i = 0; i < 64; ++i) {
        const auto v = static_cast<std::uint8_t>(bits.Read(8));
        if (v == 0) return Fail(VideoError("a quantiser matrix of the sequence header has a 0"));
        (*matrix)[kZigzag[i]] = v;
      }
      // The DC term of intra blocks is always scaled by 8 whatever the
      // matrix says; keep the entry consistent with that.
      if (matrix == &header.intraMatrix) (*matrix)[0] = 8;
    }
    if (bits.Overrun()) return Fail(VideoError("the sequence header is cut short"));
    if (!marker || info.width == 0 || info.height == 0 || info.aspectRatioCode == 0) {
      return Fail(VideoError("the sequence header is damaged"));
    }
    return header;
  }

  Step HandleSequenceHeader(const Unit& unit) {
    auto parsed = ParseSequenceHeader(unit);
    if (!parsed) {
      // A damaged repeat of the header leaves the sequence as it was.
      ++damaged_;
      error_ = parsed.error();
      return Step::Consumed;
    }
    const Sequence& info = parsed->info;
    if (std::int64_t{info.width} * info.height > options_.maxPixels ||
        info.width > options_.maxSide || info.height > options_.maxSide) {
      if (FlushReference()) return Step::Kept;
      RefuseSequence(VideoError("the pictures are " + std::to_string(info.width) + "x" +
                                std::to_string(info.height) + ", over the limit of " +
                                std::to_string(options_.maxPixels) + " pixels"));
      return Step::Consumed;
    }
    if (!sequence_ || sequence_->info.width != info.width ||
        sequence_->info.height != info.height) {
      // The pictures held are of the old size: the last one goes out first.
      if (FlushReference()) return Step::Kept;
      mbWidth_ = (info.width + 15) / 16;
      mbHeight_ = (info.height + 15) / 16;
      macroblocks_ = mbWidth_ * mbHeight_;
      for (Held& held : frames_) held.frame.Allocate(mbWidth_, mbHeight_);
      grey_.reset();
      decoded_.assign(static_cast<std::size_t>(macroblocks_), 0);
      older_ = newer_ = -1;
    }
    sequence_ = std::move(*parsed);
    return Step::Consumed;
  }

  // Drops the sequence and its pictures until the next valid sequence header.
  void RefuseSequence(Error error) {
    sequence_.reset();
    older_ = newer_ = -1;
    state_ = State::Idle;
    mbWidth_ = mbHeight_ = macroblocks_ = 0;
    for (Held& held : frames_) held.frame = Frame();
    grey_.reset();
    decoded_.clear();
    error_ = std::move(error);
  }

  void HandleGroup(const Unit& unit) {
    BitReader bits(unit.data, unit.size);
    bits.Skip(25);  // time_code
    closedGroup_ = bits.ReadBit();
    bits.Skip(1);  // broken_link: decoded anyway, as FFmpeg does
  }

  void HandlePictureHeader(const Unit& unit) {
    state_ = State::Idle;
    if (!sequence_) return;
    BitReader bits(unit.data, unit.size);
    PictureHeader header;
    header.temporalReference = static_cast<int>(bits.Read(10));
    header.type = static_cast<int>(bits.Read(3));
    bits.Skip(16);  // vbv_delay
    if (header.type == kPictureP || header.type == kPictureB) {
      header.fullPelForward = bits.ReadBit();
      header.forwardFCode = static_cast<int>(bits.Read(3));
    }
    if (header.type == kPictureB) {
      header.fullPelBackward = bits.ReadBit();
      header.backwardFCode = static_cast<int>(bits.Read(3));
    }
    if (header.type < kPictureI || header.type > kPictureD || header.forwardFCode == 0 ||
        header.backwardFCode == 0 || bits.Overrun()) {
      ++damaged_;
      state_ = State::Skipping;
      return;
    }
    picture_ = header;
    state_ = State::HeaderRead;
  }

  Step HandleSlice(const Unit& unit) {
    if (state_ == State::HeaderRead) {
      if (StartPicture() == Step::Kept) return Step::Kept;
    }
    if (state_ != State::Decoding) return Step::Consumed;
    SliceContext context;
    context.picture = &picture_;
    context.intraMatrix = &sequence_->intraMatrix;
    context.nonIntraMatrix = &sequence_->nonIntraMatrix;
    context.current = &frames_[static_cast<std::size_t>(current_)].frame;
    context.forward = forward_;
    context.backward = backward_;
    context.mbWidth = mbWidth_;
    context.mbHeight = mbHeight_;
    context.decoded = decoded_.data();
    if (!DecodeSlice(context, unit.code - 1, unit.data, unit.size)) ++damaged_;
    return Step::Consumed;
  }

  const Frame* Grey() {
    if (!grey_) {
      grey_ = std::make_unique<Frame>();
      grey_->Allocate(mbWidth_, mbHeight_);
      grey_->Fill(128);
    }
    return grey_.get();
  }

  const Frame* FrameOf(int index) const {
    return index < 0 ? nullptr : &frames_[static_cast<std::size_t>(index)].frame;
  }

  // At the picture's first slice: which pictures it predicts from, and
  // which buffer it goes to.
  Step StartPicture() {
    const bool bidirectional = picture_.type == kPictureB;
    if (bidirectional) {
      // As FFmpeg (5.1) does: B pictures without the earlier reference, those
      // that lead an open group at the stream's start, are dropped; those of
      // a closed group predict from the later one only.
      if (older_ < 0 && !closedGroup_) {
        state_ = State::Skipping;
        return Step::Consumed;
      }
      current_ = FreeFrame(older_, newer_);
      forward_ = older_ >= 0 ? FrameOf(older_) : Grey();
      backward_ = newer_ >= 0 ? FrameOf(newer_) : Grey();
    } else {
      if (newer_ < 0 && picture_.type == kPictureP) {
        // A P picture without a reference (the stream started with it)
        // predicts from mid-grey. FFmpeg (5.1) shows that grey picture
        // before it, and the B pictures that follow predict from it too:
        // the same pictures here, at the same times.
        newer_ = 0;
        Held& grey = frames_[0];
        grey.frame.Fill(128);
        grey.type = kPictureP;
        grey.temporalReference = picture_.temporalReference;
        grey.concealed = macroblocks_;
        newerShown_ = false;
      }
      // A new reference: the previous one is due on screen before it.
      if (FlushReference()) return Step::Kept;
      current_ = FreeFrame(newer_, -1);
      older_ = newer_;
      newer_ = current_;
      newerShown_ = false;
      forward_ = FrameOf(older_);
      backward_ = nullptr;
    }
    Held& held = frames_[static_cast<std::size_t>(current_)];
    held.type = picture_.type;
    held.temporalReference = picture_.temporalReference;
    held.concealed = 0;
    std::fill(decoded_.begin(), decoded_.end(), 0);
    state_ = State::Decoding;
    return Step::Consumed;
  }

  int FreeFrame(int a, int b) const {
    for (int i = 0; i < static_cast<int>(frames_.size()); ++i) {
      if (i != a && i != b) return i;
    }
    return 0;
  }

  // Ends the picture being decoded: macroblocks no slice gave keep the
  // previous picture's content. A B picture goes on screen now (true).
  bool FinishPicture() {
    if (state_ != State::Decoding) {
      state_ = State::Idle;
      return false;
    }
    state_ = State::Idle;
    Held& held = frames_[static_cast<std::size_t>(current_)];
    const Frame* source = forward_ == grey_.get() ? nullptr : forward_;
    for (int i = 0; i < macroblocks_; ++i) {
      if (decoded_[static_cast<std::size_t>(i)] != 0) continue;
      ConcealMacroblock(held.frame, source, i % mbWidth_, i / mbWidth_);
      ++held.concealed;
    }
    if (held.type != kPictureB) return false;
    output_ = View(current_);
    return true;
  }

  // Gives out the later reference picture if it has not been shown.
  bool FlushReference() {
    if (newer_ < 0 || newerShown_) return false;
    newerShown_ = true;
    output_ = View(newer_);
    return true;
  }

  Picture View(int index) const {
    const Held& held = frames_[static_cast<std::size_t>(index)];
    Picture picture;
    picture.planes.width = sequence_->info.width;
    picture.planes.height = sequence_->info.height;
    picture.planes.y = held.frame.y.data();
    picture.planes.cb = held.frame.cb.data();
    picture.planes.cr = held.frame.cr.data();
    picture.planes.yStride = held.frame.width;
    picture.planes.chromaStride = held.frame.width / 2;
    picture.type = static_cast<PictureType>(held.type);
    picture.temporalReference = held.temporalReference;
    picture.concealedMacroblocks = held.concealed;
    return picture;
  }

  Result<std::optional<Picture>> TakeOutput() {
    std::optional<Picture> picture = std::move(output_);
    output_.reset();
    return picture;
  }

  Options options_;

  // Bytes not yet decoded; unitStart_ is the start code of the unit being
  // looked at, scan_ where the search for the next start code goes on.
  std::vector<std::uint8_t> buffer_;
  std::size_t unitStart_ = kNone;
  std::size_t unitEnd_ = 0;
  std::size_t scan_ = 0;
  bool finished_ = false;
  std::uint8_t previousCode_ = 0xFF;

  std::optional<SequenceHeader> sequence_;
  int mbWidth_ = 0;
  int mbHeight_ = 0;
  int macroblocks_ = 0;
  bool closedGroup_ = false;

  struct Held {
    Frame frame;
    int type = kPictureI;
    int temporalReference = 0;
    int concealed = 0;
  };
  // The two reference pictures (older_ and newer_ in display order) and
  // the B picture being decoded rotate through three buffers.
  std::array<Held, 3> frames_;
  std::unique_ptr<Frame> grey_;
  int older_ = -1;
  int newer_ = -1;
  bool newerShown_ = false;

  enum class State { Idle, HeaderRead, Decoding, Skipping };
  State state_ = State::Idle;
  PictureHeader picture_;
  int current_ = 0;
  const Frame* forward_ = nullptr;
  const Frame* backward_ = nullptr;
  std::vector<std::uint8_t> decoded_;

  std::optional<Picture> output_;
  std::optional<Error> error_;
  std::int64_t damaged_ = 0;
};

Mpeg1VideoDecoder::Mpeg1VideoDecoder() : Mpeg1VideoDecoder(Options{}) {}
Mpeg1VideoDecoder::Mpeg1VideoDecoder(Options options) : impl_(std::make_unique<Impl>(options)) {}
Mpeg1VideoDecoder::~Mpeg1VideoDecoder() = default;

void Mpeg1VideoDecoder::Push(std::span<const std::uint8_t> bytes) {
  impl_->Push(bytes);
}
void Mpeg1VideoDecoder::Finish() {
  impl_->Finish();
}
Result<std::optional<Mpeg1VideoDecoder::Picture>> Mpeg1VideoDecoder::NextPicture() {
  return impl_->Next();
}
void Mpeg1VideoDecoder::Reset() {
  impl_->Reset();
}
std::optional<Mpeg1VideoDecoder::Sequence> Mpeg1VideoDecoder::CurrentSequence() const {
  return impl_->CurrentSequence();
}
std::int64_t Mpeg1VideoDecoder::DamagedUnits() const {
  return impl_->DamagedUnits();
}

}  // namespace vistel
