// Where the core reports the few notices that the user must see while an operation goes on
// (opening a medium, post-processing an .mp4). The GUI shows a message box on the UI thread,
// the CLI prints a line on stderr. Implementations must be callable from any thread.
#pragma once

#include <string>

namespace platform {

enum class NoticeKind {
  error,        // error box with OK
  plain,        // plain message box (the English raw-access messages)
};

class NoticeSink {
 public:
  virtual ~NoticeSink() = default;
  virtual void notice(NoticeKind kind, const std::string& text) = 0;
};

// Discards every notice (tests, batch callers that report results themselves).
class NullNoticeSink final : public NoticeSink {
 public:
  void notice(NoticeKind, const std::string&) override {}
};

}  // namespace platform
