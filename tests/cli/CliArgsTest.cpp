#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliArgs.h"

namespace tess::cli {
namespace {

struct ListCase {
  const char* text;
  std::int32_t count;
  std::vector<std::int32_t> ids;
  std::int64_t beyond;
};

TEST(IdListTest, ResolvesIdsAndRangesAgainstTheSpriteCount) {
  const std::vector<ListCase> cases = {
      {"1-3,7,9-", 10, {1, 2, 3, 7, 9, 10}, 0},
      {"5", 10, {5}, 0},
      {"3-3", 10, {3}, 0},
      {"8-,2-4,3", 9, {2, 3, 4, 8, 9}, 0},  // unordered and overlapping, each ID once
      {"1-", 0, {}, 1},                     // even an open range needs its first ID
      {"9-12", 10, {9, 10}, 11},            // a closed range past the end
      {"12-", 10, {}, 12},                  // an open range that starts past the end
      {"4,15,11", 10, {4}, 11},             // the smallest ID beyond the end is named
      {"2147483647", 3, {}, 2147483647},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.text);
    TIdList list;
    std::string error;
    ASSERT_TRUE(TIdList::parse(c.text, list, error)) << error;
    std::int64_t beyond = -1;
    EXPECT_EQ(list.resolve(c.count, beyond), c.ids);
    EXPECT_EQ(beyond, c.beyond);
  }
}

TEST(IdListTest, RefusesWhatIsNotAnIdList) {
  for (const char* text : {"", ",", "1,", ",1", "0", "-5", "5-3", "a", "1-2-3", "1 ,2", "+4",
                           "2147483648", "99999999999999999999", "1--"}) {
    SCOPED_TRACE(text);
    TIdList list;
    std::string error;
    EXPECT_FALSE(TIdList::parse(text, list, error));
    EXPECT_NE(error.find("bad ID list"), std::string::npos);
  }
}

TEST(IdListTest, FormatsConsecutiveIdsAsRanges) {
  EXPECT_EQ(formatIdList({}), "");
  EXPECT_EQ(formatIdList({4}), "4");
  EXPECT_EQ(formatIdList({1, 2, 3, 5, 7, 8}), "1-3,5,7-8");
}

TEST(ArgumentsTest, SortsOptionsFromOperandsWhereverTheyStand) {
  const TOptionTable table{{"to", "client"}, {"force", "json"}};
  TArguments arguments;
  std::string error;
  ASSERT_TRUE(parseArguments(
      {"--force", "in.spr", "--to", "8.60", "out.spr", "--client=auto", "--", "--json"}, table,
      arguments, error))
      << error;
  EXPECT_EQ(arguments.operands, (std::vector<std::string>{"in.spr", "out.spr", "--json"}));
  EXPECT_TRUE(arguments.has("force"));
  EXPECT_FALSE(arguments.has("json"));
  EXPECT_EQ(arguments.value("to"), "8.60");
  EXPECT_EQ(arguments.value("client"), "auto");
}

TEST(ArgumentsTest, RefusesUnknownMissingAndRepeatedOptions) {
  const TOptionTable table{{"to"}, {"force"}};
  const std::vector<std::vector<std::string>> bad = {{"--bogus"},
                                                     {"-f"},
                                                     {"--to"},
                                                     {"--force=yes"},
                                                     {"--force", "--force"},
                                                     {"--to", "a", "--to=b"}};
  for (const auto& words : bad) {
    SCOPED_TRACE(words.front());
    TArguments arguments;
    std::string error;
    EXPECT_FALSE(parseArguments(words, table, arguments, error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace tess::cli
