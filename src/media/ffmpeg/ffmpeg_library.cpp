// FFmpeg's functions as this program sees them: each forwards to the
// function of the library that LoadFfmpeg() opened. The declarations come
// from FFmpeg's own headers, so a signature here that differs from the
// header's does not compile.
#include "media/ffmpeg/ffmpeg_library.hpp"

#include <array>
#include <cstddef>

#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/ffmpeg/library_loader.hpp"

// Types of parameters that FFmpeg's later major versions made const.
namespace {
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using AvioWriteData = const uint8_t*;
#else
using AvioWriteData = uint8_t*;
#endif
#if LIBSWRESAMPLE_VERSION_MAJOR >= 5
using SwrOutput = uint8_t* const*;
using SwrInput = const uint8_t* const*;
#else
using SwrOutput = uint8_t**;
using SwrInput = const uint8_t**;
#endif
}  // namespace

// Every FFmpeg function called anywhere in the project (sources, tests,
// benchmarks, fuzz targets): return type, name, parameters, arguments.
// A call to one missing here fails to link.
// clang-format off
#define VISTEL_FFMPEG_FUNCTIONS(X) \
  X(int, av_channel_layout_compare, (const AVChannelLayout* chl, const AVChannelLayout* chl1), (chl, chl1)) \
  X(int, av_channel_layout_copy, (AVChannelLayout* dst, const AVChannelLayout* src), (dst, src)) \
  X(void, av_channel_layout_default, (AVChannelLayout* ch_layout, int nb_channels), (ch_layout, nb_channels)) \
  X(void, av_channel_layout_uninit, (AVChannelLayout* channel_layout), (channel_layout)) \
  X(void, av_dict_free, (AVDictionary** m), (m)) \
  X(int, av_dict_set, (AVDictionary** pm, const char* key, const char* value, int flags), (pm, key, value, flags)) \
  X(int, av_dict_set_int, (AVDictionary** pm, const char* key, int64_t value, int flags), (pm, key, value, flags)) \
  X(int, av_find_best_stream, (AVFormatContext* ic, enum AVMediaType type, int wanted_stream_nb, int related_stream, const AVCodec** decoder_ret, int flags), (ic, type, wanted_stream_nb, related_stream, decoder_ret, flags)) \
  X(AVFrame*, av_frame_alloc, (void), ()) \
  X(void, av_frame_free, (AVFrame** frame), (frame)) \
  X(int, av_frame_get_buffer, (AVFrame* frame, int align), (frame, align)) \
  X(int, av_frame_make_writable, (AVFrame* frame), (frame)) \
  X(void, av_frame_unref, (AVFrame* frame), (frame)) \
  X(void, av_free, (void* ptr), (ptr)) \
  X(void, av_freep, (void* ptr), (ptr)) \
  X(int, av_interleaved_write_frame, (AVFormatContext* s, AVPacket* pkt), (s, pkt)) \
  X(void, av_log_set_level, (int level), (level)) \
  X(void*, av_malloc, (size_t size), (size)) \
  X(void, av_max_alloc, (size_t max), (max)) \
  X(int, av_opt_set_int, (void* obj, const char* name, int64_t val, int search_flags), (obj, name, val, search_flags)) \
  X(AVPacket*, av_packet_alloc, (void), ()) \
  X(void, av_packet_free, (AVPacket** pkt), (pkt)) \
  X(void, av_packet_rescale_ts, (AVPacket* pkt, AVRational tb_src, AVRational tb_dst), (pkt, tb_src, tb_dst)) \
  X(void, av_packet_unref, (AVPacket* pkt), (pkt)) \
  X(void, av_parser_close, (AVCodecParserContext* s), (s)) \
  X(AVCodecParserContext*, av_parser_init, (int codec_id), (codec_id)) \
  X(int, av_parser_parse2, (AVCodecParserContext* s, AVCodecContext* avctx, uint8_t** poutbuf, int* poutbuf_size, const uint8_t* buf, int buf_size, int64_t pts, int64_t dts, int64_t pos), (s, avctx, poutbuf, poutbuf_size, buf, buf_size, pts, dts, pos)) \
  X(const AVPixFmtDescriptor*, av_pix_fmt_desc_get, (enum AVPixelFormat pix_fmt), (pix_fmt)) \
  X(int, av_read_frame, (AVFormatContext* s, AVPacket* pkt), (s, pkt)) \
  X(int64_t, av_rescale, (int64_t a, int64_t b, int64_t c), (a, b, c)) \
  X(int64_t, av_rescale_q, (int64_t a, AVRational bq, AVRational cq), (a, bq, cq)) \
  X(int, av_samples_set_silence, (uint8_t** audio_data, int offset, int nb_samples, int nb_channels, enum AVSampleFormat sample_fmt), (audio_data, offset, nb_samples, nb_channels, sample_fmt)) \
  X(int, av_seek_frame, (AVFormatContext* s, int stream_index, int64_t timestamp, int flags), (s, stream_index, timestamp, flags)) \
  X(int, av_strerror, (int errnum, char* errbuf, size_t errbuf_size), (errnum, errbuf, errbuf_size)) \
  X(int, av_write_trailer, (AVFormatContext* s), (s)) \
  X(AVCodecContext*, avcodec_alloc_context3, (const AVCodec* codec), (codec)) \
  X(int, avcodec_default_get_buffer2, (AVCodecContext* s, AVFrame* frame, int flags), (s, frame, flags)) \
  X(const AVCodec*, avcodec_find_decoder, (enum AVCodecID id), (id)) \
  X(const AVCodec*, avcodec_find_encoder, (enum AVCodecID id), (id)) \
  X(const AVCodec*, avcodec_find_encoder_by_name, (const char* name), (name)) \
  X(void, avcodec_flush_buffers, (AVCodecContext* avctx), (avctx)) \
  X(void, avcodec_free_context, (AVCodecContext** avctx), (avctx)) \
  X(const char*, avcodec_get_name, (enum AVCodecID id), (id)) \
  X(int, avcodec_open2, (AVCodecContext* avctx, const AVCodec* codec, AVDictionary** options), (avctx, codec, options)) \
  X(int, avcodec_parameters_from_context, (AVCodecParameters* par, const AVCodecContext* codec), (par, codec)) \
  X(int, avcodec_parameters_to_context, (AVCodecContext* codec, const AVCodecParameters* par), (codec, par)) \
  X(int, avcodec_receive_frame, (AVCodecContext* avctx, AVFrame* frame), (avctx, frame)) \
  X(int, avcodec_receive_packet, (AVCodecContext* avctx, AVPacket* avpkt), (avctx, avpkt)) \
  X(int, avcodec_send_frame, (AVCodecContext* avctx, const AVFrame* frame), (avctx, frame)) \
  X(int, avcodec_send_packet, (AVCodecContext* avctx, const AVPacket* avpkt), (avctx, avpkt)) \
  X(AVFormatContext*, avformat_alloc_context, (void), ()) \
  X(int, avformat_alloc_output_context2, (AVFormatContext** ctx, const AVOutputFormat* oformat, const char* format_name, const char* filename), (ctx, oformat, format_name, filename)) \
  X(void, avformat_close_input, (AVFormatContext** s), (s)) \
  X(int, avformat_find_stream_info, (AVFormatContext* ic, AVDictionary** options), (ic, options)) \
  X(int, avformat_flush, (AVFormatContext* s), (s)) \
  X(void, avformat_free_context, (AVFormatContext* s), (s)) \
  X(AVStream*, avformat_new_stream, (AVFormatContext* s, const AVCodec* c), (s, c)) \
  X(int, avformat_open_input, (AVFormatContext** ps, const char* url, const AVInputFormat* fmt, AVDictionary** options), (ps, url, fmt, options)) \
  X(int, avformat_write_header, (AVFormatContext* s, AVDictionary** options), (s, options)) \
  X(AVIOContext*, avio_alloc_context, (unsigned char* buffer, int buffer_size, int write_flag, void* opaque, int (*read_packet)(void*, uint8_t*, int), int (*write_packet)(void*, AvioWriteData, int), int64_t (*seek)(void*, int64_t, int)), (buffer, buffer_size, write_flag, opaque, read_packet, write_packet, seek)) \
  X(int, avio_closep, (AVIOContext** s), (s)) \
  X(void, avio_context_free, (AVIOContext** s), (s)) \
  X(void, avio_flush, (AVIOContext* s), (s)) \
  X(int64_t, avio_seek, (AVIOContext* s, int64_t offset, int whence), (s, offset, whence)) \
  X(int, swr_alloc_set_opts2, (SwrContext** ps, AVChannelLayout* out_ch_layout, enum AVSampleFormat out_sample_fmt, int out_sample_rate, AVChannelLayout* in_ch_layout, enum AVSampleFormat in_sample_fmt, int in_sample_rate, int log_offset, void* log_ctx), (ps, out_ch_layout, out_sample_fmt, out_sample_rate, in_ch_layout, in_sample_fmt, in_sample_rate, log_offset, log_ctx)) \
  X(int, swr_convert, (SwrContext* s, SwrOutput out, int out_count, SwrInput in, int in_count), (s, out, out_count, in, in_count)) \
  X(void, swr_free, (SwrContext** s), (s)) \
  X(int, swr_get_out_samples, (SwrContext* s, int in_samples), (s, in_samples)) \
  X(int, swr_init, (SwrContext* s), (s)) \
  X(void, sws_freeContext, (SwsContext* swsContext), (swsContext)) \
  X(SwsContext*, sws_getCachedContext, (SwsContext* context, int srcW, int srcH, enum AVPixelFormat srcFormat, int dstW, int dstH, enum AVPixelFormat dstFormat, int flags, SwsFilter* srcFilter, SwsFilter* dstFilter, const double* param), (context, srcW, srcH, srcFormat, dstW, dstH, dstFormat, flags, srcFilter, dstFilter, param)) \
  X(int, sws_scale, (SwsContext* c, const uint8_t* const srcSlice[], const int srcStride[], int srcSliceY, int srcSliceH, uint8_t* const dst[], const int dstStride[]), (c, srcSlice, srcStride, srcSliceY, srcSliceH, dst, dstStride))

// clang-format on

namespace vistel::ffmpeg {
namespace {

enum class Function : std::size_t { VISTEL_FFMPEG_FUNCTIONS(VISTEL_LIBRARY_INDEX) kCount };
constexpr std::size_t kFunctionCount = static_cast<std::size_t>(Function::kCount);

constexpr std::array<const char*, kFunctionCount> kNames = {
    VISTEL_FFMPEG_FUNCTIONS(VISTEL_LIBRARY_NAME)};

constinit LibraryFamily<kFunctionCount> family("FFmpeg", kNames);

// Each library before those linked against it.
constexpr std::array<const char*, 5> kSonames = {
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
    "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
};

template <class Pointer>
Pointer Resolved(Function function) {
  return family.Resolved<Pointer>(static_cast<std::size_t>(function));
}

}  // namespace

Status LoadFfmpeg() {
  return family.Load(kSonames);
}

}  // namespace vistel::ffmpeg

// Outside the namespace: these are FFmpeg's C names. Hidden, so that the
// libraries' calls among themselves never bind to them should the program's
// symbols ever be exported.
#define VISTEL_FFMPEG_FORWARD(ret, name, params, args)                     \
  extern "C" __attribute__((visibility("hidden"))) ret name params {       \
    using vistel::ffmpeg::Function;                                        \
    return vistel::ffmpeg::Resolved<decltype(&name)>(Function::name) args; \
  }
VISTEL_FFMPEG_FUNCTIONS(VISTEL_FFMPEG_FORWARD)
#undef VISTEL_FFMPEG_FORWARD
