#include "convert/h264_video_scan.h"

#include <algorithm>

#include "convert/h264_bit_reader.h"
#include "convert/mp4_muxer.h"

namespace convert {

int ReaderError(AnnexBReader::Result result) {
  switch (result) {
    case AnnexBReader::Result::kReadError: return kMuxReadFailed;
    case AnnexBReader::Result::kUnitTooLarge: return kMuxNalTooLarge;
    default: return kMuxOk;
  }
}

bool IsBSlice(std::span<const uint8_t> nal) {
  const int type = NalType(nal);
  if (type != kNalSlice && type != kNalIdrSlice) return false;
  // first_mb_in_slice and slice_type lie in the first bytes after the header; unescape just
  // those (no allocation per picture).
  uint8_t rbsp[16];
  size_t n = 0;
  int zeros = 0;
  for (size_t i = 1; i < nal.size() && n < sizeof rbsp; ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = nal[i] == 0 ? zeros + 1 : 0;
    rbsp[n++] = nal[i];
  }
  H264BitReader bits(std::span<const uint8_t>(rbsp, n));
  bits.Ue();  // first_mb_in_slice
  const uint32_t sliceType = bits.Ue();
  return !bits.failed() && sliceType % 5 == 1;
}

void VideoScanner::CloseUnit() {
  if (size_ > 0xFFFFFFFFu || all_sizes_.size() >= 0xFFFFFFFFu) {
    error_ = kMuxLimitExceeded;
    return;
  }
  if (idr_) idr_units_.push_back(all_sizes_.size());
  all_sizes_.push_back(uint32_t(size_));
  size_ = 0;
  idr_ = false;
}

bool VideoScanner::Feed(std::span<const uint8_t> nal) {
  if (error_) return false;
  if (splitter_.Feed(nal)) {
    CloseUnit();
    ++access_unit_;
    if (error_) return false;
  }
  const int type = NalType(nal);
  const bool dropped = (type == kNalSps || type == kNalPps) && parameter_sets_.Offer(nal);
  if (!dropped) size_ += 4 + nal.size();
  if (type == kNalIdrSlice) idr_ = any_idr_ = true;
  if (IsBSlice(nal)) error_ = kMuxBFrames;
  return !dropped;
}

int VideoScanner::Finish(VideoScan* scan) {
  if (error_) return error_;
  if (splitter_.current_has_picture()) CloseUnit();
  if (error_) return error_;
  if (all_sizes_.empty()) return kMuxNoVideoSamples;
  if (parameter_sets_.sps().empty() || parameter_sets_.pps().empty()) return kMuxNoParameterSets;
  scan->parameter_sets = std::move(parameter_sets_);
  scan->sps = *ParseSps(scan->parameter_sets.sps().front());
  scan->timing = TimingFromSps(scan->sps);
  scan->first_access_unit = any_idr_ ? idr_units_.front() : 0;
  all_sizes_.erase(all_sizes_.begin(), all_sizes_.begin() + ptrdiff_t(scan->first_access_unit));
  scan->sample_sizes = std::move(all_sizes_);
  scan->sync_samples.clear();
  for (uint64_t unit : idr_units_)
    scan->sync_samples.push_back(uint32_t(unit - scan->first_access_unit + 1));
  return kMuxOk;
}

int ScanVideo(InputFile& file, VideoScan* scan) {
  AnnexBReader reader(file);
  VideoScanner scanner;
  std::span<const uint8_t> nal;
  AnnexBReader::Result result;
  while ((result = reader.Next(&nal)) == AnnexBReader::Result::kUnit) {
    scanner.Feed(nal);
    if (scanner.error()) return scanner.error();
  }
  if (int error = ReaderError(result)) return error;
  return scanner.Finish(scan);
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
