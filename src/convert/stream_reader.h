// Sequential reader of the record stream: the qbox boxes that fill the data sectors of the
// record region, every block's information sector (index low byte 0xFF) skipped.
//
// Reads one sector at a time through the shared card::RegionReader into a 512-byte sector
// buffer (+8 spare bytes for the backward scan); the current box lands in a box buffer of
// 1 MiB + 8 allocated once with the reader, so nothing is allocated per box or per sector.
// A failed sector read leaves a sticky error code (3015, 5107, 1524, 9834, 2224; 0 when none)
// and makes the operation that needed it return false: a box is never returned with bytes that
// could not be read. Owned and used by one thread (the conversion worker); not thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/sector.h"
#include "card/region_reader.h"
#include "convert/qbox.h"

namespace convert {

enum StreamError : int {
  kErrNoPartitionFile = 3015,  // the partition file cannot be opened (or k >= N_rsf)
  kErrBeyondFile = 5107,       // the sector lies beyond its partition file
  kErrShortRead = 1524,        // fewer than 512 bytes read from a data sector
  kErrInfoRead = 9834,         // the information sector could not be read
  kErrConfigSize = 2224,       // the first configuration box has an invalid size
};

// One configuration box copied out of an information sector (offset 128 onwards).
struct ConfigBox {
  std::array<uint8_t, 512> bytes{};
  uint32_t size = 0;  // rounded size
  std::span<uint8_t> box() { return {bytes.data(), size}; }
};

class StreamReader {
 public:
  // Everything that places the reader in the stream, for look-aheads and retries. The box
  // buffer itself is not part of it.
  struct Position {
    int32_t sector = 0;
    int32_t offset = 0;
    int32_t boxCount = -1;
    uint32_t boxSize = 0;
    uint32_t boxMagic = 0;
    bool streamEnded = false;
    bool endReached = false;
  };

  explicit StreamReader(card::RegionReader& region);

  // Box count -1, offset 0, box size and magic 0, stream not ended, sector index 0,
  // configuration pair not loaded, error cleared. The range end and `endReached` stay.
  void Reset();

  // Moves by `step` sectors around the ring (0 reloads the current one), skipping an
  // information sector in the direction of travel, and reads the sector. Stepping onto the
  // range end sector sets `endReached` (tested before the skip). False on a read failure,
  // with the current sector unchanged.
  bool StepSector(int32_t step);
  // Copies n bytes from the stream position and advances it across sectors; when the
  // position lands on a sector end it moves on to the next sector. False when a needed
  // sector could not be read.
  bool ReadStream(uint8_t* dst, uint32_t n);
  // Scans 4-aligned offsets for the next video key-frame box and leaves it in the box
  // buffer, the position just after it. With `stopAtRangeEnd` the scan gives up when it
  // steps onto the range end sector, also while reading a rejected box header; it also gives
  // up after one whole turn of the ring.
  // An invalid box size ends the stream.
  bool FindKeyFrame(bool stopAtRangeEnd = false);
  // Reads the box at the position. A wrong magic or size ends the stream; after a box of
  // exactly 24 bytes the stream has ended.
  bool ReadNextBox();
  // Repositions onto the nearest valid box that starts at least 32 bytes before the current
  // one, so that following ReadNextBox calls return the boxes up to the current one again.
  // The scan looks back at most one maximal box; when nothing is found there the reader is
  // left where it was and the result is false.
  bool StepBackBox();
  // After ReadNextBox met a damaged header (a wrong magic or size, not the 24-byte end box):
  // scans on for the next video key frame before the range end, skipping damaged headers,
  // and leaves it in the box buffer as ReadNextBox would. False when none lies before the
  // range end (the stream stays ended) or when ReadNextBox met no damage.
  bool ResyncAtKeyFrame();
  // True while the stream has ended at a damaged header rather than at its end box.
  bool header_rejected() const { return headerRejected_; }
  // Where the header of the box in the buffer began.
  int32_t box_start_sector() const { return boxStart_.sector; }
  const Position& box_start() const { return boxStart_; }

  // Copies the configuration pair from the information sector of the current block, once.
  bool LoadConfiguration();

  // Back to the start of the box in the box buffer, as if it had not been read.
  bool RewindToBoxStart();

  Position position() const;
  // Restores a saved position and rereads its sector (without the range-end test).
  bool SetPosition(const Position& p);

  int32_t sector_index() const { return sector_; }
  void set_sector_index(int32_t s) { sector_ = s; }
  int32_t stream_offset() const { return offset_; }
  void set_stream_offset(int32_t o) { offset_ = o; }
  int32_t box_count() const { return boxCount_; }
  void set_box_count(int32_t c) { boxCount_ = c; }
  uint32_t box_size() const { return boxSize_; }
  void set_box_size(uint32_t s) { boxSize_ = s; }
  void set_box_magic(uint32_t m) { boxMagic_ = m; }
  bool stream_ended() const { return streamEnded_; }
  void set_stream_ended(bool v) { streamEnded_ = v; }
  bool end_reached() const { return endReached_; }
  void set_end_reached(bool v) { endReached_ = v; }
  // Sector index whose stepping-onto sets `endReached`; -1 for none.
  void set_range_end(int64_t s) { rangeEnd_ = s; }
  int error() const { return error_; }
  // The current sector's 512 bytes (for callers that scan the stream themselves).
  const uint8_t* sector_bytes() const { return sector_buf_.data(); }

  // The box buffer: the current box (rounded size), and the whole buffer for save/restore.
  std::span<const uint8_t> box() const { return {box_.data(), boxSize_}; }
  std::span<uint8_t> box_buffer() { return {box_.data(), box_.size()}; }

  bool config_loaded() const { return configLoaded_; }
  ConfigBox& video_config() { return config_[0]; }
  ConfigBox& audio_config() { return config_[1]; }
  const base::Sector& info_sector() const { return info_; }
  const card::RegionGeometry& geometry() const { return region_.geometry(); }

 private:
  bool LoadSector(int64_t b);
  bool StepBackOneSector();  // keeps the next sector's first 8 bytes in the spare bytes
  bool Fail(int code);
  bool CopyConfigBox(size_t at, ConfigBox& out) const;

  card::RegionReader& region_;
  int64_t rangeEnd_ = -1;
  int32_t sector_ = 0;
  int32_t offset_ = 0;
  int32_t boxCount_ = -1;
  uint32_t boxSize_ = 0;
  uint32_t boxMagic_ = 0;
  bool streamEnded_ = false;
  bool endReached_ = false;
  bool configLoaded_ = false;
  bool steppedOntoEnd_ = false;  // the last StepSector landed on the range end
  uint64_t endLandings_ = 0;     // how often StepSector landed on the range end
  bool headerRejected_ = false;  // ReadNextBox ended the stream at a damaged header
  int error_ = 0;
  Position boxStart_;  // where the header of the box in the buffer began

  base::Sector read_{};
  std::array<uint8_t, base::kSectorSize + 8> sector_buf_{};
  std::vector<uint8_t> box_;  // kMaxSize + 8 bytes
  std::array<ConfigBox, 2> config_{};
  base::Sector info_{};
};

}  // namespace convert
