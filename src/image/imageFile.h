#pragma once

#include <string>

#include "bitmap/TBitmap32.h"

namespace tess {

// Fills `bitmap` from an image file, choosing the decoder by the lower-cased whole path: "png"
// anywhere means PNG (false when it does not decode, the bitmap untouched); otherwise "bmp"
// anywhere means BMP, whose read errors are thrown as std::runtime_error; otherwise nothing is
// loaded and the result is true.
bool loadImageFile(const std::string& fileName, TBitmap32& bitmap);

}  // namespace tess
