// The record list's conversion queue: which checked recording is converted next, when the
// queue ends, and the overall progress in percent.
//
// The queue does not run workers itself. Its owner starts one conversion worker per
// `start_record` action, polls the worker and hands its status to step() once per tick, and
// carries out the action that step() returns. Not thread-safe: the owner's thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "records/check_selection.h"

namespace convert {

// What the polling front end read from the running conversion worker.
struct ConvWorkerStatus {
  int progress = 0;  // percent of the current recording
  bool done = false;
  bool failed = false;
  int32_t errorCode = 0;
};

enum class QueueStart {
  nothing_selected,  // no line checked and no current line
  ready,             // lines to convert are checked; call begin() once the folder is chosen
};

struct QueueAction {
  enum Kind {
    wait,          // the worker is still converting
    start_record,  // start a worker for line `record`
    finished,      // every checked line is converted; the queue has ended
    failed,        // the worker failed with `errorCode`; the queue has ended
  };
  Kind kind = wait;
  bool release_worker = false;  // ask the worker to terminate and forget it
  int record = -1;
  int32_t errorCode = 0;
};

class ConversionQueue {
 public:
  using BlocksOf = std::function<int32_t(int line)>;

  // Counts the checked lines and their blocks; with none checked it checks the current line.
  QueueStart prepare(records::CheckSelection& selection, const BlocksOf& blocks_of);
  // Starts the queue after prepare() returned ready and the output folder is known.
  void begin();
  // Ends the queue without a further action (abort, window closing).
  void stop() { converting_ = false; }

  // Overall percent: finished blocks plus the current recording's share.
  int progress(bool worker_running, int worker_progress) const;
  // One tick of the queue. `worker` is null when no worker runs.
  QueueAction step(const ConvWorkerStatus* worker, records::CheckSelection& selection,
                   const BlocksOf& blocks_of);

  bool converting() const { return converting_; }
  int current_item() const { return current_item_; }
  int64_t total_blocks() const { return total_blocks_; }
  int64_t done_blocks() const { return done_blocks_; }
  int64_t current_blocks() const { return current_blocks_; }

 private:
  bool converting_ = false;
  int current_item_ = -1;
  int64_t total_blocks_ = 0;
  int64_t done_blocks_ = 0;
  int64_t current_blocks_ = 0;
};

}  // namespace convert
