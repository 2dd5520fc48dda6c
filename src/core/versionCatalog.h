#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tess {

// One client version of the catalog.
struct TVersionInfo {
  std::int32_t spriteSignature = 0;  // never 0 in a loaded catalog
  std::string name;                  // the config.ini section name
  bool sprite32 = false;             // the sprite count is 32 bits wide (else 16)
};

// Reads the catalog from an INI file: one entry per section, in file order. A missing file has
// no sections. Returns false (with `versions` holding whatever was read before the failure) when
// there are no sections or a section's "SPRSignature" is missing, malformed or zero. `reason`,
// when given, receives why.
bool readVersionCatalog(const std::string& iniPath, std::vector<TVersionInfo>& versions,
                        std::string* reason = nullptr);

}  // namespace tess
