#include "conversion/carried_tool.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "conversion/tool_place.h"
#include "tests/support/scripted_dialogs.h"

class CarriedToolTest : public QObject {
  Q_OBJECT

 private slots:
  void CarriesTheBuiltTool() {
    QFile built(QStringLiteral(QUORVEX_PATH));
    QVERIFY(built.open(QIODevice::ReadOnly));
    const QByteArray image = conversion::CarriedToolImage();
    QVERIFY(image.startsWith("\x7f" "ELF"));
    QCOMPARE(image, built.readAll());
  }

  void WrittenOutToolRuns() {
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0700) == 0);
    testing_support::ScriptedPump pump;
    const QString path = conversion::PlaceTool(conversion::CarriedToolImage(), dir.path(), pump);
    QProcess process;
    process.start(path, {});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    // Without arguments the tool prints its usage line.
    QVERIFY(process.readAllStandardOutput().startsWith("Usage:"));
  }
};

QTEST_GUILESS_MAIN(CarriedToolTest)
#include "carried_tool_test.moc"
