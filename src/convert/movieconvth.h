// TMovieConvTh: the conversion worker. Turns one record, or a range of it, into .mp4 files in
// the output folder: reads the record stream part by part, cutting a new part at a key frame
// once both elementary streams of a part (as they would be written to files) reach the split
// limit, and writes each part's .mp4 in one pass: the part is indexed while it is read, then
// ftyp and moov are written once and the samples are copied from the ring into mdat, and the
// post-processor seals the file with the sample CRCs computed on the way. No temporary
// elementary-stream files are written (the index takes their place; they would only be read
// back once by the muxer). With a muxer set (tests), the part's elementary streams go into two
// temporary files in the output folder, which the muxer turns into the .mp4.
//
// A box with a wrong magic or size inside the recording does not end it: reading resumes at
// the next key frame before the range end, and the skipped sectors are kept as gaps (see
// gaps()) and reported as a notice.
//
// Threads: start() runs run() on its own std::thread (idle priority unless told otherwise).
// The status fields are written only by the worker (errorCode also by the post-processor, on
// the worker thread) and may be polled from any thread; wait_finished() blocks until `done`
// or `failed` without polling. After `done` or `failed` the worker waits, without spinning,
// until request_terminate(); a request while converting is seen between boxes, discards the
// part being read (its temporary files and an .mp4 muxed after the request are deleted) and
// ends the worker. The destructor requests termination and joins, unless detach() let the
// worker end by itself. The region reader must outlive the worker and have no other user
// while it runs; the part sink and the finish callback are called on the worker thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "card/region_reader.h"
#include "convert/box_writer.h"
#include "convert/part_index.h"
#include "convert/sample_crc.h"
#include "convert/stream_reader.h"
#include "platform/notice_sink.h"
#include "records/trecord.h"

namespace convert {

// Sectors the reader skipped after a damaged box: from the damaged box's sector up to the
// sector of the key frame where reading resumed.
struct StreamGap {
  int32_t fromSector = 0;
  int32_t toSector = 0;
};

// 1023 MiB: both elementary streams of a part together, start codes and ADTS headers included.
inline constexpr int64_t kSplitLimit = 1072693248;

// What to convert and where to write, filled by the launcher before the worker starts.
struct ConversionRequest {
  int32_t convStart = 0;  // sector index where reading begins
  int32_t convEnd = 0;    // sector index where reading ends; 0: the end of the record
  int convRecord = 0;     // index of the record in the record list (informational)
  std::string convBaseName;  // output name without folder and extension
  std::string outputDir;     // ends with '/' (or is empty for the working directory)
  bool splitAlways = true;   // an NTFS output volume does not lift the split limit
};

class TMovieConvTh {
 public:
  // Receives the path of every .mp4 written, after it has been sealed.
  using PartSink = std::function<void(const std::string& mp4Path)>;
  // Muxes the two elementary-stream files into the .mp4; 0 or the muxer's error code.
  using Muxer = std::function<int(const char* h264Path, const char* aacPath, const char* mp4Path)>;

  TMovieConvTh(card::RegionReader& region, const records::TRecord& record,
               ConversionRequest request, platform::NoticeSink& notices,
               int64_t splitLimit = kSplitLimit, AudioFormat& format = ProgramAudioFormat());
  ~TMovieConvTh();
  TMovieConvTh(const TMovieConvTh&) = delete;
  TMovieConvTh& operator=(const TMovieConvTh&) = delete;

  void set_part_sink(PartSink sink) { partSink_ = std::move(sink); }
  // Receives each sealed part with the sector range it was read from (first sector, the
  // sector the reader stood on at the part's end); on the worker thread, which may still
  // read the region through the same reader.
  using PartRangeSink =
      std::function<void(const std::string& mp4Path, int32_t firstSector, int32_t lastSector)>;
  void set_part_range_sink(PartRangeSink sink) { partRangeSink_ = std::move(sink); }
  // Writes each part's elementary streams into temporary files and muxes them with `muxer`
  // (process() or a test's stand-in) instead of writing the .mp4 in one pass. Call before
  // start().
  void set_muxer(Muxer muxer) { muxer_ = std::move(muxer); }
  // Runs the worker thread at normal priority instead of idle (the command line, where the
  // user waits on nothing else). Call before start().
  void set_idle_priority(bool idle) { idlePriority_ = idle; }
  // Called once on the worker thread right after `done` or `failed` is set. Replacing it
  // (or clearing it with an empty function) waits for a call in progress.
  void set_finish_callback(std::function<void()> callback);
  // Starts run() on the worker thread. Call at most once. `keepAlive` is held by the thread
  // until run() returns (a shared owner of this worker, for detach()).
  void start(std::shared_ptr<void> keepAlive = nullptr);
  // Asks the worker to terminate and lets its thread end by itself; the owner must have
  // passed a shared owner of this worker to start() so that the object outlives the thread.
  void detach();
  // Waits until `done` or `failed` is set, or the worker has ended; false on timeout.
  bool wait_finished(std::chrono::milliseconds timeout);
  // Waits until run() has returned (after a termination request).
  void join();
  // The gaps left by damaged boxes so far, in reading order.
  std::vector<StreamGap> gaps() const;
  // The conversion, then the wait for the termination request.
  void run();
  // Asks the worker to end; safe from any thread, any number of times.
  void request_terminate();
  bool terminate_requested() const { return terminate_.load(); }
  // True once run() has returned (after a termination request).
  bool ended() const { return ended_.load(); }

  std::atomic<int> progress{0};
  std::atomic<bool> done{false};
  std::atomic<bool> failed{false};
  std::atomic<int> errorCode{0};

 private:
  enum class Outcome { partDone, finished, failed, stopped };

  Outcome Convert();
  Outcome ConvertPart(int64_t& read, int64_t before);
  Outcome ReadPartStart();
  Outcome FinishPart(int64_t read, int64_t before);
  int WritePart(const std::string& path, SampleCrcs& crcs,
                const std::function<void(double)>& onProgress);
  void ChooseSplitPoint();
  bool ResyncAfterDamage();
  Outcome Fail(int code);
  Outcome Stop();
  void WaitForTermination();
  void NotifyFinished();

  int64_t Ring(int64_t d) const;
  int Percent(int64_t sectors) const;
  std::string SinglePath() const;
  std::string PartPath();

  card::RegionReader& region_;
  const records::TRecord record_;
  const ConversionRequest request_;
  platform::NoticeSink& notices_;
  const int64_t splitLimit_;
  PartSink partSink_;
  PartRangeSink partRangeSink_;
  Muxer muxer_;

  StreamReader reader_;
  BoxWriter writer_;
  PartIndex index_;
  std::vector<uint8_t> saveArea_;  // the box buffer during a split look-ahead only
  int32_t partStart_ = 0;
  int partNumber_ = 0;  // of the last part path handed out
  int32_t endSector_ = 0;
  int64_t span_ = 1;
  int32_t splitSector_ = -1;
  int32_t splitOffset_ = -1;
  bool splitSearched_ = false;  // a look-ahead of this part found no key frame in range
  bool outputIsNtfs_ = false;
  bool idlePriority_ = true;
  std::vector<StreamGap> gaps_;  // guarded by mutex_
  std::function<void()> finishCallback_;
  std::mutex callbackMutex_;

  std::atomic<bool> terminate_{false};
  std::atomic<bool> ended_{false};
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace convert
