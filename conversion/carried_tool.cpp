#include "conversion/carried_tool.h"

#include <QResource>

#include "platform/error_report.h"

namespace conversion {

// qt_add_resources puts the resource of this static library into an object
// library of its own, linked into every user, so it registers itself at start
// without Q_INIT_RESOURCE.
QByteArray CarriedToolImage() {
  QResource resource(QStringLiteral(":/mailvane/quorvex"));
  if (!resource.isValid()) throw platform::Failure("Resource not found");
  // Stored uncompressed: this copies the mapped bytes.
  return resource.uncompressedData();
}

}  // namespace conversion
