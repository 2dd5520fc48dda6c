#include "core/versionCatalog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tess {

bool operator==(const TVersionInfo& a, const TVersionInfo& b) {
  return a.spriteSignature == b.spriteSignature && a.name == b.name && a.sprite32 == b.sprite32 &&
         a.alpha == b.alpha;
}

void PrintTo(const TVersionInfo& v, std::ostream* out) {
  *out << "{" << v.name << ", " << std::hex << static_cast<std::uint32_t>(v.spriteSignature)
       << std::dec << ", " << (v.sprite32 ? "32" : "16") << (v.alpha ? ", alpha" : "") << "}";
}

namespace {

using testing::TempDir;
using namespace std::string_literals;

constexpr std::int32_t k860 = 0x4C220594;

// Writes `text` as config.ini in a fresh folder and reads it back.
struct Loaded {
  bool ok = false;
  std::vector<TVersionInfo> versions;
  std::string reason;
};

Loaded loadText(const std::string& text) {
  const TempDir dir;
  const std::string path = dir.file("config.ini");
  testing::writeBytes(path, {text.begin(), text.end()});
  Loaded result;
  result.ok = readVersionCatalog(path, result.versions, &result.reason);
  return result;
}

// ---- whole files: structure and INI dialect ----

struct FileCase {
  const char* label;
  std::string text;
  bool ok;
  std::vector<TVersionInfo> expected;  // when ok
};

void PrintTo(const FileCase& c, std::ostream* out) { *out << c.label; }

class CatalogFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(CatalogFile, ReadsAsExpected) {
  const FileCase& c = GetParam();
  const Loaded got = loadText(c.text);
  ASSERT_EQ(got.ok, c.ok) << got.reason;
  if (c.ok) {
    EXPECT_EQ(got.versions, c.expected);
    EXPECT_TRUE(got.reason.empty());
  } else {
    EXPECT_FALSE(got.reason.empty());
  }
}

const std::string kLongName(300, 'n');

INSTANTIATE_TEST_SUITE_P(
    Dialect, CatalogFile,
    ::testing::Values(
        FileCase{"Empty", "", false, {}},
        FileCase{"OnlyCommentsAndBlanks", "; a comment\n# another\n\n   \n\t\n", false, {}},
        FileCase{"OneSection",
                 "[8.60]\nSPRSignature=4C220594\nsprite32=1\n",
                 true,
                 {{k860, "8.60", true}}},
        FileCase{"NoFinalNewline", "[8.60]\nSPRSignature=4C220594", true, {{k860, "8.60", false}}},
        FileCase{"KeysMatchAnyCase",
                 "[a]\nsprsignature=4C220594\nSPRITE32=1\n",
                 true,
                 {{k860, "a", true}}},
        FileCase{"KeysMatchAnyCase2",
                 "[a]\nSPRSIGNATURE=4C220594\nSprite32=1\n",
                 true,
                 {{k860, "a", true}}},
        FileCase{"BlanksAroundKeysAndValues",
                 "[a]\n \t SPRSignature \t=\t 4C220594 \t\n  sprite32 =  1  \n",
                 true,
                 {{k860, "a", true}}},
        FileCase{"ColonSeparator", "[a]\nSPRSignature: 4C220594\n", true, {{k860, "a", false}}},
        FileCase{"InlineComment",
                 "[a] ; 8.60\nSPRSignature=4C220594 ; the 8.60 file\n",
                 true,
                 {{k860, "a", false}}},
        FileCase{"SemicolonWithoutBlankIsPartOfValue", "[a]\nSPRSignature=4C220594;x\n", false, {}},
        FileCase{"IndentedLinesAreNotContinuations",
                 "  [a]\n  SPRSignature=4C220594\n    sprite32=1\n",
                 true,
                 {{k860, "a", true}}},
        FileCase{"CrLfAndBom",
                 "\xEF\xBB\xBF[a]\r\nSPRSignature=4C220594\r\nsprite32=1\r\n",
                 true,
                 {{k860, "a", true}}},
        FileCase{"BlanksAroundSectionName",
                 "[ 10.99+ legacy ]\nSPRSignature=59E48E02\n",
                 true,
                 {{0x59E48E02, "10.99+ legacy", false}}},
        FileCase{"LongSectionName",
                 "[" + kLongName + "]\nSPRSignature=4C220594\n",
                 true,
                 {{k860, kLongName, false}}},
        FileCase{"OrderKept",
                 "[b]\nSPRSignature=2\n[a]\nSPRSignature=1\nsprite32=1\n[c]\nSPRSignature=3\n",
                 true,
                 {{2, "b", false}, {1, "a", true}, {3, "c", false}}},
        FileCase{"DuplicateSignaturesKeptInOrder",
                 "[7.60]\nSPRSignature=439852BE\n[7.70]\nSPRSignature=439852BE\n",
                 true,
                 {{0x439852BE, "7.60", false}, {0x439852BE, "7.70", false}}},
        FileCase{"DuplicateNamesAreSeparateEntries",
                 "[a]\nSPRSignature=1\n[a]\nSPRSignature=2\nsprite32=1\n",
                 true,
                 {{1, "a", false}, {2, "a", true}}},
        FileCase{"FirstOfDuplicateKeysCounts",
                 "[a]\nSPRSignature=1\nsprite32=1\nSPRSignature=2\nsprite32=0\n",
                 true,
                 {{1, "a", true}}},
        FileCase{"KeysBeforeFirstSectionIgnored",
                 "SPRSignature=1\nsprite32=1\n[a]\nSPRSignature=2\n",
                 true,
                 {{2, "a", false}}},
        FileCase{"OtherKeysIgnored",
                 "[a]\nname=x\nSPRSignature=4C220594\ncomment=yes\n",
                 true,
                 {{k860, "a", false}}},
        FileCase{"LongCommentLine",
                 "; " + std::string(5000, 'c') + "\n[a]\nSPRSignature=1\n",
                 true,
                 {{1, "a", false}}},
        FileCase{"SectionWithoutSignature",
                 "[a]\nSPRSignature=1\n[b]\nsprite32=1\n[c]\nSPRSignature=3\n",
                 false,
                 {}},
        FileCase{"SectionWithoutAnyKey", "[a]\n", false, {}},
        FileCase{"EmptySectionBeforeAnother", "[a]\n[b]\nSPRSignature=1\n", false, {}},
        FileCase{"EmptySectionAtEnd", "[a]\nSPRSignature=1\n[b]\n", false, {}},
        FileCase{"ConsecutiveSameNameOneEmpty", "[a]\nSPRSignature=1\n[a]\n", false, {}},
        FileCase{"UnclosedSectionName", "[a]\nSPRSignature=1\n[b\nSPRSignature=2\n", false, {}},
        FileCase{"EmptySectionName", "[]\nSPRSignature=1\n", false, {}},
        FileCase{"BlankSectionName", "[   ]\nSPRSignature=1\n", false, {}},
        FileCase{"TextAfterSectionName", "[a] b\nSPRSignature=1\n", false, {}},
        FileCase{"LineWithoutValue", "[a]\nSPRSignature=1\njust words\n", false, {}},
        FileCase{"OverlongValueLine",
                 "[a]\nSPRSignature=" + std::string(kMaxIniValueLine, '0') + "1\n",
                 false,
                 {}},
        FileCase{"ValueLineAtLengthLimit",
                 "[a]\nSPRSignature=" + std::string(kMaxIniValueLine - 14, '0') + "1\n",
                 true,
                 {{1, "a", false}}},
        FileCase{"NulByte", "[a]\nSPRSignature=1\n; \0\n"s, false, {}}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- "SPRSignature" values ----

struct SignatureCase {
  const char* label;
  std::string value;
  bool ok;
  std::int32_t expected;
};

void PrintTo(const SignatureCase& c, std::ostream* out) { *out << c.label; }

class Signature : public ::testing::TestWithParam<SignatureCase> {};

TEST_P(Signature, ReadsAsUnsigned32Bit) {
  const SignatureCase& c = GetParam();
  const Loaded got = loadText("[v]\nSPRSignature=" + c.value + "\n");
  ASSERT_EQ(got.ok, c.ok) << got.reason;
  if (c.ok) {
    ASSERT_EQ(got.versions.size(), 1u);
    EXPECT_EQ(got.versions[0].spriteSignature, c.expected);
  } else {
    EXPECT_TRUE(got.versions.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, Signature,
    ::testing::Values(
        SignatureCase{"Upper", "4C220594", true, k860},
        SignatureCase{"Lower", "4c220594", true, k860}, SignatureCase{"Short", "1", true, 1},
        SignatureCase{"AllF", "FFFFFFFF", true, -1},
        SignatureCase{"AllFLower", "ffffffff", true, -1},
        SignatureCase{"HighBit", "80000000", true, INT32_MIN},
        SignatureCase{"LeadingZeros", "0004C220594", true, k860},
        SignatureCase{"ManyLeadingZeros", "00000000000000000001", true, 1},
        SignatureCase{"Zero", "0", false, 0}, SignatureCase{"EightZeros", "00000000", false, 0},
        SignatureCase{"TwelveZeros", "000000000000", false, 0},
        SignatureCase{"DollarPrefix", "$4C220594", false, 0},
        SignatureCase{"HexPrefix", "0x4C220594", false, 0},
        SignatureCase{"Minus", "-4C220594", false, 0}, SignatureCase{"Plus", "+4C220594", false, 0},
        SignatureCase{"NineDigits", "14C220594", false, 0},
        SignatureCase{"BlankInside", "4C22 0594", false, 0}, SignatureCase{"Empty", "", false, 0},
        SignatureCase{"NotHex", "4G220594", false, 0},
        SignatureCase{"Quoted", "\"4C220594\"", false, 0},
        SignatureCase{"Suffix", "4C220594h", false, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SignatureFailure, ZeroNamesItsReasonAndKeepsEarlierEntries) {
  const Loaded got = loadText("[a]\nSPRSignature=1\n[b]\nSPRSignature=0000\n[c]\nSPRSignature=3\n");
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(got.reason, "Error: Invalid SPR Signature! ");
  EXPECT_EQ(got.versions, (std::vector<TVersionInfo>{{1, "a", false}}));
}

TEST(SignatureFailure, NoSectionsNamesItsReason) {
  const Loaded got = loadText("; nothing here\n");
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(got.reason, "No sprite Files versions configured!");
}

// ---- "sprite32" values ----

struct Sprite32Case {
  const char* label;
  const char* line;  // nullptr: the key is missing
  bool expected;
};

void PrintTo(const Sprite32Case& c, std::ostream* out) { *out << c.label; }

class Sprite32 : public ::testing::TestWithParam<Sprite32Case> {};

TEST_P(Sprite32, TrueWhenLowestEightBitsAreSet) {
  const Sprite32Case& c = GetParam();
  std::string text = "[v]\nSPRSignature=4C220594\n";
  if (c.line) text += std::string("sprite32=") + c.line + "\n";
  const Loaded got = loadText(text);
  ASSERT_TRUE(got.ok) << got.reason;
  ASSERT_EQ(got.versions.size(), 1u);
  EXPECT_EQ(got.versions[0].sprite32, c.expected);
  EXPECT_FALSE(got.versions[0].alpha);
}

// "alpha" reads by the same rules, on its own: neither key changes the other.
TEST_P(Sprite32, AlphaFollowsTheSameRules) {
  const Sprite32Case& c = GetParam();
  std::string text = "[v]\nSPRSignature=4C220594\nsprite32=1\n";
  if (c.line) text += std::string("ALPHA=") + c.line + "\n";
  const Loaded got = loadText(text);
  ASSERT_TRUE(got.ok) << got.reason;
  ASSERT_EQ(got.versions.size(), 1u);
  EXPECT_EQ(got.versions[0].alpha, c.expected);
  EXPECT_TRUE(got.versions[0].sprite32);
  EXPECT_EQ(layoutOf(got.versions[0]), (TSprLayout{true, c.expected}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, Sprite32,
    ::testing::Values(
        Sprite32Case{"One", "1", true}, Sprite32Case{"Two", "2", true},
        Sprite32Case{"MinusOne", "-1", true}, Sprite32Case{"PlusOne", "+1", true},
        Sprite32Case{"Hex0x10", "0x10", true}, Sprite32Case{"Hex0X10", "0X10", true},
        Sprite32Case{"HexDollar10", "$10", true}, Sprite32Case{"HexDollarLower", "$ff", true},
        Sprite32Case{"NegativeHex", "-0x10", true}, Sprite32Case{"Decimal255", "255", true},
        Sprite32Case{"LeadingZerosHex", "0x0000000001", true},
        Sprite32Case{"LeadingZerosDecimal", "0001", true},
        Sprite32Case{"Int32Max", "2147483647", true},
        Sprite32Case{"Int32MinPlusOne", "-2147483647", true},
        Sprite32Case{"AllBitsHex", "$FFFFFFFF", true}, Sprite32Case{"Zero", "0", false},
        Sprite32Case{"TwoFiftySix", "256", false}, Sprite32Case{"FiveTwelve", "512", false},
        Sprite32Case{"Hex100", "0x100", false}, Sprite32Case{"Yes", "yes", false},
        Sprite32Case{"True", "true", false}, Sprite32Case{"Empty", "", false},
        Sprite32Case{"PrefixOnly0x", "0x", false}, Sprite32Case{"PrefixOnlyDollar", "$", false},
        Sprite32Case{"Fraction", "1.0", false}, Sprite32Case{"BlankInside", "1 1", false},
        Sprite32Case{"DoubleSign", "--1", false}, Sprite32Case{"SignAfterPrefix", "0x-1", false},
        // Out of range is not a number, although wrapping would leave low bits set.
        Sprite32Case{"AboveInt32Max", "2147483649", false},
        Sprite32Case{"Above32Bits", "4294967297", false},
        Sprite32Case{"NineHexDigits", "$100000001", false},
        Sprite32Case{"Missing", nullptr, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CatalogAlpha, EachSectionHasItsOwnAndTheFirstValueCounts) {
  const Loaded got = loadText(
      "[plain]\nSPRSignature=1\n[rgba]\nSPRSignature=2\nalpha=1\nalpha=0\n"
      "[wide]\nSPRSignature=3\nsprite32=1\nalpha=0x1\n[late]\nalpha=0\nSPRSignature=4\n");
  ASSERT_TRUE(got.ok) << got.reason;
  EXPECT_EQ(got.versions, (std::vector<TVersionInfo>{{1, "plain", false, false},
                                                     {2, "rgba", false, true},
                                                     {3, "wide", true, true},
                                                     {4, "late", false, false}}));
}

// ---- the file itself ----

TEST(CatalogSource, MissingFileHasNoSections) {
  const TempDir dir;
  std::vector<TVersionInfo> versions{{1, "stale", true}};
  std::string reason;
  EXPECT_FALSE(readVersionCatalog(dir.file("config.ini"), versions, &reason));
  EXPECT_TRUE(versions.empty());
  EXPECT_EQ(reason, "No sprite Files versions configured!");
}

TEST(CatalogSource, DirectoryInPlaceOfTheFileHasNoSections) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "config.ini");
  std::vector<TVersionInfo> versions;
  EXPECT_FALSE(readVersionCatalog(dir.file("config.ini"), versions));
  EXPECT_TRUE(versions.empty());
}

TEST(CatalogSource, ReasonIsOptional) {
  std::vector<TVersionInfo> versions;
  EXPECT_FALSE(parseVersionCatalog("[a]\n", versions));
  EXPECT_TRUE(parseVersionCatalog("[a]\nSPRSignature=1\n", versions));
}

TEST(CatalogSource, SizeLimit) {
  const std::string section = "[a]\nSPRSignature=1\n";
  const std::string comment = "; " + std::string(98, 'c') + "\n";  // 101 bytes
  std::string text;
  while (text.size() + comment.size() + section.size() <= kMaxCatalogBytes) text += comment;
  text += std::string(kMaxCatalogBytes - text.size() - section.size(), '\n');
  text += section;
  ASSERT_EQ(text.size(), kMaxCatalogBytes);
  EXPECT_TRUE(loadText(text).ok);
  EXPECT_FALSE(loadText("\n" + text).ok);
}

}  // namespace
}  // namespace tess
