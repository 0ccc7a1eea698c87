// What the record list needs from a conversion worker, so that the window's queue does not
// depend on how a conversion is carried out: the request the window fills before a start,
// and a running worker it polls and drops.
//
// A launcher starts one worker for one request and returns it running; destroying the worker
// asks it to terminate (the worker then ends on its own thread). The window calls launchers
// and polls workers on its UI thread; status() may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "records/conversion_queue.h"
#include "records/trecord.h"

namespace records {

// The conversion request: what to convert and where to write.
struct ConversionRequest {
  int32_t convRecord = -1;   // index of the recording in the list
  int32_t convStart = 0;     // first sector index to read
  int32_t convEnd = 0;       // last sector index; 0 = the end of the recording
  std::string convBaseName;  // output base name without folder and extension
  std::string outputDir;     // ends with a separator
  bool splitAlways = true;
};

class ConversionWorker {
 public:
  virtual ~ConversionWorker() = default;
  virtual ConvWorkerStatus status() const = 0;
};

// Starts a worker converting `record` as `request` says; null when it cannot start.
using ConversionLauncher = std::function<std::unique_ptr<ConversionWorker>(
    const ConversionRequest& request, const TRecord& record)>;

// The request for a whole recording: from its first block to its end.
ConversionRequest WholeRecordRequest(int line, const TRecord& record, const std::string& dir);

}  // namespace records
