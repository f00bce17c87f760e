// Pointer files: our own hand and drag pointers load with the right hot spot,
// and damaged files fail instead of crashing.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "face_qt/cursor_file.h"
#include "platform/error_report.h"

namespace {

QByteArray ReadResource(const char* name) {
  QFile file(QStringLiteral(APP_RESOURCES_DIR "/") + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace

class CursorFileTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString Write(const QByteArray& bytes) {
    const QString path = temp_.filePath("pointer");
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    return path;
  }

 private slots:
  void our_pointer_files_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QPoint>("hotspot");
    QTest::addColumn<QPoint>("opaque");       // a pixel of the drawing
    QTest::addColumn<QPoint>("transparent");  // a pixel around it
    QTest::newRow("hand cursor") << QByteArray("HAND-M.CUR") << QPoint(7, 0) << QPoint(6, 0) << QPoint(0, 0);
    QTest::newRow("drag icon") << QByteArray("drag.ico") << QPoint(16, 16) << QPoint(7, 0) << QPoint(0, 0);
  }
  void our_pointer_files() {
    QFETCH(QByteArray, name);
    QFETCH(QPoint, hotspot);
    QFETCH(QPoint, opaque);
    QFETCH(QPoint, transparent);
    const CursorImage cursor = ReadCursorFile(QStringLiteral(APP_RESOURCES_DIR "/") + name);
    QCOMPARE(cursor.image.size(), QSize(32, 32));
    QCOMPARE(cursor.hotspot, hotspot);
    QCOMPARE(cursor.image.pixelColor(opaque).alpha(), 255);
    QCOMPARE(cursor.image.pixelColor(transparent).alpha(), 0);
    QCOMPARE(LoadCursorFile(QStringLiteral(APP_RESOURCES_DIR "/") + name).hotSpot(), hotspot);
  }

  void damaged_files_fail_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = ReadResource("HAND-M.CUR");
    QVERIFY(good.size() > 100);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << good.left(6);
    QTest::newRow("image cut off") << good.left(100);
    QByteArray wrong_type = good;
    wrong_type[2] = 3;
    QTest::newRow("unknown type") << wrong_type;
    QByteArray no_images = good;
    no_images[4] = 0;
    QTest::newRow("no images") << no_images;
    QByteArray far_offset = good;
    far_offset[6 + 12] = char(0xff);
    far_offset[6 + 15] = char(0x7f);
    QTest::newRow("image offset past the end") << far_offset;
    QTest::newRow("text") << QByteArray("this is not a pointer image at all.....");
  }
  void damaged_files_fail() {
    QFETCH(QByteArray, bytes);
    QVERIFY_THROWS_EXCEPTION(platform::Failure, ReadCursorFile(Write(bytes)));
  }

  void missing_file_fails() {
    QVERIFY_THROWS_EXCEPTION(platform::Failure, ReadCursorFile(temp_.filePath("absent.cur")));
  }
};

QTEST_MAIN(CursorFileTest)
#include "cursor_file_test.moc"
