#include "convert/h264_video_scan.h"

#include <algorithm>

#include "convert/mp4_muxer.h"

namespace convert {

int ReaderError(AnnexBReader::Result result) {
  switch (result) {
    case AnnexBReader::Result::kReadError: return kMuxReadFailed;
    case AnnexBReader::Result::kUnitTooLarge: return kMuxNalTooLarge;
    default: return kMuxOk;
  }
}

int ScanVideo(InputFile& file, VideoScan* scan) {
  AnnexBReader reader(file);
  AccessUnitSplitter splitter;
  uint64_t size = 0;
  bool idr = false;
  bool any_idr = false;
  std::vector<uint32_t> all_sizes;
  std::vector<uint64_t> idr_units;  // access unit indices
  const auto close_unit = [&]() -> int {
    if (size > 0xFFFFFFFFu || all_sizes.size() >= 0xFFFFFFFFu) return kMuxLimitExceeded;
    if (idr) idr_units.push_back(all_sizes.size());
    all_sizes.push_back(uint32_t(size));
    size = 0;
    idr = false;
    return kMuxOk;
  };
  std::span<const uint8_t> nal;
  AnnexBReader::Result result;
  while ((result = reader.Next(&nal)) == AnnexBReader::Result::kUnit) {
    if (splitter.Feed(nal)) {
      if (int error = close_unit()) return error;
    }
    const int type = NalType(nal);
    const bool dropped = (type == kNalSps || type == kNalPps) && scan->parameter_sets.Offer(nal);
    if (!dropped) size += 4 + nal.size();
    if (type == kNalIdrSlice) idr = any_idr = true;
  }
  if (int error = ReaderError(result)) return error;
  if (splitter.current_has_picture()) {
    if (int error = close_unit()) return error;
  }
  if (all_sizes.empty()) return kMuxNoVideoSamples;
  if (scan->parameter_sets.sps().empty() || scan->parameter_sets.pps().empty()) {
    return kMuxNoParameterSets;
  }
  scan->sps = *ParseSps(scan->parameter_sets.sps().front());
  scan->timing = TimingFromSps(scan->sps);
  scan->first_access_unit = any_idr ? idr_units.front() : 0;
  all_sizes.erase(all_sizes.begin(), all_sizes.begin() + ptrdiff_t(scan->first_access_unit));
  scan->sample_sizes = std::move(all_sizes);
  scan->sync_samples.clear();
  for (uint64_t unit : idr_units) {
    scan->sync_samples.push_back(uint32_t(unit - scan->first_access_unit + 1));
  }
  return kMuxOk;
}

int VideoUnitWalker::Next(Unit* unit, bool* done) {
  std::span<const uint8_t> nal;
  const AnnexBReader::Result result = reader_.Next(&nal);
  if (result != AnnexBReader::Result::kUnit) {
    *done = true;
    return ReaderError(result);
  }
  if (splitter_.Feed(nal)) ++access_unit_;
  const int type = NalType(nal);
  unit->nal = nal;
  unit->access_unit = access_unit_;
  unit->kept = !((type == kNalSps || type == kNalPps) && stored_.IsStored(nal));
  *done = false;
  return kMuxOk;
}

}  // namespace convert
