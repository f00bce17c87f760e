// Pointer images from files beside the program: Windows cursor (.cur) and icon
// (.ico) files.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QString>

struct CursorImage {
  QImage image;
  // Where the pointer points, in image pixels: the cursor file's hot spot, the
  // centre for an icon file.
  QPoint hotspot;
};

// Reads the first image of a .cur or .ico file. Throws platform::Failure("Invalid
// picture") when the file cannot be read or holds no image Qt can decode.
CursorImage ReadCursorFile(const QString& path);

// ReadCursorFile made into a pointer.
QCursor LoadCursorFile(const QString& path);
