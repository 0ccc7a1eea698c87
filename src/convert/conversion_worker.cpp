#include "convert/conversion_worker.h"

#include <mutex>
#include <utility>

namespace records {

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
  void Cut() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;
  platform::NoticeSink* target_;
};

// What a running worker needs alive until its thread ends.
struct WorkerLife {
  std::shared_ptr<card::RegionReader> reader;
  std::shared_ptr<DetachableSink> notices;
  std::shared_ptr<convert::TMovieConvTh> worker;
};

class MovieWorker final : public ConversionWorker {
 public:
  MovieWorker(std::shared_ptr<card::RegionReader> reader, const TRecord& record,
              const ConversionRequest& request, platform::NoticeSink& notices)
      : notices_(std::make_shared<DetachableSink>(notices)),
        worker_(std::make_shared<convert::TMovieConvTh>(*reader, record, request, *notices_)) {
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
  std::shared_ptr<convert::TMovieConvTh> worker_;
};

}  // namespace

ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices) {
  return [reader = std::move(reader), &notices](const ConversionRequest& request,
                                                const TRecord& record)
             -> std::unique_ptr<ConversionWorker> {
    if (!reader) return nullptr;
    return std::make_unique<MovieWorker>(reader, record, request, notices);
  };
}

ConversionRequest WholeRecordRequest(int line, const TRecord& record, const std::string& dir) {
  ConversionRequest r;
  r.convRecord = line;
  r.convStart = int32_t(uint32_t(record.bss_index) * 256u);
  r.convEnd = 0;
  r.convBaseName = card::FormatStamp(record.bss);
  r.outputDir = dir;
  r.splitAlways = true;
  return r;
}

}  // namespace records
