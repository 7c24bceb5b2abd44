#pragma once

#include <string>

#include "screens/bitmap.h"

namespace halvern {

// A Bitmap as a Windows bitmap file that image viewers open: 24 bits a pixel, uncompressed,
// rows bottom up and padded to four bytes.
std::string windowsBitmap(const Bitmap& bitmap);

}  // namespace halvern
