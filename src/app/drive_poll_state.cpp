#include "app/drive_poll_state.h"

#include "card/drive_line.h"

namespace app {

DrivePollState::Tick DrivePollState::tick() {
  if (exitOnClose) return Tick::exit;
  if (changeCount_ == 0) return Tick::idle;
  if (changeCount_ != lastSeenCount_) {
    lastSeenCount_ = changeCount_;
    return Tick::idle;
  }
  changeCount_ = lastSeenCount_ = 0;
  return Tick::refresh;
}

int DrivePollState::autoOpenLine(const std::vector<std::string>& lines) const {
  if (!autoOpen || lines.size() != 1) return -1;
  return card::IsFat32DriveLine(lines[0]) ? 0 : -1;
}

}  // namespace app
