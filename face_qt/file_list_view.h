// ListView1: the list of source files. One column under a header, one row per
// source path, no icons or check boxes.
//
// The widget only turns Qt's events into the window's handler calls; the
// window (Form1) decides what each one does. Mouse positions are in the
// viewport's coordinates, the area below the header where the rows are.
#pragma once

#include <QPoint>
#include <QTreeWidget>
#include <functional>

class QMimeData;

class FileListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr);

  // Row of `item`, counted from 1; 0 for none.
  int IndexOf(const QTreeWidgetItem* item) const;

  // Drop target hooks (the window's OLEDragOver / OLEDragDrop): a drag is
  // accepted while `drag_over` returns true.
  std::function<bool(const QMimeData*)> drag_over;
  std::function<void(const QMimeData*)> drag_drop;

 signals:
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);
  void DoubleClicked();
  // A press on a row, after the row was selected.
  void ItemClicked(QTreeWidgetItem* item);
  void MouseDown(Qt::MouseButton button, const QPoint& pos);
  void MouseMoved(Qt::MouseButtons buttons, const QPoint& pos);
  void MouseUp(Qt::MouseButton button, const QPoint& pos);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
};
