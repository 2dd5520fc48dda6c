#include "core/versionCatalog.h"

#include <ini.h>

#include <strings.h>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <optional>

namespace tess {

namespace {

constexpr std::string_view kSignatureKey = "SPRSignature";
constexpr std::string_view kSprite32Key = "sprite32";
constexpr std::string_view kAlphaKey = "alpha";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) noexcept {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameKey(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

int hexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hexadecimal digits only, leading zeros not counted against the eight a 32-bit value has.
std::optional<std::uint32_t> parseHex32(std::string_view digits) noexcept {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  int significant = 0;
  for (const char c : digits) {
    const int digit = hexValue(c);
    if (digit < 0) return std::nullopt;
    if (value != 0 || digit != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// An INI integer: an optional sign, then decimal digits, or hexadecimal digits after "$" or
// "0x". Decimal values must fit a signed 32-bit integer; hexadecimal ones may use all 32 bits.
// Anything else, including an out-of-range value, is not a number.
std::optional<std::int64_t> parseIniInteger(std::string_view text) noexcept {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::int64_t magnitude = 0;
  if (!text.empty() && text.front() == '$') {
    const auto hex = parseHex32(text.substr(1));
    if (!hex) return std::nullopt;
    magnitude = *hex;
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const auto hex = parseHex32(text.substr(2));
    if (!hex) return std::nullopt;
    magnitude = *hex;
  } else {
    if (text.empty()) return std::nullopt;
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // the magnitude of INT32_MIN
    for (const char c : text) {
      if (c < '0' || c > '9') return std::nullopt;
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > kLimit) return std::nullopt;
    }
    if (!negative && magnitude == kLimit) return std::nullopt;
  }
  return negative ? -magnitude : magnitude;
}

// A switch key ("sprite32", "alpha"): on when the integer's lowest 8 bits are not all zero.
bool switchFrom(const std::optional<std::string>& text) noexcept {
  const auto value = text ? parseIniInteger(*text) : std::nullopt;
  return value && (static_cast<std::uint64_t>(*value) & 0xFFu) != 0;
}

struct SectionValues {
  std::string name;
  std::optional<std::string> signature;
  std::optional<std::string> sprite32;
  std::optional<std::string> alpha;
};

void fail(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
}

// inih reports a section only through the keys it holds, and cannot tell two sections of the
// same name apart when they follow each other. So the sections are found here, and inih gets a
// copy of the text in which every section line is replaced by the section's position, every
// comment or blank line by an empty one (line numbers stay the same), and indentation is gone
// (inih would take an indented line for the continuation of the value above it).
bool layOut(std::string_view text, std::vector<SectionValues>& sections, std::string& forInih,
            std::string* reason) {
  if (text.find('\0') != std::string_view::npos) {
    fail(reason, "config.ini holds a NUL byte");
    return false;
  }
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  forInih.clear();
  forInih.reserve(text.size());
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";

    if (line.empty() || line.front() == ';' || line.front() == '#') {
      forInih += '\n';
      continue;
    }
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) {
        fail(reason, where + "a section name without its closing ']'");
        return false;
      }
      const std::string_view name = trim(line.substr(1, close - 1));
      const std::string_view rest = trim(line.substr(close + 1));
      if (name.empty()) {
        fail(reason, where + "an empty section name");
        return false;
      }
      if (!rest.empty() && rest.front() != ';' && rest.front() != '#') {
        fail(reason, where + "text after a section name");
        return false;
      }
      forInih += '[' + std::to_string(sections.size()) + "]\n";
      sections.push_back({std::string(name), std::nullopt, std::nullopt, std::nullopt});
      continue;
    }
    // inih drops a comment that follows a blank; doing it here first keeps the line short.
    for (std::size_t i = 1; i < line.size(); ++i) {
      if (line[i] == ';' && isBlank(line[i - 1])) {
        line = trim(line.substr(0, i));
        break;
      }
    }
    if (line.size() > kMaxIniValueLine) {
      fail(reason, where + "a line too long");
      return false;
    }
    forInih.append(line);
    forInih += '\n';
  }
  return true;
}

int onIniValue(void* user, const char* section, const char* key, const char* value) {
  auto& sections = *static_cast<std::vector<SectionValues>*>(user);
  // Builds of inih made to announce new sections, or to allow keys without values, pass null
  // pointers; neither carries anything the catalog needs.
  if (section == nullptr || key == nullptr) return 1;
  if (value == nullptr) value = "";
  const std::string_view sectionText(section);
  if (sectionText.empty()) return 1;  // a key before the first section
  std::size_t index = 0;
  const auto [end, error] =
      std::from_chars(sectionText.data(), sectionText.data() + sectionText.size(), index);
  if (error != std::errc() || end != sectionText.data() + sectionText.size() ||
      index >= sections.size()) {
    return 0;
  }
  SectionValues& values = sections[index];
  if (sameKey(key, kSignatureKey)) {
    if (!values.signature) values.signature = value;
  } else if (sameKey(key, kSprite32Key)) {
    if (!values.sprite32) values.sprite32 = value;
  } else if (sameKey(key, kAlphaKey)) {
    if (!values.alpha) values.alpha = value;
  }
  return 1;
}

}  // namespace

bool parseVersionCatalog(std::string_view text, std::vector<TVersionInfo>& versions,
                         std::string* reason) {
  versions.clear();
  std::vector<SectionValues> sections;
  std::string forInih;
  if (!layOut(text, sections, forInih, reason)) return false;
  if (sections.empty()) {
    fail(reason, "No sprite Files versions configured!");
    return false;
  }
  const int parsed = ini_parse_string(forInih.c_str(), &onIniValue, &sections);
  if (parsed != 0) {
    fail(reason, parsed > 0 ? "line " + std::to_string(parsed) + ": not a key=value line"
                            : std::string("config.ini could not be parsed"));
    return false;
  }
  versions.reserve(sections.size());
  for (const SectionValues& section : sections) {
    const auto signature =
        section.signature ? parseHex32(*section.signature) : std::optional<std::uint32_t>();
    if (!signature) {
      fail(reason, "[" + section.name + "]: \"SPRSignature\" is missing or not hexadecimal");
      return false;
    }
    if (*signature == 0) {
      fail(reason, "Error: Invalid SPR Signature! ");
      return false;
    }
    versions.push_back({static_cast<std::int32_t>(*signature), section.name,
                        switchFrom(section.sprite32), switchFrom(section.alpha)});
  }
  return true;
}

bool readVersionCatalog(const std::string& iniPath, std::vector<TVersionInfo>& versions,
                        std::string* reason) {
  // A missing or unreadable file simply has no sections.
  std::string text;
  std::ifstream in(iniPath, std::ios::binary);
  char chunk[4096];
  while (in && (in.read(chunk, sizeof chunk), in.gcount() > 0)) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxCatalogBytes) {
      versions.clear();
      fail(reason, "config.ini is larger than " + std::to_string(kMaxCatalogBytes) + " bytes");
      return false;
    }
  }
  return parseVersionCatalog(text, versions, reason);
}

}  // namespace tess
