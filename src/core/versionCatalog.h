#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sprite/TSprLayout.h"

namespace tess {

// One client version of the catalog.
struct TVersionInfo {
  std::int32_t spriteSignature = 0;  // never 0 in a loaded catalog
  std::string name;                  // the config.ini section name
  bool sprite32 = false;             // the sprite count is 32 bits wide (else 16)
  bool alpha = false;                // pixels carry an alpha byte (else they are opaque RGB)
};

// How files of `version` are laid out.
constexpr TSprLayout layoutOf(const TVersionInfo& version) noexcept {
  return {version.sprite32, version.alpha};
}

// Reads the catalog from an INI file: one entry per section, in file order. A missing file has
// no sections. Returns false (with `versions` holding whatever was read before the failure) when
// there are no sections or a section's "SPRSignature" is missing, malformed or zero. `reason`,
// when given, receives why. "sprite32" and "alpha" are integers (decimal, or hexadecimal after
// "$" or "0x") whose lowest 8 bits decide; missing or not a number, they are 0.
//
// The INI dialect: a line "[name]" opens a section (blanks around the name dropped; text after
// the ']' may only be a comment); "key=value" or "key: value" gives a value, keys matched without
// regard to case, blanks around the value dropped, and " ;" starts a comment inside a value
// line. Lines starting with ';' or '#' are comments; indentation means nothing. Every "[name]"
// line is its own entry, so a name written twice gives two entries, each with its own keys.
// When a key is given twice in one section the first value counts. Keys before the first
// section are ignored. A line that is none of these, an empty section name, a value line
// longer than kMaxIniValueLine characters, a NUL byte or a file larger than kMaxCatalogBytes
// fails the read.
[[nodiscard]] bool readVersionCatalog(const std::string& iniPath,
                                      std::vector<TVersionInfo>& versions,
                                      std::string* reason = nullptr);

// The same rules applied to the text of an INI file.
[[nodiscard]] bool parseVersionCatalog(std::string_view text, std::vector<TVersionInfo>& versions,
                                       std::string* reason = nullptr);

inline constexpr std::size_t kMaxCatalogBytes = 1024 * 1024;
inline constexpr std::size_t kMaxIniValueLine = 190;

}  // namespace tess
