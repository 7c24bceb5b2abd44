#pragma once

#include <QImage>

#include "screens/bitmap.h"

namespace halvern {

// A Bitmap as a QImage (a deep copy: the image outlives the bitmap). Raster only, so it needs no
// display and no application object.
inline QImage toImage(const Bitmap& bitmap) {
  return QImage(reinterpret_cast<const uchar*>(bitmap.data()), bitmap.width(), bitmap.height(),
                bitmap.width() * 4, QImage::Format_RGB32)
      .copy();
}

}  // namespace halvern
