#include "preview/h264_decoder.h"

#include "preview/av_holders.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace preview {

namespace {

bool IsYuv420(int format) {
  return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

}  // namespace

struct H264Decoder::State {
  CodecContextPtr context;
  FramePtr received;  // the frame being received
  FramePtr shown;     // the last complete picture
  PacketPtr packet;
};

H264Decoder::H264Decoder() : state_(std::make_unique<State>()) {}
H264Decoder::~H264Decoder() = default;

bool H264Decoder::is_open() const { return state_->context != nullptr; }

DecoderSetup H264Decoder::Open(const std::string& name) {
  if (state_->context) return DecoderSetup::ok;
  const AVCodec* codec = name.empty() ? avcodec_find_decoder(AV_CODEC_ID_H264)
                                      : avcodec_find_decoder_by_name(name.c_str());
  if (!codec) return DecoderSetup::no_decoder;
  CodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context) return DecoderSetup::open_failed;
  // One key frame in, its picture out: no frame threads and no reordering delay.
  context->thread_count = 1;
  context->flags |= AV_CODEC_FLAG_LOW_DELAY;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return DecoderSetup::open_failed;
  FramePtr received(av_frame_alloc()), shown(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!received || !shown || !packet) return DecoderSetup::open_failed;
  state_->context = std::move(context);
  state_->received = std::move(received);
  state_->shown = std::move(shown);
  state_->packet = std::move(packet);
  return DecoderSetup::ok;
}

void H264Decoder::Close() {
  state_->packet.reset();
  state_->shown.reset();
  state_->received.reset();
  state_->context.reset();
}

DecodeResult H264Decoder::Decode(const uint8_t* data, size_t length) {
  State& s = *state_;
  if (!s.context || length == 0 || length > size_t(INT32_MAX)) return DecodeResult::error;
  AVCodecContext* c = s.context.get();
  // The packet borrows the caller's bytes (with their padding); the decoder copies what it
  // keeps, since the packet holds no reference-counted buffer.
  av_packet_unref(s.packet.get());
  s.packet->data = const_cast<uint8_t*>(data);
  s.packet->size = int(length);
  int ret = avcodec_send_packet(c, s.packet.get());
  s.packet->data = nullptr;
  s.packet->size = 0;
  // EAGAIN cannot happen here: every call drains the decoder before it returns. Any other
  // negative value is a packet the decoder refused (invalid data, out of memory).
  if (ret < 0) return DecodeResult::error;

  ret = avcodec_receive_frame(c, s.received.get());
  bool drained = false;
  if (ret == AVERROR(EAGAIN)) {
    // The decoder wants more input before it gives a picture: flush it so that the picture
    // of this packet, if any, comes out now (EOF then means the packet made no picture).
    if (avcodec_send_packet(c, nullptr) < 0) return DecodeResult::error;
    ret = avcodec_receive_frame(c, s.received.get());
    drained = true;
  }
  DecodeResult result = DecodeResult::no_picture;
  if (ret == 0) {
    // A picture the decoder had to conceal (damaged slice data) counts as a failed decode.
    const bool damaged = s.received->decode_error_flags != 0 ||
                         (s.received->flags & AV_FRAME_FLAG_CORRUPT);
    if (IsYuv420(s.received->format) && !damaged) {
      av_frame_unref(s.shown.get());
      av_frame_move_ref(s.shown.get(), s.received.get());
      result = DecodeResult::picture;
    } else {
      av_frame_unref(s.received.get());
      result = DecodeResult::error;
    }
  } else if (ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) {
    result = DecodeResult::error;
  }
  // Draining ends the decoder's input; flushing reopens it for the next packet while keeping
  // the parameter sets it has seen.
  if (drained) {
    while (avcodec_receive_frame(c, s.received.get()) == 0) av_frame_unref(s.received.get());
    avcodec_flush_buffers(c);
  }
  return result;
}

YuvView H264Decoder::picture() const {
  YuvView v;
  const AVFrame* f = state_->shown.get();
  if (!f || !f->data[0]) return v;
  for (int i = 0; i < 3; ++i) {
    v.plane[i] = f->data[i];
    v.pitch[i] = f->linesize[i];
  }
  v.width = f->width;
  v.height = f->height;
  return v;
}

}  // namespace preview
