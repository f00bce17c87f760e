#include "app/qt_screen_cursor.h"

#include <QCursor>

QPoint QtScreenCursor::Position() const { return QCursor::pos(); }
