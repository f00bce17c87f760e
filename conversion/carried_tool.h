// The converter tool's executable image, carried inside the program as a
// resource and written out for each conversion run.
#pragma once

#include <QByteArray>

namespace conversion {

// The bytes of the carried tool. Throws platform::Failure when the resource is
// missing (a build without it).
QByteArray CarriedToolImage();

}  // namespace conversion
