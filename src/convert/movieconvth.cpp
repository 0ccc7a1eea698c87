#include "convert/movieconvth.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "convert/conversion_errors.h"
#include "convert/indexed_mp4_writer.h"
#include "convert/integrity_block.h"
#include "convert/mp4_muxer.h"
#include "convert/mp4_postprocess.h"
#include "convert/output_name.h"
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
      reader_(region),
      writer_(format) {}

TMovieConvTh::~TMovieConvTh() {
  request_terminate();
  if (!thread_.joinable()) return;
  // The last owner may be the worker thread itself (see start()): it cannot join itself.
  if (thread_.get_id() == std::this_thread::get_id())
    thread_.detach();
  else
    thread_.join();
}

void TMovieConvTh::start(std::shared_ptr<void> keepAlive) {
  thread_ = std::thread([this, keepAlive = std::move(keepAlive)]() mutable {
    run();
    keepAlive.reset();  // may destroy this worker; nothing of it is used afterwards
  });
}

void TMovieConvTh::detach() {
  request_terminate();
  if (thread_.joinable()) thread_.detach();
}

void TMovieConvTh::join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TMovieConvTh::wait_finished(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, timeout, [this] { return done || failed || ended_; });
}

void TMovieConvTh::set_finish_callback(std::function<void()> callback) {
  std::lock_guard lock(callbackMutex_);
  finishCallback_ = std::move(callback);
}

std::vector<StreamGap> TMovieConvTh::gaps() const {
  std::lock_guard lock(mutex_);
  return gaps_;
}

void TMovieConvTh::NotifyFinished() {
  { std::lock_guard lock(mutex_); }  // a waiter between its test and its wait sees the change
  wake_.notify_all();
  std::lock_guard lock(callbackMutex_);
  if (finishCallback_) finishCallback_();
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
  if (idlePriority_) platform::SetCurrentThreadIdlePriority();
  done = false;
  failed = false;
  errorCode = 0;
  progress = 0;
  if (Convert() != Outcome::stopped) {
    NotifyFinished();
    WaitForTermination();
  }
  writer_.files().Remove();
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  wake_.notify_all();
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

// The next part's file. Parts are numbered in the order written, so converting a recording
// again overwrites its own earlier parts; a number whose file holds anything else is passed
// over and kept.
std::string TMovieConvTh::PartPath() {
  const OutputIdentity self{&record_, request_.convStart, endSector_};
  for (;;) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_part%02d", ++partNumber_);
    std::string path = request_.outputDir + request_.convBaseName + suffix + ".mp4";
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec) || ec;
    if (!exists || HoldsPartOf(path, self)) return path;
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
    if (muxer_) region_.close();
    if (o != Outcome::partDone) return o;
    o = FinishPart(read, before);
    region_.close();
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
  index_.Clear();
  writer_.BeginPart(request_.outputDir, muxer_ ? nullptr : &index_);
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
      if (!ResyncAfterDamage()) {
        if (reader_.error()) return Fail(reader_.error());
        break;  // the stream has ended
      }
    }
    if (terminate_requested()) return Stop();
    if (!writer_.WriteBox(reader_.box(), reader_)) return Fail(kErrWriteBox);
    const int32_t at = reader_.sector_index();
    read = Ring(int64_t(at) - partStart_);
    progress = Percent((read >> 1) + before);
    if (splitSector_ >= 0 && at == splitSector_ && reader_.stream_offset() == splitOffset_)
      return Outcome::partDone;
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
  // The part ended before its split point: the look-ahead found that key frame past the
  // stream's end (behind the end box, in stale data), so no further part follows.
  splitSector_ = -1;
  splitOffset_ = -1;
  return Outcome::partDone;
}

// A damaged box header (wrong magic or size) inside the recording: reading resumes at the
// next key frame before the range end, which for a whole recording is its last information
// sector. The end box, or damage in the recording's last block (where the stream may simply
// stop and older data follow), still ends the stream there.
bool TMovieConvTh::ResyncAfterDamage() {
  if (!reader_.header_rejected()) return false;
  const int32_t from = reader_.box_start_sector();
  const int64_t lastBlockStart = int64_t(endSector_) & ~int64_t(0xFF);
  const int64_t toLastBlock = Ring(lastBlockStart - partStart_);
  // A part that starts inside the last block, or damage inside it, ends there.
  if (toLastBlock > Ring(int64_t(endSector_) - partStart_) ||
      Ring(int64_t(from) - partStart_) >= toLastBlock)
    return false;
  if (!reader_.ResyncAtKeyFrame()) return false;
  const int32_t to = reader_.box_start_sector();
  {
    std::lock_guard lock(mutex_);
    gaps_.push_back({from, to});
  }
  index_.AddGap(from, to);
  notices_.notice(platform::NoticeKind::error,
                  "Запись повреждена: секторы с " + std::to_string(from) + " по " +
                      std::to_string(to) + " пропущены (" +
                      std::to_string(Ring(int64_t(to) - from)) + " сект.)");
  // A split point chosen before the damage may lie in the skipped stretch: choose anew.
  splitSector_ = -1;
  splitOffset_ = -1;
  splitSearched_ = false;
  return true;
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

// The part's .mp4: in one pass from the index, or through the elementary-stream files and the
// muxer when one is set. 0 or the error code.
int TMovieConvTh::WritePart(const std::string& path, SampleCrcs& crcs,
                            const std::function<void(double)>& onProgress) {
  if (!muxer_) {
    if (const int r = index_.Finish()) return r;
    return WriteIndexedMp4(index_, reader_, path, crcs, &terminate_, onProgress);
  }
  ElementaryStreamFiles& files = writer_.files();
  const int r = muxer_(files.video_path().c_str(), files.audio_path().c_str(), path.c_str());
  files.Remove();
  return r;
}

// Step 12: write the part's .mp4 and seal it.
TMovieConvTh::Outcome TMovieConvTh::FinishPart(int64_t read, int64_t before) {
  if (!writer_.part_open()) return Outcome::partDone;
  // Where reading the part ended; copying the samples moves the reader again.
  const int32_t partEnd = reader_.sector_index();
  const bool closed = muxer_ ? writer_.files().Close() : true;
  const bool single = splitSector_ < 0 && partStart_ == request_.convStart;
  const std::string path = single ? SinglePath() : PartPath();
  if (!closed) return Fail(kErrWriteBox);
  if (path.size() > kMaxPathLength) return Fail(kErrPathTooLong);
  if (terminate_requested()) return Stop();
  SampleCrcs crcs;
  // Writing counts for the second half of the part's share, as muxing does.
  const auto onProgress = [this, read, before](double done) {
    progress = Percent((read >> 1) + before + int64_t(done * double(read - (read >> 1))));
  };
  const int r = WritePart(path, crcs, onProgress);
  if (r == kIndexedWriteCancelled) return Stop();  // the writer removed its file
  if (r != 0) return Fail(r);
  if (terminate_requested()) {
    // Cancelled while muxing: the part is discarded like a part being read.
    std::remove(path.c_str());
    return Stop();
  }
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
    const PostProcessOutcome sealed =
        PostProcessMp4Outcome(path, block.data(), block.size(), errorCode, notices_,
                              muxer_ ? nullptr : &crcs);
    // A file without its integrity record is not a finished conversion; the post-processor
    // left it as the muxer wrote it.
    if (sealed != PostProcessOutcome::sealed && sealed != PostProcessOutcome::alreadySealed)
      return Fail(kErrSealFailed);
  }
  if (partRangeSink_) partRangeSink_(path, partStart_, partEnd);
  if (partSink_) partSink_(path);
  return Outcome::partDone;
}

}  // namespace convert
