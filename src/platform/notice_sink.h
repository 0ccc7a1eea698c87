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
  // A notice whose `text` alone would leave the user guessing (a bare "cannot open"), with a
  // second line for people: the path and the system's reason. Sinks that report one line per
  // notice (the CLI, tests) keep `text` only, which is what this default does.
  virtual void notice(NoticeKind kind, const std::string& text, const std::string& detail) {
    (void)detail;
    notice(kind, text);
  }
};

// "PATH: reason" for errno `error`, with the remedy when the reason is a lack of rights.
std::string SystemReason(const std::string& path, int error);

// Discards every notice (tests, batch callers that report results themselves).
class NullNoticeSink final : public NoticeSink {
 public:
  void notice(NoticeKind, const std::string&) override {}
};

}  // namespace platform
