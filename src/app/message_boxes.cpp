#include "app/message_boxes.h"

#include <QMessageBox>

namespace app {

namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

QMessageBox::Icon IconOf(BoxKind kind) {
  switch (kind) {
    case BoxKind::error: return QMessageBox::Critical;
    case BoxKind::warning: return QMessageBox::Warning;
    case BoxKind::information: return QMessageBox::Information;
    case BoxKind::plain: break;
  }
  return QMessageBox::NoIcon;
}

bool Show(QWidget* parent, BoxKind kind, const QString& text, bool yesNo) {
  if (Hook()) return Hook()(kind, text, yesNo);
  QMessageBox box(IconOf(kind), QStringLiteral("Korvan"), text,
                  yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
  if (yesNo) box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

void ShowMessage(QWidget* parent, BoxKind kind, const QString& text) {
  Show(parent, kind, text, false);
}

bool AskYesNo(QWidget* parent, BoxKind kind, const QString& text) {
  return Show(parent, kind, text, true);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace app
