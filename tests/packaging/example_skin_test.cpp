// The example skin shipped under skins/ is a working style sheet for the
// window, and only a copy at x/o.cjs changes the window's look.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "face_qt/form1_window.h"
#include "face_qt/settings_ini.h"
#include "tests/support/scripted_dialogs.h"

namespace {
// Colours the example sets: the window background, push buttons, and the
// "Start Converting" button.
const QColor kWindow(0xee, 0xf3, 0xf9);
const QColor kButton(0x1f, 0x5f, 0xa8);
const QColor kStartButton(0xf5, 0xa6, 0x23);

QByteArray ExampleSkin() {
  QFile file(QStringLiteral(EXAMPLE_SKIN));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The colour drawn just inside the left edge of `widget`, half way down,
// where neither its border nor its text reaches.
QColor DrawnColour(const QImage& window, QWidget* form, QWidget* widget) {
  const QPoint at = widget->mapTo(form, QPoint(4, widget->height() / 2));
  return window.pixelColor(at * window.devicePixelRatio());
}
}  // namespace

class ExampleSkinTest : public QObject {
  Q_OBJECT

 private slots:
  void example_skin_data() {
    QTest::addColumn<QString>("copied_to");  // below the application folder
    QTest::addColumn<bool>("applied");
    QTest::newRow("copied to x/o.cjs reskins the window") << "x/o.cjs" << true;
    QTest::newRow("as installed, under skins/ only, the window keeps its look") << "skins/example-o.cjs" << false;
  }

  void example_skin() {
    QFETCH(QString, copied_to);
    QFETCH(bool, applied);
    const QByteArray sheet = ExampleSkin();
    QVERIFY(!sheet.isEmpty());
    QTemporaryDir temp;
    const QString path = temp.path() + "/bin/" + copied_to;
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sheet);
    file.close();
    testing_support::ScriptedDialogs dialogs;
    testing_support::ScriptedPump pump;
    testing_support::FixedRandom random{50};
    IniSettingsStore settings(IniSettingsStore::OpenIniFile(temp.path() + "/settings.ini"));
    Form1Window form({dialogs, pump, random, settings, (temp.path() + "/bin").toStdString(), [] {}});
    form.Form().Form_Load();
    QVERIFY(dialogs.messages.empty());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage window = form.grab().toImage();

    QCOMPARE(form.styleSheet(), applied ? QString::fromUtf8(sheet) : QString());
    const QColor background = window.pixelColor(QPoint(2, 2) * window.devicePixelRatio());
    const QColor button = DrawnColour(window, &form, form.PushButton1);
    const QColor start = DrawnColour(window, &form, form.PushButton2);
    if (applied) {
      QCOMPARE(background, kWindow);
      QCOMPARE(button, kButton);
      QCOMPARE(start, kStartButton);
    } else {
      QVERIFY(background != kWindow);
      QVERIFY(button != kButton);
      QVERIFY(start != kStartButton);
    }
  }
};

QTEST_MAIN(ExampleSkinTest)
#include "example_skin_test.moc"
