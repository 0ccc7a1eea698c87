// The preview's H.264 decoder: libavcodec's decoder behind a small interface, so that no
// other unit sees an FFmpeg header.
//
// Set up on first use (Open), fed byte-stream packets one at a time; each Decode returns the
// picture that packet produced at once (single-threaded, low delay, drained when the decoder
// holds it back). The last picture produced stays available until the next one or Close.
// A missing decoder or one that will not open is reported, never fatal. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "preview/preview_picture.h"

namespace preview {

enum class DecoderSetup { ok, no_decoder, open_failed };
enum class DecodeResult { picture, no_picture, error };

class H264Decoder {
 public:
  H264Decoder();
  ~H264Decoder();
  H264Decoder(const H264Decoder&) = delete;
  H264Decoder& operator=(const H264Decoder&) = delete;

  // Finds and opens the decoder (H.264's, or the one named); ok at once when already open.
  DecoderSetup Open(const std::string& name = {});
  bool is_open() const;
  // Frees the context and the last picture.
  void Close();

  // Decodes one packet of `length` bytes; `data` must hold 8 readable bytes past it. A
  // packet the decoder rejects gives error; one that completes no picture gives no_picture.
  DecodeResult Decode(const uint8_t* data, size_t length);

  // The last picture decoded since Open; empty when none.
  YuvView picture() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace preview
