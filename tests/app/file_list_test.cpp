// The file list: appending and searching, removal by Delete, double-click and
// "Clear List" (refused while busy), moving rows by dragging, the pointer rules.
#include <QHeaderView>
#include <QMimeData>
#include <QScrollBar>

#include "tests/app/form_fixture.h"

using app_testing::FormFixture;

namespace {

QStringList Rows(const Form1& form) {
  QStringList rows;
  for (int i = 1; i <= form.ItemCount(); ++i) rows << form.ItemText(i);
  return rows;
}

void Fill(Form1& form, const QStringList& rows) {
  for (const QString& row : rows) form.AddFileToList(row);
}

// Centre of row `index1` in the list's viewport.
QPoint RowCentre(const Form1& form, int index1) {
  return form.ListView1->visualItemRect(form.ListView1->topLevelItem(index1 - 1)).center();
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void Press(Form1& form, QPoint pos) {
  SendMouse(form.ListView1->viewport(), QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}
void MoveHeld(Form1& form, QPoint pos) {
  SendMouse(form.ListView1->viewport(), QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}
void Release(Form1& form, QPoint pos) {
  SendMouse(form.ListView1->viewport(), QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

bool RowVisible(const Form1& form, int index1) {
  const QRect rect = form.ListView1->visualItemRect(form.ListView1->topLevelItem(index1 - 1));
  return form.ListView1->viewport()->rect().contains(rect);
}

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

 private slots:
  void appending_tests_nothing() {
    FormFixture f;
    Form1& form = f.Load();
    Fill(form, {"/m/a.msg", "/m/a.msg", "", "  /m/b.MSG "});
    QCOMPARE(Rows(form), QStringList({"/m/a.msg", "/m/a.msg", "", "  /m/b.MSG "}));
    QCOMPARE(form.ItemText(0), QString());
    QCOMPARE(form.ItemText(5), QString());
    QCOMPARE(form.ItemCount(), 4);
  }

  void path_search_is_exact_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("found");
    QTest::newRow("same text") << "C:\\Mail\\a.msg" << true;
    QTest::newRow("other letter case") << "c:\\mail\\a.msg" << false;
    QTest::newRow("trailing blank") << "C:\\Mail\\a.msg " << false;
    QTest::newRow("other separator") << "C:/Mail/a.msg" << false;
    QTest::newRow("last row") << "/z.msg" << true;
  }
  void path_search_is_exact() {
    QFETCH(QString, path);
    QFETCH(bool, found);
    FormFixture f;
    Form1& form = f.Load();
    QVERIFY(!form.IsPathInList(path));  // empty list
    Fill(form, {"C:\\Mail\\a.msg", "/y.msg", "/z.msg"});
    QCOMPARE(form.IsPathInList(path), found);
  }

  void removal_data() {
    QTest::addColumn<QString>("how");  // key name, "double-click" (below), "clear"
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QStringList>("after");
    const QStringList all = {"A", "B", "C"};
    QTest::newRow("Delete") << "Delete" << 0 << false << QStringList({"A", "C"});
    QTest::newRow("Shift+Delete") << "Delete" << int(Qt::ShiftModifier) << false << QStringList({"A", "C"});
    QTest::newRow("Ctrl+Alt+Delete") << "Delete" << int(Qt::ControlModifier | Qt::AltModifier) << false
                                    << QStringList({"A", "C"});
    QTest::newRow("Backspace removes nothing") << "Backspace" << 0 << false << all;
    QTest::newRow("X removes nothing") << "X" << 0 << false << all;
    QTest::newRow("Delete while busy") << "Delete" << 0 << true << all;
    QTest::newRow("double-click") << "double-click" << 0 << false << QStringList({"A", "C"});
    QTest::newRow("double-click while busy") << "double-click" << 0 << true << all;
    QTest::newRow("double-click below the rows") << "double-click below" << 0 << false
                                                 << QStringList({"A", "C"});
    QTest::newRow("double-click below the rows while busy") << "double-click below" << 0 << true
                                                            << all;
    QTest::newRow("clear") << "clear" << 0 << false << QStringList();
    QTest::newRow("clear while busy") << "clear" << 0 << true << all;
  }
  void removal() {
    QFETCH(QString, how);
    QFETCH(int, modifiers);
    QFETCH(bool, busy);
    QFETCH(QStringList, after);
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    Fill(form, {"A", "B", "C"});
    form.ListView1->setCurrentItem(form.ListView1->topLevelItem(1));
    if (busy) form.SetHourglass();
    const auto mods = Qt::KeyboardModifiers(modifiers);
    if (how == "Delete") {
      QTest::keyClick(form.ListView1, Qt::Key_Delete, mods);
    } else if (how == "Backspace") {
      QTest::keyClick(form.ListView1, Qt::Key_Backspace, mods);
    } else if (how == "X") {
      QTest::keyClick(form.ListView1, Qt::Key_X, mods);
    } else if (how == "double-click") {
      QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, RowCentre(form, 2));
    } else if (how == "double-click below") {
      const QPoint below(RowCentre(form, 3).x(), form.ListView1->viewport()->height() - 4);
      QVERIFY(form.ListView1->itemAt(below) == nullptr);
      // As the system delivers it: a click, then the double-click.
      QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, below);
      QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, below);
    } else {
      QTest::mouseClick(form.PushButton6, Qt::LeftButton);
    }
    QCOMPARE(Rows(form), after);
    QVERIFY(f.dialogs.messages.empty());
    QCOMPARE(form.IsBusy(), busy);
  }

  void removal_on_empty_list_or_without_selection() {
    FormFixture f;
    Form1& form = f.Load();
    form.ListView1_KeyDown(Qt::Key_Delete);
    form.ListView1_DblClick();
    form.PushButton6_Click();
    QCOMPARE(form.ItemCount(), 0);
    Fill(form, {"A", "B"});
    form.ListView1->clearSelection();
    form.ListView1_KeyDown(Qt::Key_Delete);
    form.ListView1_DblClick();
    QCOMPARE(Rows(form), QStringList({"A", "B"}));
    QVERIFY(f.dialogs.messages.empty());
  }

  void double_click_removes_the_clicked_row() {
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    Fill(form, {"A", "B", "C", "D"});
    QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, RowCentre(form, 3));
    QCOMPARE(Rows(form), QStringList({"A", "B", "D"}));
  }

  void dragging_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("pressed");
    QTest::addColumn<QList<int>>("path");  // rows the pointer passes over
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selected");
    QTest::newRow("C slowly up to the first row")
        << QStringList({"A", "B", "C"}) << 3 << QList<int>({3, 2, 1}) << QStringList({"C", "A", "B"}) << 1;
    QTest::newRow("jump from row 1 to row 4")
        << QStringList({"A", "B", "C", "D"}) << 1 << QList<int>({4}) << QStringList({"D", "B", "C", "A"}) << 4;
    QTest::newRow("A slowly down to the end")
        << QStringList({"A", "B", "C", "D"}) << 1 << QList<int>({2, 3, 4}) << QStringList({"B", "C", "D", "A"}) << 4;
    QTest::newRow("there and back")
        << QStringList({"A", "B", "C"}) << 1 << QList<int>({2, 1}) << QStringList({"A", "B", "C"}) << 1;
    QTest::newRow("equal texts never exchange")
        << QStringList({"A", "A", "B"}) << 1 << QList<int>({2}) << QStringList({"A", "A", "B"}) << 1;
    QTest::newRow("equal neighbour skipped, next one exchanges")
        << QStringList({"A", "A", "B"}) << 1 << QList<int>({2, 3}) << QStringList({"B", "A", "A"}) << 3;
  }
  void dragging() {
    QFETCH(QStringList, rows);
    QFETCH(int, pressed);
    QFETCH(QList<int>, path);
    QFETCH(QStringList, after);
    QFETCH(int, selected);
    FormFixture f;
    f.InstallResource("drag.ico");
    Form1& form = f.Load();
    form.show();
    Fill(form, rows);
    Press(form, RowCentre(form, pressed));
    // The item click put the drag pointer on the list.
    QCOMPARE(form.ListView1->cursor().shape(), Qt::BitmapCursor);
    QVERIFY(!form.ListView1->viewport()->testAttribute(Qt::WA_SetCursor));  // shows the list's
    for (int row : path) MoveHeld(form, RowCentre(form, row));
    Release(form, RowCentre(form, path.last()));
    QCOMPARE(Rows(form), after);
    QCOMPARE(form.ListView1->selectedItems().size(), 1);
    QCOMPARE(form.ListView1->IndexOf(form.ListView1->selectedItems().first()), selected);
    QCOMPARE(form.ListView1->cursor().shape(), Qt::ArrowCursor);
  }

  // Moves without a held button (after the release) move nothing.
  void moves_after_release_do_nothing() {
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    Fill(form, {"A", "B", "C"});
    Press(form, RowCentre(form, 1));
    Release(form, RowCentre(form, 1));
    form.ListView1_MouseMove(Qt::NoButton, RowCentre(form, 3));
    QCOMPARE(Rows(form), QStringList({"A", "B", "C"}));
  }

  // A press away from any row, then a move across rows, moves the row
  // remembered from the last click.
  void press_on_empty_area_moves_the_remembered_row() {
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    Fill(form, {"A", "B", "C"});
    Press(form, RowCentre(form, 2));
    Release(form, RowCentre(form, 2));
    const QPoint empty(5, form.ListView1->viewport()->height() - 3);
    QVERIFY(form.ListView1->itemAt(empty) == nullptr);
    Press(form, empty);
    MoveHeld(form, RowCentre(form, 3));
    Release(form, RowCentre(form, 3));
    QCOMPARE(Rows(form), QStringList({"A", "C", "B"}));
  }

  void removed_drag_row_counts_as_none() {
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    Fill(form, {"A", "B", "C"});
    Press(form, RowCentre(form, 1));
    Release(form, RowCentre(form, 1));
    form.ListView1_KeyDown(Qt::Key_Delete);  // removes A, the remembered row
    QCOMPARE(Rows(form), QStringList({"B", "C"}));
    form.ListView1_MouseDown(Qt::LeftButton, QPoint(1, 1));
    form.ListView1_MouseMove(Qt::LeftButton, RowCentre(form, 2));
    QCOMPARE(Rows(form), QStringList({"B", "C"}));
    form.PushButton6_Click();
    form.ListView1_MouseMove(Qt::LeftButton, QPoint(5, 5));
    QCOMPARE(form.ItemCount(), 0);
  }

  void moving_is_not_refused_while_busy() {
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    Fill(form, {"A", "B"});
    form.SetHourglass();
    Press(form, RowCentre(form, 1));
    MoveHeld(form, RowCentre(form, 2));
    Release(form, RowCentre(form, 2));
    QCOMPARE(Rows(form), QStringList({"B", "A"}));
    QVERIFY(form.IsBusy());
  }

  void missing_or_broken_drag_pointer_keeps_the_pointer_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("broken") << QByteArray("not an icon at all, just text");
  }
  void missing_or_broken_drag_pointer_keeps_the_pointer() {
    QFETCH(QByteArray, file);
    FormFixture f;
    if (!file.isEmpty()) f.WriteBeside("drag.ico", file);
    Form1& form = f.Load();
    form.show();
    Fill(form, {"A", "B"});
    form.ListView1->setCursor(Qt::IBeamCursor);
    Press(form, RowCentre(form, 1));
    QCOMPARE(form.ListView1->cursor().shape(), Qt::IBeamCursor);
    MoveHeld(form, RowCentre(form, 2));
    QCOMPARE(Rows(form), QStringList({"B", "A"}));
  }

  void release_sets_arrow_without_a_move() {
    FormFixture f;
    Form1& form = f.Load();
    form.ListView1->setCursor(Qt::CrossCursor);
    form.ListView1_MouseUp(Qt::LeftButton, QPoint(1, 1));
    QCOMPARE(form.ListView1->cursor().shape(), Qt::ArrowCursor);
  }

  // The screen position decides the edge scrolling: above 305 the row before
  // the hovered one comes into view, below 364 the row after it.
  void edge_scrolling_data() {
    QTest::addColumn<int>("screen_y");
    QTest::addColumn<bool>("downwards");  // drag towards the bottom edge, else the top
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("365 scrolls down") << 365 << true << true;
    QTest::newRow("364 stays") << 364 << true << false;
    QTest::newRow("330 stays") << 330 << true << false;
    QTest::newRow("304 scrolls up") << 304 << false << true;
    QTest::newRow("305 stays") << 305 << false << false;
    QTest::newRow("going down, pointer high: no scroll") << 100 << true << false;
  }
  void edge_scrolling() {
    QFETCH(int, screen_y);
    QFETCH(bool, downwards);
    QFETCH(bool, scrolls);
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    for (int i = 1; i <= 60; ++i) form.AddFileToList(QStringLiteral("/m/%1.msg").arg(i));
    FileListView* list = form.ListView1;
    if (!downwards) list->scrollToBottom();
    QCoreApplication::processEvents();
    // The last fully visible row (going down) or the first (going up).
    int edge = 0;
    for (int i = 1; i <= form.ItemCount(); ++i) {
      if (RowVisible(form, i)) {
        if (!downwards && edge == 0) edge = i;
        if (downwards) edge = i;
      }
    }
    QVERIFY(edge > 1 && edge < form.ItemCount());
    const int beyond = downwards ? edge + 1 : edge - 1;
    const int start = downwards ? edge - 1 : edge + 1;
    QVERIFY(!RowVisible(form, beyond));
    f.screen.position = QPoint(10, screen_y);
    Press(form, RowCentre(form, start));
    MoveHeld(form, RowCentre(form, edge));
    QCOMPARE(form.ItemText(edge), QStringLiteral("/m/%1.msg").arg(start));
    QCOMPARE(RowVisible(form, beyond), scrolls);
  }

  void pointer_rules() {
    FormFixture f;
    f.InstallResource("HAND-M.CUR");
    Form1& form = f.Load();
    form.show();
    QVERIFY(form.HandPointer().has_value());
    auto move_over = [&](QWidget* target, QPoint pos) {
      SendMouse(target, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
    };
    for (QPushButton* button : {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4,
                                form.PushButton6, form.PushButton7, form.PushButton9}) {
      form.unsetCursor();
      move_over(button, QPoint(3, 3));
      QVERIFY2(form.cursor().shape() == Qt::BitmapCursor, qPrintable(button->objectName()));
      QCOMPARE(form.cursor().hotSpot(), QPoint(7, 0));
      // Back on the window background the default pointer returns.
      move_over(&form, QPoint(2, 2));
      QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    }
    // Frames and the list restore the default pointer too.
    for (QWidget* surface : {static_cast<QWidget*>(form.Frame1), static_cast<QWidget*>(form.Frame4),
                             form.ListView1->viewport()}) {
      move_over(form.PushButton1, QPoint(3, 3));
      QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
      move_over(surface, QPoint(2, 2));
      QVERIFY2(form.cursor().shape() == Qt::ArrowCursor, qPrintable(surface->objectName()));
    }
    // Over an option button (inside Frame1) nothing changes.
    move_over(form.PushButton1, QPoint(3, 3));
    move_over(form.Option1, QPoint(3, 3));
    QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);

    // While busy the hourglass stays wherever the pointer goes.
    form.SetHourglass();
    for (QWidget* target : {static_cast<QWidget*>(form.PushButton1), static_cast<QWidget*>(&form),
                            static_cast<QWidget*>(form.Frame1), form.ListView1->viewport()}) {
      move_over(target, QPoint(2, 2));
      QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
      QVERIFY(form.IsBusy());
    }
    form.SetDefaultPointer();
    QVERIFY(!form.IsBusy());
  }

  void buttons_show_default_pointer_without_hand_file() {
    FormFixture f;
    Form1& form = f.Load();
    form.show();
    form.setCursor(Qt::CrossCursor);
    SendMouse(form.PushButton2, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton, Qt::NoButton);
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!form.IsBusy());
  }

  void drops_follow_the_drag_over_answer_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("refused") << false;
  }
  void drops_follow_the_drag_over_answer() {
    QFETCH(bool, accept);
    FileListView list;
    list.show();
    int drops = 0;
    list.drag_over = [&](const QMimeData* data) { return accept && data->hasUrls(); };
    list.drag_drop = [&](const QMimeData*) { ++drops; };
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/m/a.msg")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    QCOMPARE(enter.isAccepted(), accept);
    QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &move);
    QCOMPARE(move.isAccepted(), accept);
    QDropEvent drop(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    if (accept) {
      QApplication::sendEvent(list.viewport(), &drop);
      QCOMPARE(drops, 1);
    }
  }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
