#include "cli/SpriteIo.h"

namespace tess::cli {

bool loadAs(TSpriteFile& file, const std::string& path, TSprLayout layout) {
  return file.load(path, layout);
}

bool saveAs(TSpriteFile& file, const std::string& path, std::int32_t signature, TSprLayout layout,
            TSprLayout readAs) {
  return file.save(path, signature, layout,
                   readAs.alpha ? TSprSavedAlpha::AsItIs : TSprSavedAlpha::Opaque);
}

}  // namespace tess::cli
