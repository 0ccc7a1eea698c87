// The windows' common font: the system family at a 10-pixel character height, the height the
// fixed layouts are measured for; and the read-only monospace text view of the service
// windows' dumps. UI thread only.
#pragma once

#include <QFont>
#include <QPlainTextEdit>
#include <QWidget>

namespace app {

inline void ApplyFormFont(QWidget& w) {
  QFont f = w.font();
  f.setPixelSize(10);
  w.setFont(f);
}

// A read-only, non-wrapping monospace text view with both scroll bars, owned by `parent`.
inline QPlainTextEdit* MakeDumpView(QWidget* parent) {
  auto* view = new QPlainTextEdit(parent);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono(QStringLiteral("monospace"));
  mono.setStyleHint(QFont::TypeWriter);
  mono.setPixelSize(11);
  view->setFont(mono);
  return view;
}

}  // namespace app
