// korvan-cli convert MEDIUM OUTDIR [--records 0,2,5 | --all] [--range FIRST LAST --record N]:
// scans the card like the record list, then converts the chosen recordings one worker at a
// time (or one range of one recording), printing each written .mp4 path on stdout. Ctrl+C
// cancels the running worker, which deletes its temporary files; parts already written stay.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "card/card_medium.h"
#include "cli/cli_notice_sink.h"
#include "cli/commands.h"
#include "cli/convert_options.h"
#include "cli/open_medium.h"
#include "cli/progress_line.h"
#include "cli/scan_incomplete.h"
#include "convert/movieconvth.h"
#include "convert/mp4_muxer.h"
#include "convert/mp4_postprocess.h"
#include "convert/part_telemetry.h"
#include "preview/range_name.h"
#include "preview/range_positions.h"
#include "convert/output_name.h"
#include "records/scan_whole_ring.h"
#include "records/record_line.h"

namespace cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
void OnInterrupt(int) { gInterrupted = 1; }

// Installs the cancel handler for SIGINT and SIGTERM for its lifetime. A signal the shell
// made us ignore (SIGINT of a background job) stays ignored.
class InterruptGuard {
 public:
  InterruptGuard() {
    gInterrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &oldInt_);
    if (oldInt_.sa_handler == SIG_IGN) sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &sa, &oldTerm_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }

 private:
  struct sigaction oldInt_ {}, oldTerm_ {};
};

// Notices raised while converting (the post-processor's) go straight to stderr.
class StderrNoticeSink final : public platform::NoticeSink {
 public:
  void notice(platform::NoticeKind, const std::string& text) override {
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "korvan-cli: %s\n", text.c_str());
  }

 private:
  std::mutex mutex_;
};

struct Job {
  size_t index = 0;
  records::TRecord record;
  convert::ConversionRequest request;
  int64_t blocks = 1;
  bool wholeRecord = true;  // its output name is chosen just before it starts
};

// A range gets the first free name "<stamp>_NNN", as the preview names its ranges.
std::string RangeBaseName(const std::string& dir, const records::TRecord& r) {
  return preview::FirstFreeRangeName(dir, card::FormatStamp(r.bss));
}

// Turns a range of slider positions into its sectors, as the preview's buttons do.
int RangeInSectors(ConvertOptions& o, const std::vector<records::TRecord>& recs,
                   card::CardMedium& medium) {
  if (!o.rangeInBlocks || o.rangeRecord >= recs.size()) return 0;
  const records::TRecord& r = recs[o.rangeRecord];
  preview::PreviewRange range;
  std::string error;
  if (!preview::RangeForPositions(*medium.regionReader(), medium.N_s_s, r,
                                  records::RecordBlocks(r), int(o.rangeFirst), int(o.rangeLast),
                                  range, error))
    return Fail(1, error);
  o.rangeFirst = range.convStart;
  o.rangeLast = range.convEnd;
  return 0;
}

// Collects the jobs, or returns the failure status after printing why.
int PlanJobs(const ConvertOptions& o, const std::vector<records::TRecord>& recs,
             uint32_t regionSectors, std::vector<Job>& jobs) {
  const auto job = [&](size_t i) {
    Job j;
    j.index = i;
    j.record = recs[i];
    j.blocks = std::max<int64_t>(1, records::RecordBlocks(recs[i]));
    j.request.convRecord = int(i);
    j.request.convStart = recs[i].bss_index * 256;
    j.request.convBaseName = card::FormatStamp(recs[i].bss);
    j.request.outputDir = o.outputDir;
    j.request.splitAlways = true;
    return j;
  };
  if (o.range) {
    if (o.rangeRecord >= recs.size())
      return Fail(1, "no recording " + std::to_string(o.rangeRecord) + " on the card");
    if (o.rangeFirst >= regionSectors || o.rangeLast >= regionSectors)
      return Fail(1, "range sectors must lie below " + std::to_string(regionSectors));
    Job j = job(o.rangeRecord);
    j.wholeRecord = false;
    j.request.convStart = int32_t(o.rangeFirst);
    j.request.convEnd = int32_t(o.rangeLast);
    j.request.convBaseName = RangeBaseName(o.outputDir, j.record);
    jobs.push_back(j);
    return 0;
  }
  if (o.all)
    for (size_t i = 0; i < recs.size(); ++i) jobs.push_back(job(i));
  for (size_t i : o.records) {
    if (i >= recs.size()) return Fail(1, "no recording " + std::to_string(i) + " on the card");
    jobs.push_back(job(i));
  }
  return 0;
}

// Names a whole-recording job's output after the files already written (by earlier jobs
// too): true when the job is to be skipped because its file holds this recording already.
bool ChooseJobName(const Job& job, convert::ConversionRequest& request, bool skipExisting) {
  const convert::OutputName name = convert::ChooseOutputName(
      request.outputDir, request.convBaseName, convert::WholeRecordIdentity(job.record));
  request.convBaseName = name.baseName;
  if (!name.holdsSameRecording || !skipExisting) return false;
  std::fprintf(stderr, "korvan-cli: recording %zu: already converted as %s%s; skipped\n",
               job.index, request.outputDir.c_str(), name.baseName.c_str());
  return true;
}

// Runs the jobs in turn: 0 when all were converted, else 1 after one English line.
int RunJobs(card::RegionReader& region, const std::vector<Job>& jobs, bool telemetry,
            bool skipExisting) {
  const bool terminal = isatty(STDERR_FILENO);
  int64_t totalBlocks = 0;
  for (const Job& j : jobs) totalBlocks += j.blocks;
  const uint64_t readsAtStart = region.reads();
  const auto started = std::chrono::steady_clock::now();
  StderrNoticeSink notices;
  std::mutex pathsMutex;
  std::vector<std::string> paths;
  const auto flushPaths = [&] {
    std::lock_guard lock(pathsMutex);
    if (paths.empty()) return;
    if (terminal) std::fputs("\r\x1b[K", stderr);
    for (const std::string& p : paths) std::printf("%s\n", p.c_str());
    std::fflush(stdout);
    paths.clear();
  };

  InterruptGuard interrupts;
  int64_t blocksDone = 0;
  for (size_t n = 0; n < jobs.size(); ++n) {
    const Job& job = jobs[n];
    convert::ConversionRequest request = job.request;
    if (job.wholeRecord && ChooseJobName(job, request, skipExisting)) {
      blocksDone += job.blocks;
      continue;
    }
    convert::TMovieConvTh worker(region, job.record, request, notices);
    worker.set_part_sink([&](const std::string& p) {
      std::lock_guard lock(pathsMutex);
      paths.push_back(p);
    });
    std::string telemetryError;
    if (telemetry)
      worker.set_part_range_sink([&](const std::string& p, int32_t first, int32_t last) {
        std::string e;
        if (!convert::WritePartTelemetry(region, job.record, first, last, p, e) &&
            telemetryError.empty())
          telemetryError = e;
      });
    worker.set_idle_priority(false);  // the user waits on nothing else
    worker.start();
    // Wakes the moment the worker reports done or failed; the timeout only refreshes the
    // progress line and notices Ctrl+C.
    while (!worker.wait_finished(std::chrono::milliseconds(100)) && !gInterrupted) {
      flushPaths();
      if (!terminal) continue;
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      const double fraction =
          (double(blocksDone) + double(job.blocks) * worker.progress / 100.0) / double(totalBlocks);
      const std::string label = "record " + std::to_string(job.index) + " (" +
                                std::to_string(n + 1) + "/" + std::to_string(jobs.size()) + ")";
      std::fprintf(stderr, "\r%s\x1b[K",
                   ProgressLine(label, fraction, (region.reads() - readsAtStart) * 512, seconds)
                       .c_str());
    }
    // Done, failed or cancelled: the worker ends once asked (a cancel seen while muxing
    // still finishes that part).
    worker.request_terminate();
    worker.join();
    const bool failed = worker.failed, done = worker.done;
    const int code = worker.errorCode;
    flushPaths();
    if (terminal) std::fputs("\r\x1b[K", stderr);
    for (const convert::StreamGap& gap : worker.gaps())
      std::fprintf(stderr, "korvan-cli: recording %zu: damaged stream, sectors %d to %d skipped\n",
                   job.index, gap.fromSector, gap.toSector);
    if (failed)
      return Fail(1, "conversion of recording " + std::to_string(job.index) +
                         " failed: error " + std::to_string(code) +
                         (code == convert::kMuxBFrames
                              ? " (pictures with B-frames cannot be stored yet)"
                              : ""));
    if (!done) return Fail(1, "conversion cancelled; unfinished parts were discarded");
    if (!telemetryError.empty()) return Fail(1, telemetryError);
    if (code == convert::kAlreadySealed)
      std::fprintf(stderr, "korvan-cli: recording %zu: an output file already held an integrity "
                   "record; later parts were not sealed\n", job.index);
    blocksDone += job.blocks;
  }
  return 0;
}

}  // namespace

int RunConvert(const Args& args) {
  std::string error;
  const std::optional<ConvertOptions> options = ParseConvertOptions(args, error);
  if (!options) return Fail(2, error);
  std::error_code ec;
  if (!std::filesystem::is_directory(options->outputDir, ec))
    return Fail(1, "output folder '" + options->outputDir + "' does not exist");

  CliNoticeSink openNotices;
  card::CardMedium medium(openNotices);
  if (const int status = OpenMediumForCommand(medium, options->medium)) return status;
  if (!medium.marked || !medium.regionReader())
    return Fail(1, "the card is not marked: it holds no recordings");

  const records::WholeRingScan scan = records::ScanWholeRing(
      *medium.regionReader(), records::ScanRingOf(medium),
      options->thorough ? records::ScanMode::thorough : records::ScanMode::probing);
  const std::vector<records::TRecord>& recs = scan.records;
  const std::string incomplete = IncompleteScanLine(scan);
  if (!incomplete.empty() && !options->all)
    std::fprintf(stderr, "korvan-cli: %s\n", incomplete.c_str());
  ConvertOptions o = *options;
  if (const int status = RangeInSectors(o, recs, medium)) return status;
  std::vector<Job> jobs;
  if (const int status = PlanJobs(o, recs, medium.region.N_sectors_in_rsr, jobs))
    return status;
  if (const int status =
          RunJobs(*medium.regionReader(), jobs, options->telemetry, options->skipExisting))
    return status;
  // What was found is converted and stays; the run still failed when recordings were missed.
  if (!incomplete.empty() && options->all) return Fail(1, incomplete);
  return 0;
}

}  // namespace cli
