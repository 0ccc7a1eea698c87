// The marking worker: runs the raw writes of marking (create the card files, chain the
// partition files) inside the medium's write session, then checks the result by reading the
// volume back. The progress window polls the status fields.
//
// Threads: start() runs run() on its own std::thread at idle priority. The status fields are
// written only by the worker and may be polled from any thread; `checkProblem` is written
// before `done` or `failed` is set and may be read once either is seen. After done or failed
// the worker waits, without spinning, until request_terminate(); a request while writing is
// seen between FAT runs and ends the marking as failed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/raw_volume.h"
#include "prepare/hc_dir_entry.h"
#include "prepare/mark_volume.h"
#include "prepare/marking_plan.h"

namespace prepare {

class CardMarkingTh {
 public:
  // Runs its argument on the raw volume in a write session (unmount, disk lock, flush,
  // remount); false when the session or the writes fail. CardMedium::WithRawWrites fits.
  using RawSession = std::function<bool(const std::function<bool(platform::RawVolume&)>&)>;

  // `checkVolume`: the volume read back by the check after marking.
  CardMarkingTh(RawSession session, std::shared_ptr<platform::RawVolume> checkVolume,
                MarkingPlan plan, FatTimestamp created);
  ~CardMarkingTh();
  CardMarkingTh(const CardMarkingTh&) = delete;
  CardMarkingTh& operator=(const CardMarkingTh&) = delete;

  void start();
  // The marking and the check, then the wait for the termination request.
  void run();
  void request_terminate();
  bool ended() const { return ended_.load(); }

  std::atomic<int> progress{0};
  std::atomic<bool> done{false};
  std::atomic<bool> failed{false};
  std::atomic<MarkStatus> status{MarkStatus::ok};
  std::atomic<bool> checked{false};  // the check after marking passed
  std::string checkProblem;          // why the check failed (English), else empty

 private:
  void WaitForTermination();

  RawSession session_;
  std::shared_ptr<platform::RawVolume> checkVolume_;
  const MarkingPlan plan_;
  const FatTimestamp created_;
  std::atomic<bool> terminate_{false};
  std::atomic<bool> ended_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace prepare
