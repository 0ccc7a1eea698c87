// TMovieConvTh: the conversion worker. Turns one record, or a range of it, into .mp4 files in
// the output folder: reads the record stream, writes an H.264 byte stream and an ADTS stream
// into two temporary files, cuts a new part at a key frame once both streams of a part reach
// the split limit, muxes each part with process() and seals it with the post-processor.
//
// Threads: start() runs run() on its own std::thread at idle priority. The status fields are
// written only by the worker (errorCode also by the post-processor, on the worker thread) and
// may be polled from any thread. After `done` or `failed` the worker waits, without spinning,
// until request_terminate(); a request while converting is seen between boxes, discards the
// part being read (its temporary files are deleted) and ends the worker. The destructor
// requests termination and joins. The region reader must outlive the worker and have no other
// user while it runs; the part sink is called on the worker thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "card/region_reader.h"
#include "convert/box_writer.h"
#include "convert/stream_reader.h"
#include "platform/notice_sink.h"
#include "records/trecord.h"

namespace convert {

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
  // Replaces process() (tests). Call before start().
  void set_muxer(Muxer muxer) { muxer_ = std::move(muxer); }
  // Starts run() on the worker thread. Call at most once.
  void start();
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
  Outcome FinishPart();
  void ChooseSplitPoint();
  Outcome Fail(int code);
  Outcome Stop();
  void WaitForTermination();

  int64_t Ring(int64_t d) const;
  int Percent(int64_t sectors) const;
  std::string SinglePath() const;
  std::string PartPath() const;

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
  std::vector<uint8_t> saveArea_;  // the box buffer during a split look-ahead only
  int32_t partStart_ = 0;
  int32_t endSector_ = 0;
  int64_t span_ = 1;
  int32_t splitSector_ = -1;
  int32_t splitOffset_ = -1;
  bool splitSearched_ = false;  // a look-ahead of this part found no key frame in range
  bool outputIsNtfs_ = false;

  std::atomic<bool> terminate_{false};
  std::atomic<bool> ended_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace convert
