#include <cstdio>

#include "converter_tool/console.h"

namespace converter {

void PrintLine(const char* text, const char* more) { std::printf("%s%s\n", text, more); }

}  // namespace converter
