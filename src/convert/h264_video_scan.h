// Scan and copy passes over the H.264 Annex B file of one output part.
//
// ScanVideo builds the video sample table: the size of each access unit as written to mdat
// (every kept NAL unit with a 4-byte length prefix), the IDR samples, and the parameter
// sets for avcC. Access units before the first IDR (when the stream has one) reference
// pictures that are not in the file; they are dropped so that the file decodes cleanly.
// VideoUnitWalker replays the same decisions in the copy pass. Both return MuxerError codes.
// One instance per pass; not thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/h264_access_units.h"
#include "convert/h264_annexb_reader.h"
#include "convert/h264_parameter_sets.h"
#include "convert/h264_sps.h"
#include "convert/mux_file_io.h"

namespace convert {

struct VideoScan {
  ParameterSetStore parameter_sets;
  H264Sps sps;                         // the first stored SPS
  VideoTiming timing;
  std::vector<uint32_t> sample_sizes;  // bytes in mdat per sample
  std::vector<uint32_t> sync_samples;  // 1-based numbers of samples holding an IDR slice
  uint64_t first_access_unit = 0;      // access units in front of it are dropped
};

int ScanVideo(InputFile& file, VideoScan* scan);

// The decisions of ScanVideo, fed one NAL unit at a time (as an Annex B reader yields them),
// so that a caller holding the units elsewhere builds exactly the same table.
class VideoScanner {
 public:
  // Feeds the next unit; true when its bytes go into a sample (false for a parameter set the
  // sample entry carries). Sets error() on a failure; later calls are then ignored.
  bool Feed(std::span<const uint8_t> nal);
  // Closes the last access unit and fills `scan`; kMuxOk or the muxer's error code.
  int Finish(VideoScan* scan);
  int error() const { return error_; }
  // Index of the access unit the last fed unit belongs to.
  uint64_t access_unit() const { return access_unit_; }

 private:
  void CloseUnit();

  ParameterSetStore parameter_sets_;
  AccessUnitSplitter splitter_;
  uint64_t size_ = 0;
  bool idr_ = false;
  bool any_idr_ = false;
  uint64_t access_unit_ = 0;
  std::vector<uint32_t> all_sizes_;
  std::vector<uint64_t> idr_units_;  // access unit indices
  int error_ = 0;
};

// True for a slice whose slice_type is B (the muxer writes no composition offsets, so a
// stream with B slices cannot be stored faithfully).
bool IsBSlice(std::span<const uint8_t> nal);

// Replays the grouping of the scan: each unit with its access unit index and whether its
// bytes go into the sample (false for parameter sets the sample entry carries).
class VideoUnitWalker {
 public:
  VideoUnitWalker(InputFile& file, const ParameterSetStore& stored) : reader_(file), stored_(stored) {}

  struct Unit {
    std::span<const uint8_t> nal;
    uint64_t access_unit = 0;
    bool kept = false;
  };
  // kMuxOk with a unit, kMuxOk with `*done` set at the end, or an error code.
  int Next(Unit* unit, bool* done);

 private:
  AnnexBReader reader_;
  AccessUnitSplitter splitter_;
  const ParameterSetStore& stored_;
  uint64_t access_unit_ = 0;
};

// Maps the reader's failures to muxer codes.
int ReaderError(AnnexBReader::Result result);

}  // namespace convert
