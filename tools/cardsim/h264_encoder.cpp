#include "cardsim/h264_encoder.h"

#include "base/endian.h"
#include "cardsim/av_holders.h"
#include "cardsim/synthetic_media.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace cardsim {
namespace {

constexpr int kNalIdr = 5, kNalSlice = 1, kNalSps = 7, kNalPps = 8;

void AppendPrefixed(std::vector<uint8_t>& out, const uint8_t* nal, size_t size) {
  const size_t at = out.size();
  out.resize(at + 4 + size);
  base::store_be32(&out[at], uint32_t(size));
  std::copy(nal, nal + size, out.begin() + ptrdiff_t(at) + 4);
}

// Moves every packet the encoder has ready into `out`; false on a hard error.
bool Drain(AVCodecContext* ctx, AVPacket* pkt, EncodedVideo& out, std::string& error) {
  for (;;) {
    const int r = avcodec_receive_packet(ctx, pkt);
    // EAGAIN: the encoder wants more input; EOF: it has been flushed completely.
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) {
      error = "H.264 encoder failed to deliver a packet";
      return false;
    }
    EncodedPicture picture;
    ForEachAnnexBNal(pkt->data, pkt->data + pkt->size, [&](const uint8_t* nal, size_t size) {
      const int type = nal[0] & 0x1F;
      // Only picture slices go into a video box; SEI and parameter sets stay out of the stream.
      if (type == kNalIdr || type == kNalSlice) AppendPrefixed(picture.nals, nal, size);
      if (type == kNalIdr) picture.key = true;
    });
    av_packet_unref(pkt);
    if (!picture.nals.empty()) out.pictures.push_back(std::move(picture));
  }
}

bool ReadParameterSets(const AVCodecContext* ctx, EncodedVideo& out) {
  ForEachAnnexBNal(ctx->extradata, ctx->extradata + ctx->extradata_size,
                   [&](const uint8_t* nal, size_t size) {
                     const int type = nal[0] & 0x1F;
                     if (type == kNalSps && out.sps.empty()) out.sps.assign(nal, nal + size);
                     if (type == kNalPps && out.pps.empty()) out.pps.assign(nal, nal + size);
                   });
  return !out.sps.empty() && !out.pps.empty();
}

}  // namespace

bool EncodeVideo(const VideoEncodeParams& params, EncodedVideo& out, std::string& error) {
  out = EncodedVideo{};
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) {
    error = "libavcodec has no libx264 encoder";
    return false;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  FramePtr frame(av_frame_alloc());
  PacketPtr pkt(av_packet_alloc());
  if (!ctx || !frame || !pkt) {
    error = "out of memory setting up the H.264 encoder";
    return false;
  }
  ctx->width = params.width;
  ctx->height = params.height;
  ctx->time_base = AVRational{1, params.fps};
  ctx->framerate = AVRational{params.fps, 1};
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->gop_size = params.gop;
  ctx->keyint_min = params.gop;
  ctx->max_b_frames = 0;
  ctx->bit_rate = params.bit_rate;
  ctx->rc_max_rate = params.bit_rate;
  ctx->rc_buffer_size = params.bit_rate;
  ctx->thread_count = 1;  // one thread keeps the output bit-exact from run to run
  ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_CLOSED_GOP;
  av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
  av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
  av_opt_set(ctx->priv_data, "x264-params",
             params.high_profile
                 ? "scenecut=0:open-gop=0:bframes=0:repeat-headers=0:cabac=1:8x8dct=1"
                 : "scenecut=0:open-gop=0:bframes=0:repeat-headers=0",
             0);
  if (params.high_profile) av_opt_set(ctx->priv_data, "profile", "high", 0);
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
    error = "cannot open the H.264 encoder";
    return false;
  }
  if (!ReadParameterSets(ctx.get(), out)) {
    error = "H.264 encoder gave no SPS/PPS";
    return false;
  }
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = params.width;
  frame->height = params.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    error = "out of memory for a picture";
    return false;
  }
  const int total = params.gop * params.gop_count;
  for (int i = 0; i < total; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) {
      error = "picture buffer not writable";
      return false;
    }
    PaintPicture(YuvPlanes{frame->data[0], frame->data[1], frame->data[2], frame->linesize[0],
                           frame->linesize[1], frame->linesize[2], params.width, params.height},
                 uint64_t(i), params.seed);
    frame->pts = i;
    // Every GOP starts with an IDR picture, whatever the encoder's own decisions.
    frame->pict_type = i % params.gop == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    frame->key_frame = i % params.gop == 0;
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0) {
      error = "H.264 encoder refused a picture";
      return false;
    }
    if (!Drain(ctx.get(), pkt.get(), out, error)) return false;
  }
  avcodec_send_frame(ctx.get(), nullptr);  // flush; EOF from Drain ends it
  if (!Drain(ctx.get(), pkt.get(), out, error)) return false;
  if (int(out.pictures.size()) != total || !out.pictures.front().key) {
    error = "H.264 encoder returned an unexpected picture sequence";
    return false;
  }
  for (int i = 0; i < total; ++i)
    if (out.pictures[size_t(i)].key != (i % params.gop == 0)) {
      error = "H.264 encoder placed key frames off the GOP grid";
      return false;
    }
  return true;
}

}  // namespace cardsim
