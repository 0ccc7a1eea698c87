// The CLI's notice sink: plain notices (the English raw-access messages) go to stderr at once;
// error notices are kept so that the command can report its failure in one English line.
// Any thread.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/notice_sink.h"

namespace cli {

class CliNoticeSink final : public platform::NoticeSink {
 public:
  void notice(platform::NoticeKind kind, const std::string& text) override {
    std::lock_guard lock(mutex_);
    if (kind == platform::NoticeKind::plain)
      std::fprintf(stderr, "korvan-cli: %s\n", text.c_str());
    else
      lastError_ = text;
  }
  std::string lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
  }

 private:
  mutable std::mutex mutex_;
  std::string lastError_;
};

}  // namespace cli
