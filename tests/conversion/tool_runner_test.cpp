#include "conversion/tool_runner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>

#include "tests/conversion/fake_progress.h"
#include "tests/support/scripted_dialogs.h"

using conversion::RunAndWait;
using namespace std::chrono_literals;

namespace {

// A pump that hands every yield to a callback (to end a waiting child at a
// chosen cycle) and counts them.
class CallbackPump : public platform::EventPump {
 public:
  void Yield() override {
    ++yields;
    if (on_yield) on_yield();
  }
  int yields = 0;
  std::function<void()> on_yield;
};

// A child that waits until `release` exists.
QStringList WaitFor(const QString& release) {
  return {"-c", "while [ ! -e \"$0\" ]; do sleep 0.002; done", release};
}

}  // namespace

class ToolRunnerTest : public QObject {
  Q_OBJECT

 private slots:
  void BarSteps_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("cap");
    QTest::newRow("item 1 of 4, tie to even") << 25 << 4 << 2 << 48;
    QTest::newRow("one item, cap above 100") << 100 << 1 << 10 << 190;
    QTest::newRow("item 1 of 3") << 33 << 3 << 3 << 63;
    QTest::newRow("item 2 of 2") << 100 << 2 << 5 << 145;
    QTest::newRow("many items, no step") << 1 << 200 << 0 << 2;
    QTest::newRow("total 0 counts as 1") << 100 << 0 << 10 << 190;
  }
  void BarSteps() {
    QFETCH(int, start);
    QFETCH(int, total);
    QFETCH(int, step);
    QFETCH(int, cap);
    const conversion::BarSteps steps = conversion::BarStepsFor(start, total);
    QCOMPARE(steps.step, step);
    QCOMPARE(steps.cap, cap);
  }

  void ExitCodes_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("expected");
    QTest::newRow("success") << "exit 0" << 0;
    QTest::newRow("non-zero") << "exit 7" << 7;
    QTest::newRow("writes output nobody reads") << "yes | head -c 1000000; exit 2" << 2;
  }
  void ExitCodes() {
    QFETCH(QString, script);
    QFETCH(int, expected);
    FakeProgress bar;
    testing_support::ScriptedPump pump;
    const int result = RunAndWait("/bin/sh", {"-c", script}, &bar, "Processing: a.msg", 25, 4, pump, 20ms);
    QCOMPARE(result, expected);
    // No counter before cycle 50; the text is set back once at the end.
    QCOMPARE(bar.texts, QStringList{"Processing: a.msg"});
    QVERIFY(bar.values.empty());
    // Four yields per cycle with a bar, at least one cycle.
    QVERIFY(pump.yields >= 4);
    QCOMPARE(pump.yields % 4, 0);
  }

  void WithoutBarYieldsTwicePerCycle() {
    testing_support::ScriptedPump pump;
    QCOMPARE(RunAndWait("/bin/sh", {"-c", "exit 0"}, nullptr, "", 0, 1, pump, 5ms), 0);
    QVERIFY(pump.yields >= 2);
    QCOMPARE(pump.yields % 2, 0);
  }

  void CannotStart_data() {
    QTest::addColumn<bool>("make_file");
    QTest::addColumn<int>("error");
    QTest::newRow("missing program") << false << ENOENT;
    QTest::newRow("not executable") << true << EACCES;
  }
  void CannotStart() {
    QFETCH(bool, make_file);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString program = dir.filePath("prog");
    if (make_file) {
      QFile file(program);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("#!/bin/sh\nexit 0\n");
    }
    FakeProgress bar;
    testing_support::ScriptedPump pump;
    QCOMPARE(RunAndWait(program, {}, &bar, "Processing: a.msg", 25, 4, pump, 5ms),
             conversion::kStartFailureBase + error);
    QVERIFY(bar.texts.isEmpty());
    QVERIFY(bar.values.empty());
    QCOMPARE(pump.yields, 0);
  }

  void CountsAndMovesDuringLongWait() {
    // Total 3, start 33: the bar shows 33 at cycle 50, 36 at 200, 39 at 350.
    QTemporaryDir dir;
    const QString release = dir.filePath("release");
    FakeProgress bar;
    CallbackPump pump;
    pump.on_yield = [&] {
      if (bar.text.endsWith("Please wait.. 310") && !QFile::exists(release)) {
        QFile file(release);
        QVERIFY(file.open(QIODevice::WriteOnly));
      }
    };
    // The bar's own text is passed, as the batch run does.
    bar.text = "Processing: a.msg";
    const int result = RunAndWait("/bin/sh", WaitFor(release), &bar, bar.text, 33, 3, pump, 1ms);
    QCOMPARE(result, 0);
    QCOMPARE(bar.values, (std::vector<double>{33, 36, 39}));
    // Counted cycle by cycle from 0, then set back.
    QVERIFY(bar.texts.size() > 312);
    for (int i = 0; i < bar.texts.size() - 1; ++i) {
      QCOMPARE(bar.texts[i], QString("Processing: a.msg, Please wait.. %1").arg(i));
    }
    QCOMPARE(bar.texts.back(), QString("Processing: a.msg"));
    QCOMPARE(bar.text, QString("Processing: a.msg"));
  }

  void StopsAtCap() {
    // Total 6, start 0: step 2, cap 15, so 0, 2, ..., 14 and then 15.
    QTemporaryDir dir;
    const QString release = dir.filePath("release");
    FakeProgress bar;
    CallbackPump pump;
    pump.on_yield = [&] {
      if (bar.text.endsWith("Please wait.. 1210") && !QFile::exists(release)) {
        QFile file(release);
        QVERIFY(file.open(QIODevice::WriteOnly));
      }
    };
    QCOMPARE(RunAndWait("/bin/sh", WaitFor(release), &bar, "x", 0, 6, pump, 0ms), 0);
    // With a zero cycle the child notices the release some cycles late; every
    // later move stays at the cap.
    const std::vector<double> expected{0, 2, 4, 6, 8, 10, 12, 14, 15};
    QVERIFY(bar.values.size() >= expected.size());
    for (size_t i = 0; i < bar.values.size(); ++i) {
      QCOMPARE(bar.values[i], i < expected.size() ? expected[i] : 15.0);
    }
  }

  void EmptyTextCountsAlone() {
    QTemporaryDir dir;
    const QString release = dir.filePath("release");
    FakeProgress bar;
    CallbackPump pump;
    pump.on_yield = [&] {
      if (bar.text == "Please wait.. 3" && !QFile::exists(release)) {
        QFile file(release);
        QVERIFY(file.open(QIODevice::WriteOnly));
      }
    };
    QCOMPARE(RunAndWait("/bin/sh", WaitFor(release), &bar, "", 100, 1, pump, 1ms), 0);
    QVERIFY(bar.texts.size() >= 5);
    QCOMPARE(bar.texts.front(), QString("Please wait.. 0"));
    QCOMPARE(bar.texts[1], QString("Please wait.. 1"));
    QCOMPARE(bar.texts.back(), QString("Progress Bar"));
    QCOMPARE(bar.values.front(), 100.0);
  }

  void WaitEndsWhenProcessEnds() {
    // A ten-second cycle: the wait must still end soon after the child does.
    FakeProgress bar;
    testing_support::ScriptedPump pump;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(RunAndWait("/bin/sh", {"-c", "sleep 0.05; exit 4"}, &bar, "t", 0, 1, pump, 10s), 4);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
  }

  // A program that ignores the request to stop is killed after the grace time.
  void EndingTheRunningToolKillsOneThatIgnoresTerm() {
    conversion::RunningTool running;
    CallbackPump pump;
    pump.on_yield = [&] {
      if (pump.yields == 1) running.End(200ms);
    };
    QElapsedTimer timer;
    timer.start();
    // Short sleeps, so nothing outlives the killed shell for long.
    const QString script = "trap '' TERM; i=0; while [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done";
    RunAndWait("/bin/sh", {"-c", script}, nullptr, {}, 0, 1, pump, 20ms, &running);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
  }
};

QTEST_GUILESS_MAIN(ToolRunnerTest)
#include "tool_runner_test.moc"
