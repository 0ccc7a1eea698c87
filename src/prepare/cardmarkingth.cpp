#include "prepare/cardmarkingth.h"

#include "platform/thread_priority.h"
#include "prepare/marking_check.h"

namespace prepare {

CardMarkingTh::CardMarkingTh(RawSession session, std::shared_ptr<platform::RawVolume> checkVolume,
                             MarkingPlan plan, FatTimestamp created)
    : session_(std::move(session)),
      checkVolume_(std::move(checkVolume)),
      plan_(std::move(plan)),
      created_(created) {}

CardMarkingTh::~CardMarkingTh() {
  request_terminate();
  if (thread_.joinable()) thread_.join();
}

void CardMarkingTh::start() {
  thread_ = std::thread([this] {
    platform::SetCurrentThreadIdlePriority();
    run();
  });
}

void CardMarkingTh::request_terminate() {
  {
    std::lock_guard lock(mutex_);
    terminate_ = true;
  }
  wake_.notify_all();
}

void CardMarkingTh::WaitForTermination() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return terminate_.load(); });
}

void CardMarkingTh::run() {
  progress = 0;
  MarkStatus result = MarkStatus::writeFailed;
  const bool written = session_([&](platform::RawVolume& v) {
    result = MarkVolume(v, plan_, created_, [this](int p) { progress = p; }, &terminate_);
    return result == MarkStatus::ok;
  });
  // A session that failed around successful writes (unmount, flush) is a failed write.
  if (result == MarkStatus::ok && !written) result = MarkStatus::writeFailed;
  status = result;
  if (result == MarkStatus::ok) {
    const MarkingCheck check = CheckMarkedVolume(checkVolume_, plan_.layout);
    checkProblem = check.problem;
    checked = check.ok;
    progress = 100;
    done = true;
  } else {
    failed = true;
  }
  WaitForTermination();
  ended_ = true;
}

}  // namespace prepare
