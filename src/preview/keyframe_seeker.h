// Finds the video key frame to show for a position of the preview's slider.
//
// A position is a block of the recording. The seek reads forward from a 16-sector step of
// that block for the next key-frame box; when there is none within reach it retries from the
// step before, back to the recording's first block. The search gives up after 256 sectors
// without a box magic, at a box flagged 0x100 (end of stream), at an invalid box size and at
// a configuration box met after the first sector it read. The box shown is the key frame
// found, or the box just before it when that one is itself a video key frame. The seek also
// reads the information sector of the block where it ends, and takes the configuration boxes
// from it once per opening, for the decoder.
//
// Reads through the shared region reader; owned and used by one thread (the window's).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/sector.h"
#include "card/region_reader.h"
#include "convert/stream_reader.h"

namespace preview {

enum class SeekOutcome {
  same,      // the position leads to the pair already sought: nothing read
  found,     // a key frame was found; shown_box() holds the box to show
  not_found  // no key frame from this position back to the recording's start
};

class KeyFrameSeeker {
 public:
  KeyFrameSeeker(card::RegionReader& region, uint32_t ringBlocks);

  // Starts on a recording: forgets the last pair sought, the box shown and the configuration.
  void Open(int32_t firstBlock, int64_t blockCount);
  SeekOutcome Seek(int position);

  // The box to show (rounded size, header included); empty when none.
  std::span<const uint8_t> shown_box() const { return {shown_.data(), shownSize_}; }
  bool shown_decoded() const { return shownDecoded_; }
  void set_shown_decoded() { shownDecoded_ = true; }
  // The video configuration box taken by the last seek, once per opening; empty otherwise.
  // Reading it clears it.
  std::span<const uint8_t> TakeVideoConfig();
  bool config_loaded() const { return configLoaded_; }

  const base::Sector& info_sector() const { return info_; }
  // The reader's sector index after the last seek: where the box shown begins.
  int32_t current_sector() const { return reader_.sector_index(); }
  int32_t cur_block() const { return curBlock_; }
  int cur_step() const { return curStep_; }

 private:
  bool SearchFromStep();
  bool FindKeyFrame();
  bool ReadNextBox();
  bool StepBackBox();
  void KeepIfKeyFrame();
  void TakeConfiguration();

  card::RegionReader& region_;
  const int64_t ringBlocks_;
  convert::StreamReader reader_;
  int32_t firstBlock_ = 0;
  int64_t blockCount_ = 1;
  int32_t curBlock_ = 0, curStep_ = 0;
  int32_t lastBlock_ = -1, lastStep_ = -1;
  std::vector<uint8_t> shown_;  // one maximal box, allocated once
  size_t shownSize_ = 0;
  bool shownDecoded_ = false;
  bool configLoaded_ = false;
  std::array<uint8_t, base::kSectorSize> videoConfig_{};
  size_t videoConfigSize_ = 0;  // pending for the decoder; 0 once taken
  base::Sector info_{};
};

}  // namespace preview
