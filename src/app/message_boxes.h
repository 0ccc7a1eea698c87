// The program's modal message boxes: error, warning, information and plain (no icon), with an
// OK button or Yes and No. Every window reports through these so that the kinds, the title and
// the buttons stay uniform. Tests install a hook that answers instead of showing a box.
// UI thread only (worker threads go through GuiNoticeSink, which queues onto the UI thread).
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace app {

enum class BoxKind { error, warning, information, plain };

// Shows `text` with an OK button and returns when the user has closed the box.
void ShowMessage(QWidget* parent, BoxKind kind, const QString& text);

inline void ShowError(QWidget* parent, const QString& text) {
  ShowMessage(parent, BoxKind::error, text);
}
inline void ShowWarning(QWidget* parent, const QString& text) {
  ShowMessage(parent, BoxKind::warning, text);
}
inline void ShowInformation(QWidget* parent, const QString& text) {
  ShowMessage(parent, BoxKind::information, text);
}
inline void ShowPlain(QWidget* parent, const QString& text) {
  ShowMessage(parent, BoxKind::plain, text);
}

// Which button of a Yes/No box Enter presses: No for questions that risk something, Yes for
// those whose natural answer is Yes ("open the folder?").
enum class DefaultAnswer { no, yes };

// Shows `text` with Yes and No buttons; true when the user answered Yes.
bool AskYesNo(QWidget* parent, BoxKind kind, const QString& text,
              DefaultAnswer defaultAnswer = DefaultAnswer::no);

// The box that ShowMessage/AskYesNo would show, not yet shown (tests look at its buttons).
std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, BoxKind kind, const QString& text,
                                             bool yesNo,
                                             DefaultAnswer defaultAnswer = DefaultAnswer::no);

// Test hook: while set, no box is shown; the hook receives each message (`yesNo` tells which
// buttons it would have had) and its result is the answer (true = Yes; ignored for OK boxes).
using MessageBoxHook = std::function<bool(BoxKind kind, const QString& text, bool yesNo)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace app
