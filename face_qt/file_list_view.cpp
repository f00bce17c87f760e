#include "face_qt/file_list_view.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Full paths are wider than the list: the column keeps its width and the
  // list scrolls sideways instead of eliding.
  setTextElideMode(Qt::ElideNone);
  header()->setStretchLastSection(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Rows are moved by the window's own drag handling; the list never starts a
  // drag of its own and scrolls at the edges only as the window says.
  setDragEnabled(false);
  setAutoScroll(false);
  setAcceptDrops(true);
  // Pointer moves without a button drive the window's pointer rules.
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
}

int FileListView::IndexOf(const QTreeWidgetItem* item) const {
  if (item == nullptr) return 0;
  return indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) + 1;
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  emit KeyDown(event->key(), event->modifiers());
  QTreeWidget::keyPressEvent(event);
}

void FileListView::mousePressEvent(QMouseEvent* event) {
  // The list selects the row first, so the click handler finds it selected.
  QTreeWidget::mousePressEvent(event);
  const QPoint pos = event->position().toPoint();
  if (QTreeWidgetItem* item = itemAt(pos)) emit ItemClicked(item);
  emit MouseDown(event->button(), pos);
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
  // With a button held the list would select the rows the pointer crosses;
  // while a row is moved only the window's handler changes the selection.
  if (event->buttons() == Qt::NoButton) QTreeWidget::mouseMoveEvent(event);
  emit MouseMoved(event->buttons(), event->position().toPoint());
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  emit MouseUp(event->button(), event->position().toPoint());
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  emit DoubleClicked();
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (drag_over && drag_over(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (drag_over && drag_over(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void FileListView::dropEvent(QDropEvent* event) {
  if (drag_drop) {
    event->acceptProposedAction();
    drag_drop(event->mimeData());
  } else {
    event->ignore();
  }
}

QItemSelectionModel::SelectionFlags FileListView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
  // A click on the empty area below the rows keeps the selected row: it may be
  // the first half of a double-click, which removes that row.
  if (!index.isValid() && event != nullptr &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
       event->type() == QEvent::MouseButtonDblClick)) {
    return QItemSelectionModel::NoUpdate;
  }
  return QTreeWidget::selectionCommand(index, event);
}
