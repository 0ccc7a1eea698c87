// RAII holders for FFmpeg objects: the preview's decoder and PNG writer, and the simulator's
// encoders.
//
// Each holder is a std::unique_ptr whose deleter calls the matching FFmpeg free function, so
// a codec user never leaks a context, frame or packet on an early return. Any thread; a holder
// is owned by one codec user at a time.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace preview {

struct CodecContextDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

}  // namespace preview
