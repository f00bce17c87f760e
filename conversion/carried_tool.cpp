#include "conversion/carried_tool.h"

#include <QResource>

#include "app/seams/error_report.h"

// Registers the resource of this static library; the linker would otherwise
// drop its initialiser. Outside any namespace, as the macro requires.
static void InitCarriedToolResource() { Q_INIT_RESOURCE(carried_tool); }

namespace conversion {

QByteArray CarriedToolImage() {
  InitCarriedToolResource();
  QResource resource(QStringLiteral(":/mailvane/quorvex"));
  if (!resource.isValid()) throw seams::Failure("Resource not found");
  // Stored uncompressed, so this is a copy of the mapped bytes.
  return resource.uncompressedData();
}

}  // namespace conversion
