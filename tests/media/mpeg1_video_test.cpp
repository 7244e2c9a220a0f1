// The MPEG-1 video decoder of src/media/mpeg1 against FFmpeg's decoder (the
// Linux player's), its picture conversion against swscale, and its handling
// of streams that start mid-way, are damaged or are not for it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/frame_convert.hpp"
#include "media/mpeg1/video_decoder.hpp"
#include "media_test_support.hpp"
#include "mpeg1_video_support.hpp"

namespace vistel {
namespace {

using testing::Motion;
using testing::StreamSettings;
using testing::YuvPicture;

StreamSettings With(int width, int height, int frames, int gop, int bFrames, int quantiser,
                    Motion motion) {
  StreamSettings s;
  s.width = width;
  s.height = height;
  s.frames = frames;
  s.gopSize = gop;
  s.bFrames = bFrames;
  s.quantiser = quantiser;
  s.motion = motion;
  return s;
}

// ---- Parity with FFmpeg's decoder ----------------------------------------

// Our inverse DCT rounds differently from FFmpeg's (both within the IEEE
// 1180 limits), and every predicted picture carries the difference of its
// reference on: intra pictures differ by at most one level, groups of 8 to
// 20 pictures by at most 3 (PSNR over 59 dB, measured on these streams).
// The bounds leave a margin for FFmpeg's DCT variants on other processors.
// A group of 90 P pictures at the finest quantiser drifts further: 10
// levels, 46.5 dB.
struct ParityCase {
  const char* name;
  StreamSettings settings;
  double minPsnr = 52;
  int maxDifference = 4;
};

void PrintTo(const ParityCase& c, std::ostream* os) {
  *os << c.name;
}

StreamSettings Matrices() {
  StreamSettings s = With(176, 144, 20, 12, 2, 3, Motion::Pan);
  s.customMatrices = true;
  return s;
}

StreamSettings Slices(int bytes) {
  StreamSettings s = With(176, 144, 20, 12, 2, 3, Motion::Sprite);
  s.packetSize = bytes;
  return s;
}

// The largest forward f_code of the stream's picture headers.
int MaxForwardFCode(std::span<const std::uint8_t> stream) {
  int most = 0;
  for (const auto& c : testing::StartCodes(stream)) {
    if (c.code != 0 || testing::PictureType(stream, c.offset) < 2) continue;
    // temporal_reference 10, type 3, vbv_delay 16, full_pel 1, then f_code 3.
    const std::uint32_t bits = (std::uint32_t{stream[c.offset + 7]} << 8) | stream[c.offset + 8];
    most = std::max(most, static_cast<int>((bits >> 13) & 7));
  }
  return most;
}

class Mpeg1ParityTest : public ::testing::TestWithParam<ParityCase> {};

TEST_P(Mpeg1ParityTest, DecodesAsFfmpegDoesPictureByPicture) {
  const ParityCase& c = GetParam();
  const std::vector<std::uint8_t> stream = testing::EncodeStream(c.settings);
  if (c.settings.motion == Motion::Fast) {
    EXPECT_GE(MaxForwardFCode(stream), 4) << "the stream has no long vectors";
  }
  const auto theirs = testing::FfmpegPictures(stream);
  const auto ours = testing::OurPictures(stream);
  EXPECT_TRUE(ours.errors.empty()) << ours.errors.front();
  EXPECT_EQ(ours.damaged, 0);
  ASSERT_EQ(theirs.size(), static_cast<std::size_t>(c.settings.frames));
  ASSERT_EQ(ours.pictures.size(), theirs.size());
  for (std::size_t i = 0; i < theirs.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "picture " << i);
    ASSERT_EQ(ours.pictures[i].width, theirs[i].width);
    ASSERT_EQ(ours.pictures[i].height, theirs[i].height);
    EXPECT_EQ(ours.pictures[i].concealed, 0);
    const auto d = testing::Compare(ours.pictures[i], theirs[i]);
    EXPECT_GE(d.psnr, c.minPsnr);
    EXPECT_LE(d.maxAbs, c.maxDifference);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Mpeg1ParityTest,
    ::testing::Values(ParityCase{"IntraOnly", With(176, 144, 6, 1, 0, 4, Motion::Pan), 60, 1},
                      ParityCase{"IP", With(176, 144, 20, 12, 0, 4, Motion::Pan)},
                      ParityCase{"IPB", With(176, 144, 30, 12, 3, 4, Motion::Pan)},
                      ParityCase{"Cif", With(352, 288, 30, 15, 2, 3, Motion::Pan)},
                      ParityCase{"Tiny", With(16, 16, 10, 5, 1, 4, Motion::Pan)},
                      ParityCase{"NotMacroblocks", With(98, 62, 20, 8, 2, 4, Motion::Sprite)},
                      ParityCase{"Odd97x61", With(97, 61, 20, 8, 2, 4, Motion::Pan)},
                      ParityCase{"Odd33x17", With(33, 17, 20, 8, 2, 4, Motion::Fast)},
                      ParityCase{"FinestQuantiser", With(176, 144, 20, 12, 2, 1, Motion::Noise)},
                      ParityCase{"CoarsestQuantiser", With(176, 144, 20, 12, 2, 31, Motion::Pan)},
                      ParityCase{"LongVectors", With(176, 144, 20, 12, 3, 4, Motion::Fast)},
                      ParityCase{"Skipped", With(176, 144, 20, 12, 2, 4, Motion::Still)},
                      ParityCase{"ManyB", With(176, 144, 40, 20, 6, 5, Motion::Sprite)},
                      ParityCase{"Matrices", Matrices()}, ParityCase{"SlicesMidRow", Slices(300)},
                      ParityCase{"SlicePerMacroblock", Slices(1)},
                      ParityCase{"LongGroup", With(176, 144, 90, 90, 0, 2, Motion::Pan), 44, 14}),
    [](const auto& param) { return std::string(param.param.name); });

// ---- The picture conversion ----------------------------------------------

// FFmpeg's decoded pictures converted by swscale as the clip decoder does,
// and by Yuv420ToImage from the same planes: the same pixels, odd sizes too.
TEST(Mpeg1ConvertTest, GivesSwscalesPixelsOnDecodedPictures) {
  for (const StreamSettings& s :
       {With(176, 144, 8, 8, 2, 4, Motion::Pan), With(352, 288, 4, 4, 1, 2, Motion::Noise),
        With(97, 61, 6, 6, 2, 4, Motion::Noise), With(33, 17, 4, 4, 0, 2, Motion::Noise),
        With(16, 16, 2, 2, 0, 2, Motion::Noise)}) {
    SCOPED_TRACE(::testing::Message() << s.width << "x" << s.height);
    ffmpeg::ScalePtr scaler;
    long differing = 0, pixels = 0;
    testing::DecodeWithFfmpeg(testing::EncodeStream(s), [&](const AVFrame& frame) {
      Image theirs, ours;
      ASSERT_TRUE(ffmpeg::ConvertFrame(frame, scaler, theirs));
      Yuv420ToImage(testing::ViewOf(frame), ours);
      ASSERT_EQ(ours.Extent(), theirs.Extent());
      for (std::size_t i = 0; i < ours.Pixels().size(); ++i) {
        differing += ours.Pixels()[i] != theirs.Pixels()[i] ? 1 : 0;
      }
      pixels += static_cast<long>(ours.Pixels().size());
    });
    EXPECT_GT(pixels, 0);
    EXPECT_EQ(differing, 0) << "of " << pixels;
  }
}

// Planes of random samples over the whole 0..255 range: swscale's sums
// wrap for the brightest saturated colours (it shows them black in that
// channel where we saturate); no other pixel may differ. (Pictures under 7
// samples wide or high are left out: there swscale widens its filters at
// the borders and weighs chroma a little differently.)
TEST(Mpeg1ConvertTest, DiffersFromSwscaleOnlyWhereItsSumsWrap) {
  std::uint32_t state = 7;
  auto random = [&] {
    state = state * 1664525U + 1013904223U;
    return static_cast<std::uint8_t>(state >> 24);
  };
  ASSERT_TRUE(ffmpeg::LoadFfmpeg());
  ffmpeg::ScalePtr scaler;
  long wrappedAll = 0;
  for (const IntSize size :
       {IntSize{7, 7}, IntSize{15, 9}, IntSize{64, 48}, IntSize{97, 61}, IntSize{353, 287}}) {
    SCOPED_TRACE(::testing::Message() << size.width << "x" << size.height);
    ffmpeg::FramePtr frame = ffmpeg::NewFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = size.width;
    frame->height = size.height;
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    for (int p = 0; p < 3; ++p) {
      const int w = p == 0 ? size.width : (size.width + 1) / 2;
      const int h = p == 0 ? size.height : (size.height + 1) / 2;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) frame->data[p][y * frame->linesize[p] + x] = random();
      }
    }
    Image theirs, ours;
    ASSERT_TRUE(ffmpeg::ConvertFrame(*frame, scaler, theirs));
    Yuv420ToImage(testing::ViewOf(*frame), ours);
    long wrapped = 0;
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width; ++x) {
        const Pixel a = ours.At(x, y), b = theirs.At(x, y);
        if (a == b) continue;
        ++wrapped;
        const int luma = frame->data[0][y * frame->linesize[0] + x];
        const bool blueWrap = PixelBlue(a) == 255 && PixelBlue(b) == 0;
        const bool redWrap = PixelRed(a) == 255 && PixelRed(b) == 0;
        EXPECT_TRUE(luma >= 200 && (blueWrap || redWrap) && PixelGreen(a) == PixelGreen(b))
            << "at " << x << "," << y << ": ours " << std::hex << a << " theirs " << b;
      }
    }
    EXPECT_LE(wrapped, size.width * size.height / 50);
    wrappedAll += wrapped;
  }
  EXPECT_GT(wrappedAll, 0) << "no sum wrapped: the test shows nothing";
}

// ---- Where a stream starts ------------------------------------------------

// Streams cut or altered as clips of the shows may be: FFmpeg's decoder and
// ours give the same pictures.
struct StartCase {
  const char* name;
  StreamSettings settings;
  std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> alter;
  // Pictures shown less pictures in the altered stream.
  int shownLessCoded;
};

std::vector<std::uint8_t> FromSecondGroup(const std::vector<std::uint8_t>& s) {
  return {s.begin() + static_cast<std::ptrdiff_t>(testing::NthStartCode(s, 0xB3, 2)), s.end()};
}

// The second group's headers, then its pictures from its first P picture on.
std::vector<std::uint8_t> FromFirstP(const std::vector<std::uint8_t>& s) {
  const std::size_t headers = testing::NthStartCode(s, 0xB3, 2);
  std::size_t firstPicture = s.size(), firstP = s.size();
  for (const auto& c : testing::StartCodes(s)) {
    if (c.offset < headers || c.code != 0) continue;
    firstPicture = std::min(firstPicture, c.offset);
    if (testing::PictureType(s, c.offset) == 2) {
      firstP = c.offset;
      break;
    }
  }
  std::vector<std::uint8_t> out(s.begin() + static_cast<std::ptrdiff_t>(headers),
                                s.begin() + static_cast<std::ptrdiff_t>(firstPicture));
  out.insert(out.end(), s.begin() + static_cast<std::ptrdiff_t>(firstP), s.end());
  return out;
}

// Sets full_pel_forward_vector (and _backward) in every P and B picture:
// the same codes then mean vectors in whole samples.
std::vector<std::uint8_t> FullPel(const std::vector<std::uint8_t>& s) {
  std::vector<std::uint8_t> out = s;
  for (const auto& c : testing::StartCodes(s)) {
    if (c.code != 0) continue;
    const int type = testing::PictureType(s, c.offset);
    if (type == 2 || type == 3) out[c.offset + 7] |= 0x04;
    if (type == 3) out[c.offset + 8] |= 0x40;
  }
  return out;
}

StreamSettings ClosedGroups() {
  StreamSettings s = With(176, 144, 40, 12, 2, 4, Motion::Sprite);
  s.closedGops = true;
  return s;
}

TEST(Mpeg1StreamStartTest, ShowsThePicturesFfmpegShows) {
  const StreamSettings open = With(176, 144, 40, 12, 2, 4, Motion::Pan);
  const StreamSettings sprite = With(176, 144, 40, 12, 2, 4, Motion::Sprite);
  const StartCase cases[] = {
      // The two B pictures before the second group's I picture have lost
      // their earlier reference: both decoders drop them.
      {"OpenGroup", open, FromSecondGroup, -2},
      {"ClosedGroup", ClosedGroups(), FromSecondGroup, 0},
      // A P picture without its reference: both show a grey picture first,
      // and the B pictures after it predict from that.
      {"StartsWithP", open, FromFirstP, 1},
      // The sprite moves inside the picture, so that twice its vectors
      // still point into it.
      {"FullPelVectors", sprite, FullPel, 0},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> original = testing::EncodeStream(c.settings);
    const std::vector<std::uint8_t> stream = c.alter(original);
    const auto theirs = testing::FfmpegPictures(stream);
    const auto ours = testing::OurPictures(stream);
    int coded = 0;
    for (const auto& code : testing::StartCodes(stream)) coded += code.code == 0 ? 1 : 0;
    EXPECT_EQ(static_cast<int>(theirs.size()), coded + c.shownLessCoded);
    ASSERT_EQ(ours.pictures.size(), theirs.size());
    for (std::size_t i = 0; i < theirs.size(); ++i) {
      const auto d = testing::Compare(ours.pictures[i], theirs[i]);
      EXPECT_GE(d.psnr, 52) << "picture " << i;
      EXPECT_LE(d.maxAbs, 4) << "picture " << i;
    }
    if (std::string_view(c.name) == "FullPelVectors") {
      // The altered stream must decode differently, or it tested nothing.
      const auto plain = testing::OurPictures(original);
      int changed = 0;
      for (std::size_t i = 0; i < plain.pictures.size(); ++i) {
        changed += testing::Compare(plain.pictures[i], ours.pictures[i]).maxAbs > 8 ? 1 : 0;
      }
      EXPECT_GT(changed, 10);
    }
    if (std::string_view(c.name) == "StartsWithP") {
      EXPECT_EQ(testing::Compare(ours.pictures[0], theirs[0]).maxAbs, 0);
      EXPECT_EQ(ours.pictures[0].concealed, 11 * 9) << "the grey picture is all concealment";
    }
  }
}

// ---- Chunks ------------------------------------------------------------

// Start codes split across pushes, pictures pulled between pushes or at the
// end, and a decoder reused after Reset: the same pictures every way.
TEST(Mpeg1ChunkTest, AnyChunkingGivesTheSamePictures) {
  StreamSettings s = With(64, 48, 14, 6, 2, 4, Motion::Sprite);
  s.packetSize = 100;
  const std::vector<std::uint8_t> stream = testing::EncodeStream(s);
  const auto whole = testing::OurPictures(stream, stream.size());
  ASSERT_EQ(whole.pictures.size(), 14U);
  for (const std::size_t chunk : {1U, 2U, 3U, 4U, 5U, 7U, 188U, 2048U}) {
    const auto split = testing::OurPictures(stream, chunk);
    ASSERT_EQ(split.pictures.size(), whole.pictures.size()) << chunk << "-byte chunks";
    for (std::size_t i = 0; i < whole.pictures.size(); ++i) {
      EXPECT_EQ(testing::Compare(split.pictures[i], whole.pictures[i]).maxAbs, 0)
          << chunk << "-byte chunks, picture " << i;
    }
  }
  Mpeg1VideoDecoder decoder;
  decoder.Push(std::span(stream).first(stream.size() / 2));
  while (true) {
    auto next = decoder.NextPicture();
    if (!next || !*next) break;
  }
  decoder.Reset();
  decoder.Push(stream);
  decoder.Finish();
  std::size_t n = 0;
  while (true) {
    auto next = decoder.NextPicture();
    ASSERT_TRUE(next);
    if (!*next) break;
    ASSERT_LT(n, whole.pictures.size());
    EXPECT_EQ(testing::Compare(testing::CopyView((*next)->planes), whole.pictures[n]).maxAbs, 0)
        << "after Reset, picture " << n;
    ++n;
  }
  EXPECT_EQ(n, whole.pictures.size());
}

// ---- Damage -------------------------------------------------------------

// Faults inside the first of three closed groups: the decoder reports or
// conceals them, resynchronises, and decodes the later groups exactly as it
// does the intact stream.
TEST(Mpeg1DamageTest, ConcealsAndResynchronises) {
  StreamSettings s = ClosedGroups();
  s.frames = 36;
  s.motion = Motion::Pan;
  const std::vector<std::uint8_t> clean = testing::EncodeStream(s);
  const auto intact = testing::OurPictures(clean);
  ASSERT_EQ(intact.pictures.size(), 36U);
  const std::size_t second = testing::NthStartCode(clean, 0xB3, 2);
  ASSERT_LT(second, clean.size());
  const std::size_t firstSlice = testing::NthStartCode(clean, 0x01, 1);
  const std::size_t thirdPicture = testing::NthStartCode(clean, 0x00, 3);

  using Bytes = std::vector<std::uint8_t>;
  struct Fault {
    const char* name;
    std::function<void(Bytes&)> apply;
  };
  const Fault faults[] = {
      {"ZeroedRun",
       [&](Bytes& b) {
         std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(firstSlice + 900), 64, 0);
       }},
      {"OnesRun",
       [&](Bytes& b) {
         std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(firstSlice + 400), 16, 0xFF);
       }},
      {"BytesRemoved",
       [&](Bytes& b) {
         const auto at = b.begin() + static_cast<std::ptrdiff_t>(thirdPicture + 200);
         b.erase(at, at + 300);
       }},
      {"GarbageInserted",
       [&](Bytes& b) {
         Bytes garbage(777);
         for (std::size_t i = 0; i < garbage.size(); ++i)
           garbage[i] = static_cast<std::uint8_t>(i * 131 + 7);
         b.insert(b.begin() + static_cast<std::ptrdiff_t>(firstSlice + 50), garbage.begin(),
                  garbage.end());
       }},
      {"PictureTypeZero",
       [&](Bytes& b) {
         b[thirdPicture + 5] = static_cast<std::uint8_t>(b[thirdPicture + 5] & ~0x38);
       }},
      {"SliceBelowThePicture", [&](Bytes& b) { b[firstSlice + 3] = 0x30; }},
      {"HugeSequenceHeader",
       [&](Bytes& b) {
         testing::BitWriter w;
         testing::PutSequenceHeader(w, 4095, 4095);
         const Bytes header = w.Finish();
         b.insert(b.begin() + static_cast<std::ptrdiff_t>(thirdPicture), header.begin(),
                  header.end());
       }},
      {"QuantiserZero",
       [&](Bytes& b) { b[firstSlice + 4] = static_cast<std::uint8_t>(b[firstSlice + 4] & 0x07); }},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    Bytes damaged = clean;
    fault.apply(damaged);
    const auto ours = testing::OurPictures(damaged, 1500);
    int concealed = 0;
    for (const auto& p : ours.pictures) concealed += p.concealed;
    EXPECT_TRUE(!ours.errors.empty() || ours.damaged > 0 || concealed > 0)
        << "the damage went unnoticed";
    // A bogus header may add a few grey pictures of its size, no more.
    ASSERT_GE(ours.pictures.size(), 24U);
    EXPECT_LE(ours.pictures.size(), intact.pictures.size() + 4);
    // The last two groups: 24 pictures, as from the intact stream.
    for (std::size_t k = 1; k <= 24; ++k) {
      const YuvPicture& got = ours.pictures[ours.pictures.size() - k];
      const YuvPicture& want = intact.pictures[intact.pictures.size() - k];
      ASSERT_EQ(got.width, want.width);
      EXPECT_EQ(testing::Compare(got, want).maxAbs, 0) << k << " pictures from the end";
    }
  }
}

// ---- Streams the decoder refuses ------------------------------------------

TEST(Mpeg1LimitsTest, RefusesWhatItCannotDecode) {
  const std::vector<std::uint8_t> cif =
      testing::EncodeStream(With(352, 288, 3, 3, 0, 4, Motion::Pan));
  // MPEG-2 video: FFmpeg's other encoder, same pictures.
  std::vector<std::uint8_t> mpeg2;
  {
    using namespace ffmpeg;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    ASSERT_NE(codec, nullptr);
    CodecPtr c(avcodec_alloc_context3(codec));
    c->width = 64;
    c->height = 48;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = {1, 25};
    ASSERT_GE(avcodec_open2(c.get(), codec, nullptr), 0);
    FramePtr frame = NewFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 64;
    frame->height = 48;
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    testing::DrawPicture({}, 0, *frame);
    frame->pts = 0;
    avcodec_send_frame(c.get(), frame.get());
    avcodec_send_frame(c.get(), nullptr);
    PacketPtr packet = NewPacket();
    while (avcodec_receive_packet(c.get(), packet.get()) == 0) {
      mpeg2.insert(mpeg2.end(), packet->data, packet->data + packet->size);
      av_packet_unref(packet.get());
    }
  }
  testing::BitWriter zero;
  testing::PutSequenceHeader(zero, 0, 16);
  testing::BitWriter matrix;
  testing::PutSequenceHeader(matrix, 16, 16);
  std::vector<std::uint8_t> badMatrix = matrix.Finish();
  badMatrix.back() =
      static_cast<std::uint8_t>(badMatrix.back() | 0x02);  // load an intra matrix ...
  badMatrix.insert(badMatrix.end(), 64, 0);                // ... of zeros

  struct Case {
    const char* name;
    std::vector<std::uint8_t> stream;
    Mpeg1VideoDecoder::Options options;
    const char* error;
  };
  const Case cases[] = {
      {"OverThePixelLimit", cif, {352 * 288 - 1, 16384}, "352x288, over the limit"},
      {"OverTheSideLimit", cif, {1 << 30, 300}, "352x288, over the limit"},
      {"Mpeg2", mpeg2, {}, "MPEG-2"},
      {"ZeroWidth", zero.Finish(), {}, "damaged"},
      {"ZeroInAMatrix", badMatrix, {}, "quantiser matrix"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto ours = testing::OurPictures(c.stream, 4096, c.options);
    EXPECT_TRUE(ours.pictures.empty());
    ASSERT_FALSE(ours.errors.empty());
    EXPECT_NE(ours.errors.front().find(c.error), std::string::npos) << ours.errors.front();
  }
}

// ---- A clip's system stream -------------------------------------------------

// The video packets of a clip as the system stream holds them, each pushed
// as it comes, give FFmpeg's pictures.
TEST(Mpeg1SystemStreamTest, DecodesTheVideoPacketsOfAClip) {
  testing::ScratchFolder folder("mpeg1-video");
  const std::string path = folder.File("clip.mpg");
  const Mpeg1ClipSettings settings{{160, 120}, 25, 30, 3};
  ASSERT_TRUE(EncodeMpeg1Clip(
      settings,
      [](int n, Image& f) {
        const Image pattern = testing::TestPattern(f.Width() + 60, f.Height());
        for (int y = 0; y < f.Height(); ++y) {
          for (int x = 0; x < f.Width(); ++x) f.At(x, y) = pattern.At(x + 2 * n, y);
        }
      },
      nullptr, path));
  const auto payloads = testing::VideoPayloads(path);
  ASSERT_GT(payloads.size(), 1U);
  std::vector<std::uint8_t> stream;
  Mpeg1VideoDecoder decoder;
  std::vector<YuvPicture> ours;
  auto pull = [&] {
    while (true) {
      auto next = decoder.NextPicture();
      ASSERT_TRUE(next) << next.error().description;
      if (!*next) break;
      ours.push_back(testing::CopyView((*next)->planes));
    }
  };
  for (const auto& payload : payloads) {
    stream.insert(stream.end(), payload.begin(), payload.end());
    decoder.Push(payload);
    pull();
  }
  decoder.Finish();
  pull();
  ASSERT_TRUE(decoder.CurrentSequence());
  EXPECT_EQ(decoder.CurrentSequence()->width, 160);
  EXPECT_EQ(decoder.CurrentSequence()->rateNumerator, 25);
  EXPECT_EQ(decoder.CurrentSequence()->rateDenominator, 1);
  const auto theirs = testing::FfmpegPictures(stream);
  ASSERT_EQ(theirs.size(), 30U);
  ASSERT_EQ(ours.size(), theirs.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    EXPECT_GE(testing::Compare(ours[i], theirs[i]).psnr, 52) << "picture " << i;
  }
}

}  // namespace
}  // namespace vistel
