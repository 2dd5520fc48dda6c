#pragma once

namespace tess {

// What an import does with partly transparent pixels. Sprite files without an alpha channel
// store every coloured pixel opaque, so there a pixel is composited over white as it comes in;
// files with an alpha channel keep the image's own colours and alpha.
enum class ImportAlpha {
  OverWhite,
  Keep,
};

}  // namespace tess
