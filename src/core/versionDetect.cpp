#include "core/versionDetect.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <exception>

#include "sprite/TNStream.h"

namespace tess {

namespace {

std::size_t layoutIndex(TSprLayout layout) noexcept {
  const auto found = std::find(kSprLayouts.begin(), kSprLayouts.end(), layout);
  return static_cast<std::size_t>(found - kSprLayouts.begin());
}

}  // namespace

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
  if (oneLayout) return *first;
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

std::string describeLayout(TSprLayout layout) {
  return std::to_string(layout.countBits()) + "-bit counts, " +
         (layout.alpha ? "with alpha" : "without alpha");
}

}  // namespace tess
