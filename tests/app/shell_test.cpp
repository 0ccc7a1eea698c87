// The application shell: exceptions escaping a handler, notices from worker threads, icons.
#include <QTest>
#include <QThread>
#include <QTimer>
#include <stdexcept>
#include <thread>

#include "app/gui_notice_sink.h"
#include "app/korvan_application.h"
#include "app/message_boxes.h"
#include "app/state_icons.h"

class ShellTest : public QObject {
  Q_OBJECT

 private:
  struct Box {
    app::BoxKind kind;
    QString text;
    bool onUiThread;
  };
  std::vector<Box> boxes_;

 private slots:
  void initTestCase() {
    app::SetMessageBoxHook([this](app::BoxKind kind, const QString& text, bool) {
      boxes_.push_back({kind, text, QThread::currentThread() == qApp->thread()});
      return false;
    });
  }

  void init() { boxes_.clear(); }

  void exceptionInAHandlerIsShownAndTheLoopGoesOn() {
    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("disk on fire"); });
    QTimer::singleShot(20, [&later] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(boxes_.size(), size_t(1));
    QCOMPARE(boxes_[0].kind, app::BoxKind::error);
    QCOMPARE(boxes_[0].text, QStringLiteral("disk on fire"));
  }

  void workerNoticesAreShownOnTheUiThread() {
    app::GuiNoticeSink sink;
    std::thread worker([&sink] { sink.notice(platform::NoticeKind::plain, "CANNOT GET DEVICE"); });
    worker.join();
    QVERIFY(boxes_.empty());  // queued, not shown from the worker
    QTRY_COMPARE(boxes_.size(), size_t(1));
    QVERIFY(boxes_[0].onUiThread);
    QCOMPARE(boxes_[0].kind, app::BoxKind::plain);
    sink.notice(platform::NoticeKind::error, "Невозможно открыть сменный носитель");
    QCOMPARE(boxes_.size(), size_t(2));  // on the UI thread: at once
    QCOMPARE(boxes_[1].kind, app::BoxKind::error);
  }

  void iconsAreFifteenPixelsAndDistinct() {
    const char* names[] = {"EMPTY", "WARNING", "STAR", "OSD", "RING", "WALL", "MIC", "CLOCK"};
    for (const char* a : names) {
      const QImage& image = app::StateIcon(a);
      QCOMPARE(image.size(), QSize(15, 15));
      for (const char* b : names)
        if (a != b) QVERIFY2(image != app::StateIcon(b), a);
    }
    QCOMPARE(app::StateIcon("NO SUCH ICON"), app::StateIcon("EMPTY"));
  }
};

int main(int argc, char** argv) {
  app::KorvanApplication application(argc, argv);
  ShellTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"
