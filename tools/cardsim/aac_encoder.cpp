#include "cardsim/aac_encoder.h"

#include <span>

#include "cardsim/av_holders.h"
#include "cardsim/synthetic_media.h"

namespace cardsim {
namespace {

bool Drain(AVCodecContext* ctx, AVPacket* pkt, EncodedAudio& out, size_t wanted,
           std::string& error) {
  for (;;) {
    const int r = avcodec_receive_packet(ctx, pkt);
    // EAGAIN: more input needed; EOF: fully flushed.
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) {
      error = "AAC encoder failed to deliver a packet";
      return false;
    }
    if (out.frames.size() < wanted) out.frames.emplace_back(pkt->data, pkt->data + pkt->size);
    av_packet_unref(pkt);
  }
}

}  // namespace

bool EncodeAudio(const AudioEncodeParams& params, EncodedAudio& out, std::string& error) {
  out = EncodedAudio{};
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (!codec) {
    error = "libavcodec has no aac encoder";
    return false;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  FramePtr frame(av_frame_alloc());
  PacketPtr pkt(av_packet_alloc());
  if (!ctx || !frame || !pkt) {
    error = "out of memory setting up the AAC encoder";
    return false;
  }
  ctx->sample_rate = params.sample_rate;
  av_channel_layout_default(&ctx->ch_layout, params.channels);
  ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
  ctx->bit_rate = params.bit_rate;
  ctx->profile = FF_PROFILE_AAC_LOW;
  ctx->time_base = AVRational{1, params.sample_rate};
  ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
    error = "cannot open the AAC encoder";
    return false;
  }
  if (ctx->frame_size != kAacFrameSamples || ctx->extradata_size < 2) {
    error = "AAC encoder has an unexpected frame size or no AudioSpecificConfig";
    return false;
  }
  // The 2-byte AAC-LC AudioSpecificConfig; the encoder's explicit "no SBR" extension after it
  // says nothing a decoder needs.
  out.asc.assign(ctx->extradata, ctx->extradata + 2);
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->nb_samples = kAacFrameSamples;
  frame->sample_rate = params.sample_rate;
  av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    error = "out of memory for audio samples";
    return false;
  }
  const size_t wanted = size_t(params.frame_count);
  // The encoder lags by a frame or two; feed until enough packets have come out.
  for (int64_t i = 0; out.frames.size() < wanted && i < params.frame_count + 8; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) {
      error = "audio buffer not writable";
      return false;
    }
    for (int ch = 0; ch < params.channels; ++ch)
      ToneSamples(std::span<float>(reinterpret_cast<float*>(frame->data[ch]), kAacFrameSamples),
                  uint64_t(i) * kAacFrameSamples, params.sample_rate, ch, params.seed);
    frame->pts = i * kAacFrameSamples;
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0) {
      error = "AAC encoder refused samples";
      return false;
    }
    if (!Drain(ctx.get(), pkt.get(), out, wanted, error)) return false;
  }
  if (out.frames.size() < wanted) {
    avcodec_send_frame(ctx.get(), nullptr);
    if (!Drain(ctx.get(), pkt.get(), out, wanted, error)) return false;
  }
  if (out.frames.size() != wanted) {
    error = "AAC encoder returned too few frames";
    return false;
  }
  return true;
}

}  // namespace cardsim
