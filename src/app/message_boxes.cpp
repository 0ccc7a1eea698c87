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

bool Show(QWidget* parent, BoxKind kind, const QString& text, bool yesNo,
          DefaultAnswer defaultAnswer) {
  if (Hook()) return Hook()(kind, text, yesNo);
  return BuildMessageBox(parent, kind, text, yesNo, defaultAnswer)->exec() == QMessageBox::Yes;
}

}  // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, BoxKind kind, const QString& text,
                                             bool yesNo, DefaultAnswer defaultAnswer) {
  auto box = std::make_unique<QMessageBox>(
      IconOf(kind), QStringLiteral("Korvan"), text,
      yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
  if (yesNo)
    box->setDefaultButton(defaultAnswer == DefaultAnswer::yes ? QMessageBox::Yes : QMessageBox::No);
  return box;
}

void ShowMessage(QWidget* parent, BoxKind kind, const QString& text) {
  Show(parent, kind, text, false, DefaultAnswer::no);
}

bool AskYesNo(QWidget* parent, BoxKind kind, const QString& text, DefaultAnswer defaultAnswer) {
  return Show(parent, kind, text, true, defaultAnswer);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace app
