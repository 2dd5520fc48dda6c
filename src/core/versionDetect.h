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
// the file consistently. When none does but the file reads in exactly one layout, that layout
// under the first entry's name (layoutVariant); else the first entry. None when the file cannot
// be read or no entry has its signature.
[[nodiscard]] std::optional<TVersionInfo> detectCatalogVersion(
    const TSprProbe& probe, const std::vector<TVersionInfo>& versions);
// The same for a file on disk. Where the entries of its signature share one layout and a sample
// of the file reads in it (sampleReads), only that sample is read.
[[nodiscard]] std::optional<TVersionInfo> detectCatalogVersion(
    const std::string& fileName, const std::vector<TVersionInfo>& versions);

// A cheap look at whether `layout` reads the file: the count, the bounds of every table entry
// and the run headers of the first and last few records. A file that reads in `layout` always
// passes; one that fails it surely does not read.
[[nodiscard]] bool sampleReads(const std::string& fileName, TSprLayout layout);

// For a file whose signature no entry has: the layout it reads as, when exactly one does.
[[nodiscard]] std::optional<TSprLayout> detectLayoutOf(const std::string& fileName);

// Whether some entry of `versions` has this signature.
[[nodiscard]] bool catalogKnows(std::int32_t signature, const std::vector<TVersionInfo>& versions);

// After an open as `failed` did not succeed: another layout that reads the file, as the first
// entry with the file's signature and that layout, or, when no such entry exists, the layout
// the file alone is detected as (see TSprProbe::onlyLayout), as a layoutVariant of the first
// entry with the signature, or under unknownVersion's name when there is none.
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
// A version of this run for files that keep `entry`'s signature in another layout, named after
// the entry and the layout: "10.98 (32-bit, alpha)", "8.60 (16-bit, no alpha)".
TVersionInfo layoutVariant(const TVersionInfo& entry, TSprLayout layout);
// The short form of a layout in a variant's name: "32-bit, alpha", "16-bit, no alpha".
std::string layoutTag(TSprLayout layout);
// The catalog entry called `name`, or the layout variant of one that `name` spells
// ("10.98 (32-bit, alpha)"); none otherwise.
[[nodiscard]] std::optional<TVersionInfo> versionNamed(const std::string& name,
                                                       const std::vector<TVersionInfo>& versions);
// The name of the catalog entry `version` is, or is a layout variant of; empty for neither.
std::string catalogNameOf(const TVersionInfo& version, const std::vector<TVersionInfo>& versions);
// The layout in words, for messages: "32-bit counts, with alpha", "16-bit counts, without alpha".
std::string describeLayout(TSprLayout layout);

}  // namespace tess
