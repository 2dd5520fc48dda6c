#include "core/versionDetect.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "sprite/TNStream.h"

namespace tess {

namespace {

std::size_t layoutIndex(TSprLayout layout) noexcept {
  const auto found = std::find(kSprLayouts.begin(), kSprLayouts.end(), layout);
  return static_cast<std::size_t>(found - kSprLayouts.begin());
}

std::uint32_t le32At(const unsigned char* bytes) noexcept {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
}

// How many records from each end of the table sampleReads looks at.
constexpr std::size_t kSampledRecords = 32;
// A record's colour key and data size come before its runs.
constexpr std::size_t kRecordHeader = 5;

// Whether the record at `recordAt` holds together in `layout`: it is copied into a one-sprite
// file, which the full check then reads.
bool recordReads(std::ifstream& file, std::uint64_t fileSize, std::uint32_t recordAt,
                 TSprLayout layout) {
  std::array<unsigned char, kRecordHeader> head{};
  file.seekg(recordAt);
  if (!file.read(reinterpret_cast<char*>(head.data()), head.size())) return false;
  const std::size_t dataSize = head[3] | head[4] << 8;
  if (recordAt + kRecordHeader + dataSize > fileSize) return false;
  std::vector<std::uint8_t> single(layout.tableStart() + 4 + kRecordHeader + dataSize, 0);
  single[4] = 1;  // one sprite, in either count width
  const auto recordInSingle = static_cast<std::uint32_t>(layout.tableStart() + 4);
  for (int i = 0; i < 4; ++i) {
    single[layout.tableStart() + i] = static_cast<std::uint8_t>(recordInSingle >> (8 * i));
  }
  std::copy(head.begin(), head.end(), single.begin() + recordInSingle);
  if (dataSize > 0 &&
      !file.read(reinterpret_cast<char*>(single.data() + recordInSingle + kRecordHeader),
                 static_cast<std::streamsize>(dataSize))) {
    return false;
  }
  return sprLayoutReads(single.data(), single.size(), layout);
}

}  // namespace

bool sampleReads(const std::string& fileName, TSprLayout layout) {
  std::error_code error;
  const std::filesystem::path path(fileName);
  const std::uint64_t size = std::filesystem::file_size(path, error);
  if (error) return false;
  std::ifstream file(path, std::ios::binary);
  std::array<unsigned char, 8> head{};
  if (size < layout.tableStart() || !file.read(reinterpret_cast<char*>(head.data()),
                                               static_cast<std::streamsize>(layout.tableStart()))) {
    return false;
  }
  const std::uint64_t count =
      layout.sprite32 ? std::uint64_t{static_cast<std::uint32_t>(le32At(head.data() + 4))}
                      : std::uint64_t{static_cast<std::uint32_t>(head[4] | head[5] << 8)};
  if (count == 0 || (layout.sprite32 && static_cast<std::int32_t>(count) < 0)) return false;
  if ((size - layout.tableStart()) / 4 < count) return false;
  const std::uint64_t tableEnd = layout.tableStart() + 4 * count;

  std::vector<std::uint32_t> first;
  std::deque<std::uint32_t> last;
  std::vector<unsigned char> block(64 * 1024);
  std::uint64_t left = count * 4;
  while (left > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    if (!file.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(chunk))) {
      return false;
    }
    left -= chunk;
    for (std::size_t at = 0; at < chunk; at += 4) {
      const std::uint32_t recordAt = le32At(block.data() + at);
      if (recordAt == 0) continue;
      if (recordAt < tableEnd || recordAt > size || size - recordAt < kRecordHeader) return false;
      if (first.size() < kSampledRecords) {
        first.push_back(recordAt);
        continue;
      }
      last.push_back(recordAt);
      if (last.size() > kSampledRecords) last.pop_front();
    }
  }
  first.insert(first.end(), last.begin(), last.end());
  return std::all_of(first.begin(), first.end(), [&](std::uint32_t recordAt) {
    return recordReads(file, size, recordAt, layout);
  });
}

bool TSprProbe::reads(TSprLayout layout) const noexcept {
  const std::size_t index = layoutIndex(layout);
  return readable && index < consistent.size() && consistent[index];
}

std::optional<TSprLayout> TSprProbe::onlyLayout() const noexcept {
  if (!readable) return std::nullopt;
  std::optional<TSprLayout> only;
  for (std::size_t i = 0; i < kSprLayouts.size(); ++i) {
    if (!consistent[i]) continue;
    if (only) return std::nullopt;
    only = kSprLayouts[i];
  }
  return only;
}

TSprProbe probeSprBytes(const std::uint8_t* bytes, std::size_t size) {
  TSprProbe probe;
  if (size < 4) {
    probe.error = "the file is shorter than a signature";
    return probe;
  }
  probe.readable = true;
  probe.signature = static_cast<std::int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                              std::uint32_t{bytes[3]} << 24);
  for (std::size_t i = 0; i < kSprLayouts.size(); ++i) {
    probe.consistent[i] = sprLayoutReads(bytes, size, kSprLayouts[i]);
  }
  return probe;
}

TSprProbe probeSprFile(const std::string& fileName) {
  TNStream stream;
  try {
    stream.LoadFromFile(fileName);
  } catch (const std::exception& error) {
    TSprProbe probe;
    probe.error = error.what();
    return probe;
  }
  return probeSprBytes(stream.bytes().data(), stream.size());
}

std::optional<TVersionInfo> detectCatalogVersion(const TSprProbe& probe,
                                                 const std::vector<TVersionInfo>& versions) {
  if (!probe.readable) return std::nullopt;
  const TVersionInfo* first = nullptr;
  for (const TVersionInfo& version : versions) {
    if (version.spriteSignature != probe.signature) continue;
    if (probe.reads(layoutOf(version))) return version;
    if (first == nullptr) first = &version;
  }
  if (first == nullptr) return std::nullopt;
  // Custom clients keep a version's signature and change its layout; the file's own structure
  // says which, when only one layout reads it.
  if (const std::optional<TSprLayout> only = probe.onlyLayout())
    return layoutVariant(*first, *only);
  return *first;
}

std::optional<TVersionInfo> detectCatalogVersion(const std::string& fileName,
                                                 const std::vector<TVersionInfo>& versions) {
  // Where every entry with the file's signature has the same layout, the answer is the first of
  // them whatever the file holds: only the signature needs reading.
  std::ifstream file(std::filesystem::path(fileName), std::ios::binary);
  std::array<unsigned char, 4> head{};
  if (!file.read(reinterpret_cast<char*>(head.data()), head.size())) return std::nullopt;
  const auto signature = static_cast<std::int32_t>(head[0] | head[1] << 8 | head[2] << 16 |
                                                   std::uint32_t{head[3]} << 24);
  const TVersionInfo* first = nullptr;
  bool oneLayout = true;
  for (const TVersionInfo& version : versions) {
    if (version.spriteSignature != signature) continue;
    if (first == nullptr) {
      first = &version;
    } else if (layoutOf(version) != layoutOf(*first)) {
      oneLayout = false;
    }
  }
  if (first == nullptr) return std::nullopt;
  if (oneLayout && sampleReads(fileName, layoutOf(*first))) return *first;
  return detectCatalogVersion(probeSprFile(fileName), versions);
}

std::optional<TSprLayout> detectLayoutOf(const std::string& fileName) {
  return probeSprFile(fileName).onlyLayout();
}

bool catalogKnows(std::int32_t signature, const std::vector<TVersionInfo>& versions) {
  return std::any_of(versions.begin(), versions.end(),
                     [&](const TVersionInfo& v) { return v.spriteSignature == signature; });
}

std::optional<TVersionInfo> versionThatReads(const TSprProbe& probe,
                                             const std::vector<TVersionInfo>& versions,
                                             TSprLayout failed) {
  // When the chosen layout reads the file, the layout was not what made the open fail.
  if (!probe.readable || probe.reads(failed)) return std::nullopt;
  for (const TVersionInfo& version : versions) {
    if (version.spriteSignature != probe.signature) continue;
    const TSprLayout layout = layoutOf(version);
    if (layout != failed && probe.reads(layout)) return version;
  }
  const std::optional<TSprLayout> detected = probe.onlyLayout();
  if (!detected || *detected == failed) return std::nullopt;
  for (const TVersionInfo& version : versions) {
    if (version.spriteSignature == probe.signature) return layoutVariant(version, *detected);
  }
  return unknownVersion(probe.signature, *detected);
}

std::optional<TVersionInfo> versionThatReads(const std::string& fileName,
                                             const std::vector<TVersionInfo>& versions,
                                             TSprLayout failed) {
  return versionThatReads(probeSprFile(fileName), versions, failed);
}

std::string signatureHex(std::int32_t signature) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(signature));
  return digits;
}

TVersionInfo unknownVersion(std::int32_t signature, TSprLayout layout) {
  return {signature, "Unknown (" + signatureHex(signature) + ")", layout.sprite32, layout.alpha};
}

std::string layoutTag(TSprLayout layout) {
  return std::to_string(layout.countBits()) + "-bit, " + (layout.alpha ? "alpha" : "no alpha");
}

TVersionInfo layoutVariant(const TVersionInfo& entry, TSprLayout layout) {
  return {entry.spriteSignature, entry.name + " (" + layoutTag(layout) + ")", layout.sprite32,
          layout.alpha};
}

std::optional<TVersionInfo> versionNamed(const std::string& name,
                                         const std::vector<TVersionInfo>& versions) {
  for (const TVersionInfo& version : versions) {
    if (version.name == name) return version;
  }
  for (const TVersionInfo& version : versions) {
    for (const TSprLayout layout : kSprLayouts) {
      if (layout == layoutOf(version)) continue;
      TVersionInfo variant = layoutVariant(version, layout);
      if (variant.name == name) return variant;
    }
  }
  return std::nullopt;
}

std::string catalogNameOf(const TVersionInfo& version, const std::vector<TVersionInfo>& versions) {
  for (const TVersionInfo& entry : versions) {
    if (entry.spriteSignature != version.spriteSignature) continue;
    if (entry.name == version.name && layoutOf(entry) == layoutOf(version)) return entry.name;
    if (layoutVariant(entry, layoutOf(version)).name == version.name) return entry.name;
  }
  return {};
}

std::string describeLayout(TSprLayout layout) {
  return std::to_string(layout.countBits()) + "-bit counts, " +
         (layout.alpha ? "with alpha" : "without alpha");
}

}  // namespace tess
