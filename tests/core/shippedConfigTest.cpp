#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/versionCatalog.h"

namespace tess {
namespace {

const std::string kShippedConfig = std::string(TESS_SOURCE_DIR) + "/config/config.ini";

struct Known {
  const char* name;
  std::uint32_t signature;
};

// The client versions and the signatures of their sprite files, oldest first. A name with a
// dash stands for every version that shares the file.
const std::vector<Known> kKnown = {
    {"7.10", 0x3DFF4AEB},      {"7.30", 0x411A6279},          {"7.40", 0x41B9EA86},
    {"7.50", 0x42F81949},      {"7.55", 0x434F9CDE},          {"7.60-7.72", 0x439852BE},
    {"7.80", 0x44CE4206},      {"7.90", 0x457957C8},          {"7.92", 0x45880FE8},
    {"8.00", 0x467F9E74},      {"8.10", 0x475D0B01},          {"8.11", 0x47EBB9B2},
    {"8.20", 0x4868ECC9},      {"8.30", 0x48C8E712},          {"8.40", 0x493D4E7C},
    {"8.41-8.42", 0x49B140EA}, {"8.50-8.52", 0x4A44FD4E},     {"8.53", 0x4ACB5230},
    {"8.54", 0x4B1E2C87},      {"8.55", 0x4B913871},          {"8.60", 0x4C220594},
    {"8.61-8.62", 0x4C63F145}, {"8.70", 0x4CFD078A},          {"8.71", 0x4D3D65D0},
    {"8.72-9.00", 0x4DAD1A32}, {"9.10", 0x4E12DB27},          {"9.20", 0x4E807C23},
    {"9.40", 0x4EE71E06},      {"9.44", 0x4F3131F6},          {"9.46", 0x4F5DCEF7},
    {"9.50", 0x4F75B7CD},      {"9.52", 0x4F857F8E},          {"9.53", 0x4FA11282},
    {"9.54", 0x4FD595B7},      {"9.60", 0x4FFA74F9},          {"9.61", 0x50226FBD},
    {"9.63", 0x503CB954},      {"9.70", 0x5072A567},          {"9.80", 0x50C70753},
    {"9.81", 0x50D1C685},      {"9.82", 0x512CAD68},          {"9.83", 0x51407BC7},
    {"9.85", 0x51641A84},      {"9.86", 0x5170E96F},          {"10.10", 0x51E3F8E9},
    {"10.20", 0x5236F14F},     {"10.21", 0x526A5090},         {"10.30", 0x52A5905F},
    {"10.31", 0x52AED5A7},     {"10.32", 0x52D8D0CE},         {"10.34", 0x52E74ADA},
    {"10.35", 0x52FDFC54},     {"10.36", 0x53159CA9},         {"10.37", 0x531EA856},
    {"10.38", 0x5333C1C3},     {"10.39", 0x535A50D5},         {"10.40", 0x53799876},
    {"10.41", 0x53835077},     {"10.50", 0x53B64639},         {"10.51", 0x53C8CC3F},
    {"10.52", 0x53E898E5},     {"10.53", 0x53FAD799},         {"10.54", 0x540D3A73},
    {"10.55", 0x54128755},     {"10.56", 0x542143DE},         {"10.57", 0x54253627},
    {"10.58", 0x542D1315},     {"10.59", 0x54340879},         {"10.60-10.61", 0x5448DA10},
    {"10.62", 0x54622667},     {"10.63", 0x546B505E},         {"10.64", 0x547F0632},
    {"10.70", 0x5481BC06},     {"10.71", 0x548E9EFE},         {"10.72", 0x54B37B99},
    {"10.73", 0x54BC95AE},     {"10.74", 0x54C5FAB2},         {"10.75", 0x54D85085},
    {"10.76", 0x54F03CE9},     {"10.77", 0x5525213D},         {"10.90", 0x565EE171},
    {"10.91", 0x56BC8198},     {"10.92", 0x570742B8},         {"10.93", 0x5726E657},
    {"10.94", 0x57459D43},     {"10.95", 0x575A84BD},         {"10.98", 0x57BBD603},
    {"10.99", 0x57FF106B},     {"10.99+ legacy", 0x59E48E02},
};

// "major.minor" of the first version a name stands for, as major * 100 + minor.
int firstVersionOf(const std::string& name) {
  const std::size_t dot = name.find('.');
  return std::stoi(name.substr(0, dot)) * 100 + std::stoi(name.substr(dot + 1, 2));
}

class ShippedConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(readVersionCatalog(kShippedConfig, versions, &reason)) << reason;
  }

  std::vector<TVersionInfo> versions;
  std::string reason;
};

TEST_F(ShippedConfig, ListsEveryKnownVersionWithItsSignatureInOrder) {
  ASSERT_EQ(versions.size(), kKnown.size());
  for (std::size_t i = 0; i < kKnown.size(); ++i) {
    SCOPED_TRACE(kKnown[i].name);
    EXPECT_EQ(versions[i].name, kKnown[i].name);
    EXPECT_EQ(static_cast<std::uint32_t>(versions[i].spriteSignature), kKnown[i].signature);
  }
}

TEST_F(ShippedConfig, NamesAndSignaturesAreUnique) {
  std::set<std::string> names;
  std::set<std::int32_t> signatures;
  for (const TVersionInfo& v : versions) {
    EXPECT_TRUE(names.insert(v.name).second) << v.name;
    EXPECT_TRUE(signatures.insert(v.spriteSignature).second) << v.name;
  }
}

TEST_F(ShippedConfig, AscendingOrder) {
  for (std::size_t i = 1; i < versions.size(); ++i) {
    EXPECT_LE(firstVersionOf(versions[i - 1].name), firstVersionOf(versions[i].name))
        << versions[i].name;
    // The signature is the sprite file's build time, so it grows with the version too.
    EXPECT_LT(versions[i - 1].spriteSignature, versions[i].spriteSignature) << versions[i].name;
  }
}

TEST_F(ShippedConfig, CountsAre16BitUpTo954And32BitFrom960) {
  for (const TVersionInfo& v : versions) {
    EXPECT_EQ(v.sprite32, firstVersionOf(v.name) >= 960) << v.name;
  }
  EXPECT_FALSE(versions.at(33).sprite32);  // 9.54
  EXPECT_TRUE(versions.at(34).sprite32);   // 9.60
  EXPECT_TRUE(versions.back().sprite32);   // the legacy file
}

}  // namespace
}  // namespace tess
