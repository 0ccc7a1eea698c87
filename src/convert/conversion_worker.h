// What the record list needs from a conversion worker, so that the window's queue does not
// depend on how a conversion is carried out: the request the window fills before a start,
// and a running worker it polls and drops.
//
// A launcher starts one worker for one request and returns it running; destroying the worker
// asks it to terminate and returns at once: the worker ends on its own thread and deletes
// what it leaves. The window calls launchers
// and polls workers on its UI thread; status() may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "card/region_reader.h"
#include "convert/movieconvth.h"
#include "platform/notice_sink.h"
#include "convert/conversion_queue.h"
#include "records/trecord.h"

namespace convert {


class ConversionWorker {
 public:
  virtual ~ConversionWorker() = default;
  virtual ConvWorkerStatus status() const = 0;
  // Called on the worker's thread as soon as it reports done or failed (at once when it
  // already has), so that the owner can go on without waiting for its next tick. Never called
  // after the worker object is destroyed.
  virtual void set_finished_callback(std::function<void()>) {}
};

// Starts a worker converting `record` as `request` says; null when it cannot start.
using ConversionLauncher = std::function<std::unique_ptr<ConversionWorker>(
    const ConversionRequest& request, const records::TRecord& record)>;

// Launches TMovieConvTh workers reading through `reader` and reporting notices to
// `notices`; both must outlive every worker launched.
ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices);

// The telemetry files (.gpx, .srt, .csv) beside each written .mp4. `wanted` is asked on the
// launcher's thread at every start; `failed` gets the .mp4 path whose files could not be
// written, on the worker thread.
struct TelemetryChoice {
  std::function<bool()> wanted;
  std::function<void(const std::string& mp4Path)> failed;
};
ConversionLauncher MovieConversionLauncher(std::shared_ptr<card::RegionReader> reader,
                                           platform::NoticeSink& notices, TelemetryChoice telemetry);

// The request for a whole recording: from its first block to its end.
ConversionRequest WholeRecordRequest(int line, const records::TRecord& record,
                                     const std::string& dir);

}  // namespace convert
