#include "convert/movieconvth.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "convert/conversion_errors.h"
#include "convert/integrity_block.h"
#include "convert/mp4_muxer.h"
#include "convert/mp4_postprocess.h"
#include "platform/thread_priority.h"

namespace convert {

namespace {

constexpr int32_t kLookAheadSectors = 64;
constexpr size_t kTempNameLength = sizeof("hcXXXXXX.264") - 1;

// The size limit is lifted only for an NTFS volume named by a drive letter; output folders
// here never carry one, so splitting always applies.
bool OutputVolumeIsNtfs(const std::string&, bool) { return false; }

}  // namespace

TMovieConvTh::TMovieConvTh(card::RegionReader& region, const records::TRecord& record,
                           ConversionRequest request, platform::NoticeSink& notices,
                           int64_t splitLimit, AudioFormat& format)
    : region_(region),
      record_(record),
      request_(std::move(request)),
      notices_(notices),
      splitLimit_(splitLimit),
      muxer_(process),
      reader_(region),
      writer_(format) {}

TMovieConvTh::~TMovieConvTh() {
  request_terminate();
  if (thread_.joinable()) thread_.join();
}

void TMovieConvTh::start() {
  thread_ = std::thread([this] { run(); });
}

void TMovieConvTh::request_terminate() {
  {
    std::lock_guard lock(mutex_);
    terminate_ = true;
  }
  wake_.notify_all();
}

void TMovieConvTh::WaitForTermination() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return terminate_.load(); });
}

void TMovieConvTh::run() {
  platform::SetCurrentThreadIdlePriority();
  done = false;
  failed = false;
  errorCode = 0;
  progress = 0;
  if (Convert() != Outcome::stopped) WaitForTermination();
  writer_.files().Remove();
  ended_ = true;
}

TMovieConvTh::Outcome TMovieConvTh::Fail(int code) {
  writer_.files().Remove();
  errorCode = code;
  failed = true;
  return Outcome::failed;
}

TMovieConvTh::Outcome TMovieConvTh::Stop() {
  writer_.files().Remove();
  return Outcome::stopped;
}

int64_t TMovieConvTh::Ring(int64_t d) const {
  return d < 0 ? d + int64_t(region_.geometry().N_sectors_in_rsr) : d;
}

int TMovieConvTh::Percent(int64_t sectors) const {
  const double p = double(sectors) / double(span_) * 100.0;
  return int(std::clamp(p, 0.0, 100.0));
}

std::string TMovieConvTh::SinglePath() const {
  return request_.outputDir + request_.convBaseName + ".mp4";
}

std::string TMovieConvTh::PartPath() const {
  for (int n = 1;; ++n) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_part%02d", n);
    std::string path = request_.outputDir + request_.convBaseName + suffix + ".mp4";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) return path;
  }
}

TMovieConvTh::Outcome TMovieConvTh::Convert() {
  const int64_t n = region_.geometry().N_sectors_in_rsr;
  partStart_ = request_.convStart;
  endSector_ = request_.convEnd != 0 ? request_.convEnd : record_.ess_index * 256 + 255;
  span_ = endSector_ - int64_t(request_.convStart);
  if (span_ < 1) span_ += n;
  span_ = std::max<int64_t>(span_, 1);
  reader_.set_range_end(endSector_);
  outputIsNtfs_ = OutputVolumeIsNtfs(request_.outputDir, request_.splitAlways);
  // Refuse paths the output buffers could not hold before reading anything.
  if (request_.outputDir.size() + kTempNameLength > kMaxPathLength ||
      SinglePath().size() > kMaxPathLength)
    return Fail(kErrPathTooLong);

  while (!terminate_requested()) {
    if (region_.geometry().N_rsf == 0) return Fail(kErrNoPartitionFiles);
    const int64_t before = Ring(int64_t(partStart_) - request_.convStart);
    int64_t read = 0;
    Outcome o = ConvertPart(read, before);
    region_.close();
    if (o != Outcome::partDone) return o;
    o = FinishPart();
    if (o != Outcome::partDone) return o;
    progress = Percent(read + before);
    if (splitSector_ < 0) {
      progress = 100;
      done = true;
      return Outcome::finished;
    }
    partStart_ = splitSector_;
  }
  return Stop();
}

// Steps 2 to 9: position on the first key frame of the part and write the box before it.
TMovieConvTh::Outcome TMovieConvTh::ReadPartStart() {
  reader_.Reset();
  writer_.BeginPart(request_.outputDir);
  splitSector_ = -1;
  splitOffset_ = -1;
  splitSearched_ = false;
  reader_.set_sector_index(partStart_);
  if (!reader_.StepSector(0)) return Fail(reader_.error());
  if (!reader_.FindKeyFrame(true)) return Fail(kErrNoKeyFrame);
  if (terminate_requested()) return Stop();
  reader_.set_box_count(1);
  const bool preceded = reader_.StepBackBox();
  if (!preceded) {
    // Nothing readable before the key frame (the first recording on a card): the part
    // starts with the key frame itself.
    if (reader_.error() || !reader_.RewindToBoxStart()) return Fail(kErrStepBack);
    reader_.set_box_count(0);
  }
  reader_.LoadConfiguration();
  if (reader_.error()) return Fail(reader_.error());
  if (!reader_.ReadNextBox()) return Fail(kErrRereadKeyFrame);
  if (terminate_requested()) return Stop();
  if (preceded && !reader_.StepBackBox()) return Fail(kErrStepBack);
  if (terminate_requested()) return Stop();
  if (!writer_.WriteBox(reader_.box(), reader_)) return Fail(kErrWriteBox);
  return Outcome::partDone;
}

TMovieConvTh::Outcome TMovieConvTh::ConvertPart(int64_t& read, int64_t before) {
  if (Outcome o = ReadPartStart(); o != Outcome::partDone) return o;
  int32_t previous = reader_.sector_index();
  // Whole records end when the reader steps onto the record's last information sector; a
  // step back over it while positioning on the first key frame does not count.
  const bool wholeRecord = request_.convEnd == 0;
  if (wholeRecord) reader_.set_end_reached(false);
  for (;;) {
    if (!reader_.ReadNextBox()) {
      if (reader_.error()) return Fail(reader_.error());
      break;  // the stream has ended
    }
    if (terminate_requested()) return Stop();
    if (!writer_.WriteBox(reader_.box(), reader_)) return Fail(kErrWriteBox);
    const int32_t at = reader_.sector_index();
    read = Ring(int64_t(at) - partStart_);
    progress = Percent((read >> 1) + before);
    if (splitSector_ >= 0 && at == splitSector_ && reader_.stream_offset() == splitOffset_) break;
    if (splitOffset_ < 0 && !splitSearched_ && writer_.bytes_written() >= splitLimit_ &&
        !outputIsNtfs_ && !reader_.stream_ended()) {
      ChooseSplitPoint();
      if (reader_.error()) return Fail(reader_.error());
    }
    if (reader_.end_reached()) break;
    if (at < endSector_ || endSector_ < previous) {
      previous = at;
      continue;
    }
    reader_.set_end_reached(true);
    break;
  }
  return Outcome::partDone;
}

// The split point is the start of the box before the first key frame found from 64 sectors
// ahead, and only inside the range: a key frame past its end belongs to other data. The
// reader, its box and its end flags are restored afterwards.
void TMovieConvTh::ChooseSplitPoint() {
  splitSearched_ = true;
  const StreamReader::Position saved = reader_.position();
  const auto box = reader_.box_buffer();
  saveArea_.assign(box.begin(), box.end());
  if (Ring(int64_t(endSector_) - saved.sector) > kLookAheadSectors + 1 &&
      reader_.StepSector(kLookAheadSectors)) {
    reader_.set_box_count(0);
    reader_.set_stream_offset(0);
    reader_.set_box_size(0);
    reader_.set_box_magic(0);
    if (reader_.FindKeyFrame(true)) {
      reader_.set_box_count(1);
      if (!reader_.StepBackBox()) reader_.set_box_count(0);
      if (!reader_.error()) {
        splitSector_ = reader_.sector_index();
        splitOffset_ = reader_.stream_offset();
      }
    }
  }
  std::copy(saveArea_.begin(), saveArea_.end(), box.begin());
  std::vector<uint8_t>().swap(saveArea_);
  if (reader_.error()) return;
  reader_.SetPosition(saved);
}

// Step 12: mux the part's elementary streams and seal the .mp4.
TMovieConvTh::Outcome TMovieConvTh::FinishPart() {
  ElementaryStreamFiles& files = writer_.files();
  if (!files.is_open()) return Outcome::partDone;
  const bool closed = files.Close();
  const bool single = splitSector_ < 0 && partStart_ == request_.convStart;
  const std::string path = single ? SinglePath() : PartPath();
  if (!closed) return Fail(kErrWriteBox);
  if (path.size() > kMaxPathLength) return Fail(kErrPathTooLong);
  if (terminate_requested()) return Stop();
  const int r = muxer_(files.video_path().c_str(), files.audio_path().c_str(), path.c_str());
  files.Remove();
  if (r != 0) return Fail(r);
  if (errorCode == 0) {
    IntegrityBlockInput in;
    in.bss = &record_.bss;
    in.ess = &record_.ess;
    in.firstBlock = record_.bss_index;
    in.lastBlock = record_.ess_index;
    in.partStart = partStart_;
    in.endSector = endSector_;
    in.mp4Path = path;
    const std::vector<uint8_t> block = BuildIntegrityBlock(in);
    PostProcessMp4(path, block.data(), block.size(), errorCode, notices_);
  }
  if (partSink_) partSink_(path);
  return Outcome::partDone;
}

}  // namespace convert
