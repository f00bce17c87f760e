#include "face_qt/cursor_file.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

#include "platform/error_report.h"

namespace {

// A pointer file is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxPointerFileBytes = 1 << 20;

// ICONDIR (6 bytes) followed by ICONDIRENTRY records of 16 bytes each.
constexpr int kDirectoryBytes = 6;
constexpr int kEntryBytes = 16;
constexpr int kTypeIcon = 1;
constexpr int kTypeCursor = 2;

quint16 U16Le(const QByteArray& bytes, int offset) {
  return static_cast<quint16>(static_cast<quint8>(bytes[offset]) |
                              (static_cast<quint8>(bytes[offset + 1]) << 8));
}

[[noreturn]] void InvalidPicture() { throw platform::Failure("Invalid picture"); }

}  // namespace

CursorImage ReadCursorFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPointerFileBytes) InvalidPicture();
  const QByteArray bytes = file.readAll();
  if (bytes.size() < kDirectoryBytes + kEntryBytes) InvalidPicture();
  const int type = U16Le(bytes, 2);
  if (U16Le(bytes, 0) != 0 || (type != kTypeIcon && type != kTypeCursor) || U16Le(bytes, 4) == 0)
    InvalidPicture();

  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  // Qt's icon plugin reads both kinds; the format name only picks the plugin.
  QImageReader reader(&buffer, type == kTypeCursor ? "cur" : "ico");
  CursorImage result;
  result.image = reader.read();
  if (result.image.isNull()) InvalidPicture();

  if (type == kTypeCursor) {
    // In a cursor file the first entry's planes and bit-count fields hold the hot spot.
    const int x = U16Le(bytes, kDirectoryBytes + 4);
    const int y = U16Le(bytes, kDirectoryBytes + 6);
    result.hotspot = QPoint(qBound(0, x, result.image.width() - 1), qBound(0, y, result.image.height() - 1));
  } else {
    result.hotspot = QPoint(result.image.width() / 2, result.image.height() / 2);
  }
  return result;
}

QCursor LoadCursorFile(const QString& path) {
  CursorImage cursor = ReadCursorFile(path);
  return QCursor(QPixmap::fromImage(cursor.image), cursor.hotspot.x(), cursor.hotspot.y());
}
