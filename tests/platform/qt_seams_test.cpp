// The real message loop and random draw.
#include <QTimer>
#include <QtTest>

#include "platform/qt_seams.h"

using platform::QtEventPump;
using platform::QtRandomSource;

class QtSeamsTest : public QObject {
  Q_OBJECT

 private slots:
  void pump_runs_waiting_events() {
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QtEventPump pump;
    for (int i = 0; i < 10 && !ran; ++i) pump.Yield();
    QVERIFY(ran);
  }

  void random_draw_stays_in_range() {
    QtRandomSource random;
    bool seen_low = false, seen_high = false;
    for (int i = 0; i < 5000; ++i) {
      const int draw = random.Draw1To100();
      QVERIFY(draw >= 1 && draw <= 100);
      seen_low |= draw <= 10;
      seen_high |= draw >= 91;
    }
    QVERIFY(seen_low && seen_high);
  }
};

QTEST_GUILESS_MAIN(QtSeamsTest)
#include "qt_seams_test.moc"
