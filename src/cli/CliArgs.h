#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tess::cli {

// The words of a command line after the program name, sorted into options and operands.
struct TArguments {
  std::vector<std::string> operands;
  // Options as given without their leading "--"; a flag maps to an empty value.
  std::map<std::string, std::string> options;

  bool has(const std::string& name) const { return options.count(name) != 0; }
  std::optional<std::string> value(const std::string& name) const;
};

// Which options a subcommand takes: those with a value ("--to 8.60" or "--to=8.60") and flags.
struct TOptionTable {
  std::set<std::string> valued;
  std::set<std::string> flags;
};

// Options may stand anywhere; "--" ends them. False, with `error` saying why, for an unknown
// option, a missing value, a value given to a flag or an option given twice.
[[nodiscard]] bool parseArguments(const std::vector<std::string>& words, const TOptionTable& table,
                                  TArguments& arguments, std::string& error);

// A set of sprite IDs written as IDs and ranges: "1-100,250,300-". An open range runs to the last
// sprite, whatever that turns out to be.
class TIdList {
 public:
  struct Range {
    std::int64_t first = 1;
    std::int64_t last = 0;  // kOpenEnd for an open range
  };
  static constexpr std::int64_t kOpenEnd = INT64_MAX;

  // False, with `error` saying why, for anything but comma-separated IDs of 1 or more and ranges
  // whose first ID is not above their last.
  [[nodiscard]] static bool parse(std::string_view text, TIdList& list, std::string& error);
  // Every ID from 1 to `count`.
  static TIdList all();

  // The listed IDs up to `count`, ascending and each once. `beyond` receives the smallest listed
  // ID above `count` (0 when there is none), so that a caller can refuse IDs the file lacks.
  [[nodiscard]] std::vector<std::int32_t> resolve(std::int32_t count, std::int64_t& beyond) const;

 private:
  std::vector<Range> FRanges;
};

// IDs in ascending order written back as a list: runs of consecutive IDs become ranges.
[[nodiscard]] std::string formatIdList(const std::vector<std::int32_t>& ids);

// A whole decimal number in [minimum, maximum]; nullopt otherwise.
[[nodiscard]] std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t minimum,
                                                      std::int64_t maximum);

}  // namespace tess::cli
