// The GUI's notice sink: shows each notice of the core as a message box on the UI thread.
// Called on the UI thread it shows the box at once (modal, returns when closed); called from a
// worker thread it queues the box onto the UI thread and returns immediately, so a worker
// never waits for the user. Any thread; the object must outlive the queued notices (make it
// live as long as the application object).
#pragma once

#include <QObject>

#include "platform/notice_sink.h"

namespace app {

class GuiNoticeSink final : public QObject, public platform::NoticeSink {
 public:
  explicit GuiNoticeSink(QObject* parent = nullptr);
  void notice(platform::NoticeKind kind, const std::string& text) override;
  // Shows `text` with `detail` as its second line.
  void notice(platform::NoticeKind kind, const std::string& text,
              const std::string& detail) override;
};

}  // namespace app
