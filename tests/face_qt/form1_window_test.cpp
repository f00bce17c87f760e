// The Qt face: the controls it builds, and that Qt's own events reach Form1's
// handlers (keys, clicks, drags, drops, pointer moves, closing) and Form1's
// calls reach the controls. What the handlers decide is tested in tests/window.
#include <QApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "face_qt/form1_window.h"
#include "face_qt/settings_ini.h"
#include "window/form_layout.h"
#include "tests/support/scripted_dialogs.h"

namespace {

QString ResourcePath(const QString& name) { return QStringLiteral(APP_RESOURCES_DIR "/") + name; }

struct Fixture {
  QTemporaryDir temp;
  testing_support::ScriptedDialogs dialogs;
  testing_support::ScriptedPump pump;
  testing_support::FixedRandom random{50};
  std::unique_ptr<IniSettingsStore> store;
  std::unique_ptr<Form1Window> form;
  int end_program_calls = 0;

  Fixture() {
    QDir(temp.path()).mkpath(QStringLiteral("bin/x"));
    store = std::make_unique<IniSettingsStore>(IniSettingsStore::OpenIniFile(temp.path() + "/settings.ini"));
  }
  QString AppFolder() const { return temp.path() + QStringLiteral("/bin"); }
  void Install(const QString& name) { QVERIFY(QFile::copy(ResourcePath(name), AppFolder() + u'/' + name)); }
  Form1Window& Load() {
    form = std::make_unique<Form1Window>(window::FormServices{.dialogs = dialogs,
                                                         .pump = pump,
                                                         .random = random,
                                                         .settings = *store,
                                                         .app_folder = AppFolder().toStdString(),
                                                         .end_program = [this] { ++end_program_calls; }});
    form->Form().Form_Load();
    form->show();
    return *form;
  }
};

QStringList Rows(const Form1Window& form) {
  QStringList rows;
  for (int i = 1; i <= form.ItemCount(); ++i) rows << QString::fromStdString(form.ItemText(i));
  return rows;
}

QPoint RowCentre(const Form1Window& form, int index1) {
  return form.ListView1->visualItemRect(form.ListView1->topLevelItem(index1 - 1)).center();
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

}  // namespace

class Form1WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void layout_and_start_up() {
    Fixture f;
    Form1Window& form = f.Load();
    // Every control of the form's table, in pixels at 96 dpi (Qt scales them
    // on denser screens), inside its container, with its caption and font.
    const auto px = [](int twips) { return window::TwipsToPixels(twips, 96); };
    QCOMPARE(form.size(), QSize(px(window::kClientTwipsWide), px(window::kClientTwipsHigh)));
    for (const window::ControlSpec& spec : window::Controls()) {
      auto* widget = form.findChild<QWidget*>(QString::fromUtf8(spec.name));
      QVERIFY2(widget != nullptr, spec.name);
      QCOMPARE(widget->geometry(), QRect(px(spec.left), px(spec.top), px(spec.width), px(spec.height)));
      const window::ControlSpec* outer = window::FindControl(spec.container);
      QCOMPARE(widget->parentWidget()->objectName(), QString::fromUtf8(outer ? outer->name : "Form1"));
      QString caption;
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) caption = button->text();
      if (auto* frame = qobject_cast<QGroupBox*>(widget)) caption = frame->title();
      if (auto* bar = qobject_cast<ProgressBar*>(widget)) caption = bar->text();
      QCOMPARE(caption, QString::fromUtf8(spec.caption));
      QCOMPARE(widget->font().family(), QString::fromUtf8(spec.font->family));
      QCOMPARE(widget->font().pointSizeF(), spec.font->centipoints / 100.0);
      QCOMPARE(widget->font().bold(), spec.font->bold);
      QCOMPARE(widget->toolTip(), QString::fromUtf8(spec.tooltip));
      if (auto* option = qobject_cast<QRadioButton*>(widget)) QCOMPARE(option->isChecked(), spec.selected);
    }
    // Form1's start-up reached the controls.
    QCOMPARE(form.windowTitle(), QStringLiteral("Mailvane"));
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(form.ListView1->headerItem()->text(0), QStringLiteral("MSG File(s)"));
    QCOMPARE(form.ListView1->columnWidth(0), window::TwipsToPixels(window::kColumnTwips, 96));
    QVERIFY(form.Option1->isChecked());
    QVERIFY(form.Frame4->isEnabled());
    QVERIFY(form.Text1->text().endsWith(QDir::separator()));
    QVERIFY(f.dialogs.messages.empty());
  }

  void skin_colours_and_applies_sheet() {
    Fixture f;
    QFile sheet(f.AppFolder() + "/x/o.cjs");
    QVERIFY(sheet.open(QIODevice::WriteOnly));
    sheet.write("QPushButton { color: #123456; }");
    sheet.close();
    Form1Window& form = f.Load();
    QCOMPARE(form.styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
    const QColor face = form.palette().color(QPalette::Button);
    for (QWidget* w : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.Frame1),
                       static_cast<QWidget*>(form.Option2)}) {
      QVERIFY2(w->autoFillBackground(), qPrintable(w->objectName()));
      QCOMPARE(w->palette().color(QPalette::Window), face);
    }
    QVERIFY(!form.PushButton1->autoFillBackground());
  }

  void options_and_text_reach_the_handlers() {
    Fixture f;
    Form1Window& form = f.Load();
    QTest::mouseClick(form.Option2, Qt::LeftButton);
    QVERIFY(form.Option2->isChecked() && !form.Option1->isChecked());
    QVERIFY(!form.Frame4->isEnabled());
    QTest::mouseClick(form.Option2, Qt::LeftButton);  // a second click keeps it selected
    QVERIFY(form.Option2->isChecked());
    QCOMPARE(f.store->GetSetting("Option2", ""), std::string("True"));
    form.Text1->setText(QStringLiteral("/srv/out/"));
    QCOMPARE(f.store->GetSetting("Text1", ""), std::string("/srv/out/"));
  }

  void keys_and_double_clicks_remove_rows() {
    Fixture f;
    Form1Window& form = f.Load();
    for (const char* row : {"A", "B", "C", "D"}) form.Form().AddFileToList(row);
    form.ListView1->setCurrentItem(form.ListView1->topLevelItem(1));
    QTest::keyClick(form.ListView1, Qt::Key_X);
    QTest::keyClick(form.ListView1, Qt::Key_Period);  // Qt's code for '.' is Windows' for Delete
    QTest::keyClick(form.ListView1, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(Rows(form), QStringList({"A", "C", "D"}));
    QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, RowCentre(form, 2));
    QCOMPARE(Rows(form), QStringList({"A", "D"}));
    // Below the rows a double-click removes the selected row, as a click there keeps it.
    form.ListView1->setCurrentItem(form.ListView1->topLevelItem(0));
    const QPoint below(RowCentre(form, 2).x(), form.ListView1->viewport()->height() - 4);
    QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, below);
    QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, below);
    QCOMPARE(Rows(form), QStringList({"D"}));
    QTest::mouseClick(form.PushButton6, Qt::LeftButton);
    QCOMPARE(form.ItemCount(), 0);
  }

  void dragging_a_row_with_the_mouse() {
    Fixture f;
    f.Install("drag.ico");
    Form1Window& form = f.Load();
    for (const char* row : {"A", "B", "C"}) form.Form().AddFileToList(row);
    QWidget* viewport = form.ListView1->viewport();
    SendMouse(viewport, QEvent::MouseButtonPress, RowCentre(form, 3), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(form.ListView1->cursor().shape(), Qt::BitmapCursor);  // the drag pointer
    for (int row : {2, 1}) SendMouse(viewport, QEvent::MouseMove, RowCentre(form, row), Qt::NoButton, Qt::LeftButton);
    SendMouse(viewport, QEvent::MouseButtonRelease, RowCentre(form, 1), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(Rows(form), QStringList({"C", "A", "B"}));
    QCOMPARE(form.SelectedItem(), 1);
    QCOMPARE(form.ListView1->cursor().shape(), Qt::ArrowCursor);
  }

  void pointer_rules() {
    Fixture f;
    f.Install("HAND-M.CUR");
    Form1Window& form = f.Load();
    QVERIFY(form.HandPointer().has_value());
    QCOMPARE(form.HandPointer()->hotSpot(), QPoint(7, 0));
    auto move_over = [&](QWidget* target) {
      SendMouse(target, QEvent::MouseMove, QPoint(2, 2), Qt::NoButton, Qt::NoButton);
    };
    for (QPushButton* button : {form.PushButton1, form.PushButton9}) {
      move_over(button);
      QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
      move_over(&form);
      QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    }
    for (QWidget* surface : {static_cast<QWidget*>(form.Frame1), static_cast<QWidget*>(form.Frame4),
                             form.ListView1->viewport()}) {
      move_over(form.PushButton1);
      move_over(surface);
      QVERIFY2(form.cursor().shape() == Qt::ArrowCursor, qPrintable(surface->objectName()));
    }
    form.Form().SetHourglass();
    move_over(form.PushButton1);
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    QVERIFY(form.Form().IsBusy());
    // The hourglass covers the list and the text box, which have pointers of their own.
    QCOMPARE(form.ListView1->cursor().shape(), Qt::WaitCursor);
    QCOMPARE(form.Text1->cursor().shape(), Qt::WaitCursor);
    form.Form().SetDefaultPointer();
    QCOMPARE(form.Text1->cursor().shape(), Qt::IBeamCursor);
  }

  void drops_reach_the_handler() {
    Fixture f;
    Form1Window& form = f.Load();
    QDir().mkpath(f.temp.path() + "/in");
    QFile file(f.temp.path() + "/in/one.msg");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QMimeData text;
    text.setText("/tmp/a.msg");
    QMimeData web;
    web.setUrls({QUrl("https://example.org/a.msg")});
    QMimeData local;
    local.setUrls({QUrl::fromLocalFile(f.temp.path() + "/in"), QUrl("https://example.org/b.msg")});
    QWidget* target = form.ListView1->viewport();
    for (QMimeData* data : {&text, &web, &local}) {
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(target, &enter);
      QCOMPARE(enter.isAccepted(), data == &local);
    }
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &local, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCOMPARE(Rows(form), QStringList{f.temp.path() + "/in/one.msg"});
  }

  void closing_ends_the_program() {
    Fixture f;
    Form1Window& form = f.Load();
    QVERIFY(form.close());
    QCOMPARE(f.end_program_calls, 1);
  }
};

QTEST_MAIN(Form1WindowTest)
#include "form1_window_test.moc"
