#include "convert/conversion_queue.h"

#include <algorithm>

namespace convert {

QueueStart ConversionQueue::prepare(records::CheckSelection& selection,
                                    const BlocksOf& blocks_of) {
  total_blocks_ = 0;
  int checked = 0;
  for (int i = 0; i < selection.count(); ++i) {
    if (!selection.checked(i)) continue;
    ++checked;
    total_blocks_ += blocks_of(i);
  }
  if (checked == 0) {
    const int line = selection.current();
    if (line == records::CheckSelection::kNone) return QueueStart::nothing_selected;
    selection.set_checked(line, true);
    total_blocks_ += blocks_of(line);
  }
  return QueueStart::ready;
}

void ConversionQueue::begin() {
  converting_ = true;
  current_item_ = -1;
  done_blocks_ = 0;
  current_blocks_ = 0;
}

int ConversionQueue::progress(bool worker_running, int worker_progress) const {
  // A queue of recordings without blocks (damaged descriptors) must not divide by zero.
  if (total_blocks_ <= 0) return 0;
  int64_t p = done_blocks_ * 100;
  if (worker_running) p += int64_t(worker_progress) * current_blocks_;
  return int(std::clamp<int64_t>(p / total_blocks_, 0, 100));
}

QueueAction ConversionQueue::step(const ConvWorkerStatus* worker,
                                  records::CheckSelection& selection, const BlocksOf& blocks_of) {
  QueueAction action;
  if (worker) {
    if (worker->failed) {
      converting_ = false;
      action.kind = QueueAction::failed;
      action.release_worker = true;
      action.errorCode = worker->errorCode;
      return action;
    }
    if (!worker->done) return action;  // still converting
    done_blocks_ += current_blocks_;
    action.release_worker = true;
    selection.set_checked(current_item_, false);
  }
  current_item_ = selection.next_checked(current_item_);
  if (current_item_ == records::CheckSelection::kNone) {
    converting_ = false;
    action.kind = QueueAction::finished;
    return action;
  }
  current_blocks_ = blocks_of(current_item_);
  action.kind = QueueAction::start_record;
  action.record = current_item_;
  return action;
}

}  // namespace convert
