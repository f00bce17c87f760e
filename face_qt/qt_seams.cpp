#include "face_qt/qt_seams.h"

#include <QCoreApplication>
#include <QRandomGenerator>

namespace platform {

void QtEventPump::Yield() { QCoreApplication::processEvents(); }

// The system generator is seeded by the platform, which serves better than a
// seed from the time of day.
int QtRandomSource::Draw1To100() { return QRandomGenerator::system()->bounded(1, 101); }

}  // namespace platform
