#include "convert/conversion_worker.h"

#include <utility>

namespace records {

namespace {

class MovieWorker final : public ConversionWorker {
 public:
  MovieWorker(std::shared_ptr<card::RegionReader> reader, const TRecord& record,
              const ConversionRequest& request, platform::NoticeSink& notices)
      : worker_(std::make_shared<convert::TMovieConvTh>(*reader, record, request, notices)) {
    // The thread keeps the worker and the reader alive until it ends by itself.
    worker_->start(std::make_shared<std::pair<std::shared_ptr<convert::TMovieConvTh>,
                                              std::shared_ptr<card::RegionReader>>>(worker_,
                                                                                   reader));
  }
  // Returns at once, also while the worker muxes: the worker stops at its next check,
  // deletes the part it was writing and ends on its own thread.
  ~MovieWorker() override {
    worker_->set_finish_callback({});
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
