#include "convert/conversion_worker.h"

#include "convert/output_name.h"

namespace records {

namespace {

class MovieWorker final : public ConversionWorker {
 public:
  MovieWorker(card::RegionReader& reader, const TRecord& record, const ConversionRequest& request,
              platform::NoticeSink& notices)
      : worker_(reader, record, request, notices) {
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
  convert::TMovieConvTh worker_;
};

}  // namespace

ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices) {
  return [reader = std::move(reader), &notices](const ConversionRequest& request,
                                                const TRecord& record)
             -> std::unique_ptr<ConversionWorker> {
    if (!reader) return nullptr;
    return std::make_unique<MovieWorker>(*reader, record, request, notices);
  };
}

ConversionRequest WholeRecordRequest(int line, const TRecord& record, const std::string& dir) {
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

}  // namespace records
