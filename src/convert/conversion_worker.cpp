#include "convert/conversion_worker.h"

#include "convert/part_telemetry.h"

namespace convert {

namespace {

class MovieWorker final : public ConversionWorker {
 public:
  MovieWorker(card::RegionReader& reader, const records::TRecord& record, const ConversionRequest& request,
              platform::NoticeSink& notices,
              std::function<void(const std::string&)> telemetryFailed = nullptr,
              bool telemetry = false)
      : worker_(reader, record, request, notices) {
    // Written on the worker thread right after each part, while the worker holds the reader.
    if (telemetry)
      worker_.set_part_range_sink([&reader, record, telemetryFailed](
                                      const std::string& mp4, int32_t first, int32_t last) {
        std::string error;
        if (!convert::WritePartTelemetry(reader, record, first, last, mp4, error) &&
            telemetryFailed)
          telemetryFailed(mp4);
      });
    worker_.start();
  }
  // The worker's destructor asks it to terminate and waits for its thread: a conversion
  // stops between boxes and deletes the part it was reading.
  ~MovieWorker() override = default;

  ConvWorkerStatus status() const override {
    ConvWorkerStatus s;
    s.progress = worker_.progress.load();
    s.done = worker_.done.load();
    s.failed = worker_.failed.load();
    s.errorCode = worker_.errorCode.load();
    return s;
  }

 private:
  TMovieConvTh worker_;
};

}  // namespace

ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices) {
  return [reader = std::move(reader), &notices](const ConversionRequest& request,
                                                const records::TRecord& record)
             -> std::unique_ptr<ConversionWorker> {
    if (!reader) return nullptr;
    return std::make_unique<MovieWorker>(*reader, record, request, notices);
  };
}

ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices,
                                           TelemetryChoice telemetry) {
  return [reader = std::move(reader), &notices, telemetry = std::move(telemetry)](
             const ConversionRequest& request,
             const records::TRecord& record) -> std::unique_ptr<ConversionWorker> {
    if (!reader) return nullptr;
    const bool wanted = telemetry.wanted && telemetry.wanted();
    return std::make_unique<MovieWorker>(*reader, record, request, notices, telemetry.failed,
                                         wanted);
  };
}

ConversionRequest WholeRecordRequest(int line, const records::TRecord& record, const std::string& dir) {
  ConversionRequest r;
  r.convRecord = line;
  r.convStart = int32_t(uint32_t(record.bss_index) * 256u);
  r.convEnd = 0;
  r.convBaseName = card::FormatStamp(record.bss);
  r.outputDir = dir;
  r.splitAlways = true;
  return r;
}

}  // namespace convert
