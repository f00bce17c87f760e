// ProgressBar1 keeps the real value it was given and draws it capped.
#include <QtTest>
#include <cmath>
#include <limits>

#include "face_qt/progress_bar.h"

class ProgressBarTest : public QObject {
  Q_OBJECT

 private slots:
  void keeps_value_draws_capped_data() {
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("filled");
    QTest::newRow("half") << 100.0 << 50.0 << 0.5;
    QTest::newRow("fraction of a step") << 3.0 << 1.5 << 0.5;
    QTest::newRow("above maximum draws full") << 100.0 << 150.5 << 1.0;
    QTest::newRow("below minimum draws empty") << 100.0 << -3.0 << 0.0;
    QTest::newRow("empty range draws empty") << 0.0 << 5.0 << 0.0;
    QTest::newRow("not a number draws empty") << 100.0 << std::numeric_limits<double>::quiet_NaN() << 0.0;
    QTest::newRow("infinity draws empty") << 100.0 << std::numeric_limits<double>::infinity() << 0.0;
  }
  void keeps_value_draws_capped() {
    QFETCH(double, maximum);
    QFETCH(double, value);
    QFETCH(double, filled);
    ProgressBar bar;
    bar.setMaximum(maximum);
    bar.setRealValue(value);
    if (std::isnan(value)) {
      QVERIFY(std::isnan(bar.realValue()));
    } else {
      QCOMPARE(bar.realValue(), value);
    }
    QCOMPARE(bar.FilledFraction(), filled);
  }

  void draws_text_and_bar() {
    ProgressBar bar;
    bar.resize(200, 20);
    bar.setText("Processing: a.msg");
    bar.setRealValue(250);  // more than the maximum: drawn full, no overflow
    QCOMPARE(bar.text(), QStringLiteral("Processing: a.msg"));
    QImage image(bar.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    bar.render(&image);
    const QColor fill = bar.palette().color(QPalette::Highlight);
    // Both ends of the inner area are filled.
    QCOMPARE(image.pixelColor(4, 3), fill);
    QCOMPARE(image.pixelColor(195, 3), fill);
  }
};

QTEST_MAIN(ProgressBarTest)
#include "progress_bar_test.moc"
