// One preview of one recording without any window: the key-frame seek for a slider position,
// the decode of the box it found into the 360 x 288 picture, and the battery line of the
// block it ended in. The window, the command line and the benchmark all drive this.
//
// The decoder is set up at the first decode after Open and freed by Close or the next Open.
// When it cannot be set up that is reported once per opening and the preview goes on without
// pictures. One thread at a time; the region reader must outlive the session.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "card/region_reader.h"
#include "preview/h264_decoder.h"
#include "preview/keyframe_seeker.h"
#include "preview/preview_picture.h"
#include "records/trecord.h"

namespace preview {

// What the picture area shows after a decode.
enum class Shown {
  unchanged,  // nothing new to decode, or no decoder
  picture,    // a decoded (or re-converted) picture
  black,      // the decoder rejected the box
  hidden      // a picture width the preview does not show
};

class PreviewSession {
 public:
  PreviewSession(card::RegionReader& region, uint32_t ringBlocks);
  ~PreviewSession();

  // Starts on `record` of `blockCount` blocks: resets the seek, frees the decoder, shows the
  // black picture.
  void Open(const records::TRecord& record, int64_t blockCount);
  // Frees the decoder.
  void Close();
  // Seeks for slider `position`; when the seek took the configuration, the decoder is set up
  // and gets it with the next decode.
  SeekOutcome Seek(int position);
  // Decodes the box shown when it has not been decoded yet.
  Shown DecodeShown();

  // The picture to display and whether the picture area is visible.
  const Picture& picture() const { return picture_; }
  bool picture_visible() const { return visible_; }
  // The last decoded picture (the map's input); empty when none since Open.
  YuvView decoded() const { return decoder_->picture(); }

  // The decoder's set-up failure, returned once per opening; ok otherwise.
  DecoderSetup TakeDecoderFailure();

  uint32_t battery_adc() const;
  std::string battery_line() const;
  // The GPS fix of the block shown, as a short text ("нет данных GPS" without one).
  std::string fix_text() const;
  const KeyFrameSeeker& seeker() const { return seeker_; }

  // Uses the decoder of that name instead of H.264's (tests of a missing decoder).
  void set_decoder_name(std::string name) { decoderName_ = std::move(name); }

 private:
  bool EnsureDecoder();
  DecodeResult DecodeBox(std::span<const uint8_t> box);

  KeyFrameSeeker seeker_;
  std::unique_ptr<H264Decoder> decoder_;
  std::vector<uint8_t> nalBuffer_;
  std::vector<uint8_t> pendingConfig_;  // parameter sets for the next decode, start-code form
  Picture picture_;
  bool visible_ = true;
  bool decoderUnavailable_ = false;
  DecoderSetup failure_ = DecoderSetup::ok;
  std::string decoderName_;
};

}  // namespace preview
