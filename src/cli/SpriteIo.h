#pragma once

#include <cstdint>
#include <string>

#include "sprite/TSprLayout.h"
#include "sprite/TSpriteFile.h"

namespace tess::cli {

// The sprite file's own reader and writer, given a layout: the tool reads and writes exactly
// as the editor's Open and Save do. A save is told the layout the sprites were read as, since
// the editor stores the sprites of a file without alpha opaque whatever their images hold.
[[nodiscard]] bool loadAs(TSpriteFile& file, const std::string& path, TSprLayout layout);
[[nodiscard]] bool saveAs(TSpriteFile& file, const std::string& path, std::int32_t signature,
                          TSprLayout layout, TSprLayout readAs);

}  // namespace tess::cli
