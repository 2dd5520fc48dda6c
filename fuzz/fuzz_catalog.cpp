// Reads any bytes as config.ini. A catalog that is accepted holds at least one version, each
// with a name and a signature that is not 0; one that is refused says why. Reading the file and
// parsing its text give the same answer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "core/versionCatalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tess::fuzz::require;
  static const tess::fuzz::ScratchFile input("-config.ini");
  input.write(data, size);

  std::vector<tess::TVersionInfo> versions;
  std::string reason;
  const bool ok = tess::readVersionCatalog(input.path(), versions, &reason);
  if (!ok) {
    require(!reason.empty(), "a refused catalog says why");
  } else {
    require(!versions.empty(), "an accepted catalog lists a version");
    for (const tess::TVersionInfo& version : versions) {
      require(version.spriteSignature != 0, "no accepted version has signature 0");
      require(!version.name.empty(), "every accepted version has a name");
    }
  }

  if (size <= tess::kMaxCatalogBytes) {
    std::vector<tess::TVersionInfo> parsed;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    require(tess::parseVersionCatalog(text, parsed) == ok, "file and text agree on success");
    require(parsed.size() == versions.size(), "file and text agree on the entries");
    for (std::size_t i = 0; i < parsed.size(); ++i) {
      require(parsed[i].name == versions[i].name &&
                  parsed[i].spriteSignature == versions[i].spriteSignature &&
                  parsed[i].sprite32 == versions[i].sprite32 &&
                  parsed[i].alpha == versions[i].alpha,
              "file and text give the same entries");
    }
  }
  return 0;
}
