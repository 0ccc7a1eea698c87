#include "app/gui_notice_sink.h"

#include <QApplication>
#include <QThread>

#include "app/message_boxes.h"

namespace app {

namespace {

void ShowNotice(platform::NoticeKind kind, const QString& text) {
  QWidget* parent = QApplication::activeWindow();
  ShowMessage(parent, kind == platform::NoticeKind::error ? BoxKind::error : BoxKind::plain, text);
}

}  // namespace

GuiNoticeSink::GuiNoticeSink(QObject* parent) : QObject(parent) {}

void GuiNoticeSink::notice(platform::NoticeKind kind, const std::string& text) {
  const QString message = QString::fromStdString(text);
  if (QThread::currentThread() == thread()) {
    ShowNotice(kind, message);
    return;
  }
  QMetaObject::invokeMethod(this, [kind, message] { ShowNotice(kind, message); },
                            Qt::QueuedConnection);
}

void GuiNoticeSink::notice(platform::NoticeKind kind, const std::string& text,
                           const std::string& detail) {
  notice(kind, detail.empty() ? text : text + "\n" + detail);
}

}  // namespace app
