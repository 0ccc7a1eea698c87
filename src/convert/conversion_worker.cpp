#include "convert/conversion_worker.h"

#include <mutex>
#include <utility>

#include "convert/output_name.h"
#include "convert/part_telemetry.h"

namespace convert {

namespace {

// Forwards notices until cut off: a worker left to end by itself must not reach a window
// that is gone.
class DetachableSink final : public platform::NoticeSink {
 public:
  explicit DetachableSink(platform::NoticeSink& target) : target_(&target) {}
  void notice(platform::NoticeKind kind, const std::string& text) override {
    std::lock_guard lock(mutex_);
    if (target_) target_->notice(kind, text);
  }
  // The telemetry failure report, cut off together with the notices.
  void set_telemetry_failed(std::function<void(const std::string&)> failed) {
    std::lock_guard lock(mutex_);
    telemetryFailed_ = std::move(failed);
  }
  void telemetry_failed(const std::string& mp4) {
    std::lock_guard lock(mutex_);
    if (target_ && telemetryFailed_) telemetryFailed_(mp4);
  }
  void Cut() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
    telemetryFailed_ = nullptr;
  }

 private:
  std::mutex mutex_;
  platform::NoticeSink* target_;
  std::function<void(const std::string&)> telemetryFailed_;
};

// What a running worker needs alive until its thread ends.
struct WorkerLife {
  std::shared_ptr<card::RegionReader> reader;
  std::shared_ptr<DetachableSink> notices;
  std::shared_ptr<TMovieConvTh> worker;
};

class MovieWorker final : public ConversionWorker {
 public:
  MovieWorker(std::shared_ptr<card::RegionReader> reader, const records::TRecord& record,
              const ConversionRequest& request, platform::NoticeSink& notices,
              std::function<void(const std::string&)> telemetryFailed = nullptr,
              bool telemetry = false)
      : notices_(std::make_shared<DetachableSink>(notices)),
        worker_(std::make_shared<TMovieConvTh>(*reader, record, request, *notices_)) {
    // Written on the worker thread right after each part, while the worker holds the reader.
    if (telemetry) {
      notices_->set_telemetry_failed(std::move(telemetryFailed));
      card::RegionReader* region = reader.get();
      DetachableSink* sink = notices_.get();
      worker_->set_part_range_sink(
          [region, sink, record](const std::string& mp4, int32_t first, int32_t last) {
            std::string error;
            if (!WritePartTelemetry(*region, record, first, last, mp4, error))
              sink->telemetry_failed(mp4);
          });
    }
    // The thread keeps the worker, the reader and the sink alive until it ends by itself.
    worker_->start(std::make_shared<WorkerLife>(WorkerLife{std::move(reader), notices_, worker_}));
  }
  // Returns at once, also while the worker writes a file: the worker stops at its next check,
  // deletes the part it was writing and ends on its own thread, without notices from then on.
  ~MovieWorker() override {
    worker_->set_finish_callback({});
    notices_->Cut();
    worker_->detach();
  }

  ConvWorkerStatus status() const override {
    ConvWorkerStatus s;
    s.progress = worker_->progress.load();
    s.done = worker_->done.load();
    s.failed = worker_->failed.load();
    s.errorCode = worker_->errorCode.load();
    return s;
  }

  void set_finished_callback(std::function<void()> callback) override {
    worker_->set_finish_callback(callback);
    if (callback && (worker_->done || worker_->failed)) callback();
  }

 private:
  std::shared_ptr<DetachableSink> notices_;
  std::shared_ptr<TMovieConvTh> worker_;
};

}  // namespace

ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices) {
  return MovieConversionLauncher(std::move(reader), notices, TelemetryChoice{});
}

ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices,
                                           TelemetryChoice telemetry) {
  return [reader = std::move(reader), &notices, telemetry = std::move(telemetry)](
             const ConversionRequest& request,
             const records::TRecord& record) -> std::unique_ptr<ConversionWorker> {
    if (!reader) return nullptr;
    const bool wanted = telemetry.wanted && telemetry.wanted();
    return std::make_unique<MovieWorker>(reader, record, request, notices, telemetry.failed,
                                         wanted);
  };
}

ConversionRequest WholeRecordRequest(int line, const records::TRecord& record,
                                     const std::string& dir) {
  ConversionRequest r;
  r.convRecord = line;
  r.convStart = int32_t(uint32_t(record.bss_index) * 256u);
  r.convEnd = 0;
  // Never over another recording's file: a shared stamp gets the next free "-N" name.
  r.convBaseName = convert::ChooseOutputName(dir, card::FormatStamp(record.bss),
                                             convert::WholeRecordIdentity(record)).baseName;
  r.outputDir = dir;
  r.splitAlways = true;
  return r;
}

}  // namespace convert
