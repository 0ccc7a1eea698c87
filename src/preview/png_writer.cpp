#include "preview/png_writer.h"

#include <cstdio>
#include <memory>

#include "preview/av_holders.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace preview {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

bool WritePng(const Picture& picture, const std::string& path, std::string& error) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
  if (!codec) {
    error = "the PNG encoder is not available";
    return false;
  }
  CodecContextPtr c(avcodec_alloc_context3(codec));
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!c || !frame || !packet) {
    error = "out of memory";
    return false;
  }
  c->width = picture.width;
  c->height = picture.height;
  c->pix_fmt = AV_PIX_FMT_RGB24;
  c->time_base = AVRational{1, 25};
  if (avcodec_open2(c.get(), codec, nullptr) < 0) {
    error = "the PNG encoder cannot be opened";
    return false;
  }
  frame->format = AV_PIX_FMT_RGB24;
  frame->width = picture.width;
  frame->height = picture.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    error = "out of memory";
    return false;
  }
  for (int i = 0; i < picture.height; ++i) {
    uint8_t* row = frame->data[0] + size_t(i) * frame->linesize[0];
    for (int j = 0; j < picture.width; ++j) {
      const uint32_t w = picture.at(j, i);
      row[3 * j] = uint8_t(w >> 16);
      row[3 * j + 1] = uint8_t(w >> 8);
      row[3 * j + 2] = uint8_t(w);
    }
  }
  // One frame in, then EOF: the encoder returns the one packet, then EOF (EAGAIN cannot
  // follow a drain request).
  if (avcodec_send_frame(c.get(), frame.get()) < 0 || avcodec_send_frame(c.get(), nullptr) < 0 ||
      avcodec_receive_packet(c.get(), packet.get()) < 0) {
    error = "the PNG encoder failed";
    return false;
  }
  std::unique_ptr<FILE, FileCloser> out(std::fopen(path.c_str(), "wb"));
  if (!out || std::fwrite(packet->data, 1, size_t(packet->size), out.get()) != size_t(packet->size) ||
      std::fclose(out.release()) != 0) {
    error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace preview
