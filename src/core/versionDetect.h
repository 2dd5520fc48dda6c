#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/versionCatalog.h"
#include "sprite/TSprLayout.h"

namespace tess {

// What a sprite file's own bytes say about it: its signature and which of the four layouts read
// its offset table and every record consistently (see sprLayoutReads). Only the table and the
// run headers are looked at.
struct TSprProbe {
  bool readable = false;  // the file could be read and holds at least a signature
  std::string error;      // why not, when it is not
  std::int32_t signature = 0;
  std::array<bool, kSprLayouts.size()> consistent{};  // in the order of kSprLayouts

  bool reads(TSprLayout layout) const noexcept;
  // The one layout that reads the file, or none when no layout or more than one does.
  std::optional<TSprLayout> onlyLayout() const noexcept;
};

[[nodiscard]] TSprProbe probeSprBytes(const std::uint8_t* bytes, std::size_t size);
[[nodiscard]] TSprProbe probeSprFile(const std::string& fileName);

// "Auto detect": among the entries whose signature is the file's, the first whose layout reads
// the file consistently, else the first of them; none when the file cannot be read or no entry
// has its signature.
[[nodiscard]] std::optional<TVersionInfo> detectCatalogVersion(
    const TSprProbe& probe, const std::vector<TVersionInfo>& versions);
[[nodiscard]] std::optional<TVersionInfo> detectCatalogVersion(
    const std::string& fileName, const std::vector<TVersionInfo>& versions);

// For a file whose signature no entry has: the layout it reads as, when exactly one does.
[[nodiscard]] std::optional<TSprLayout> detectLayoutOf(const std::string& fileName);

// Whether some entry of `versions` has this signature.
[[nodiscard]] bool catalogKnows(std::int32_t signature, const std::vector<TVersionInfo>& versions);

// After an open as `failed` did not succeed: another layout that reads the file, as the first
// entry with the file's signature and that layout, or, when no such entry exists, the layout
// the file alone is detected as (see TSprProbe::onlyLayout), under unknownVersion's name.
// None when `failed` reads the file itself, or no other layout is found.
[[nodiscard]] std::optional<TVersionInfo> versionThatReads(
    const TSprProbe& probe, const std::vector<TVersionInfo>& versions, TSprLayout failed);
[[nodiscard]] std::optional<TVersionInfo> versionThatReads(
    const std::string& fileName, const std::vector<TVersionInfo>& versions, TSprLayout failed);

// The signature as eight upper-case hexadecimal digits, as config.ini writes it: "57BBD603".
std::string signatureHex(std::int32_t signature);
// A version for a file whose signature the catalog lacks, named "Unknown (XXXXXXXX)", saving
// with that signature and layout.
TVersionInfo unknownVersion(std::int32_t signature, TSprLayout layout);
// The layout in words, for messages: "32-bit counts, with alpha", "16-bit counts, without alpha".
std::string describeLayout(TSprLayout layout);

}  // namespace tess
