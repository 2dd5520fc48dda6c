#include "cli/CliArgs.h"

#include <algorithm>
#include <charconv>

namespace tess::cli {

std::optional<std::string> TArguments::value(const std::string& name) const {
  const auto found = options.find(name);
  if (found == options.end()) return std::nullopt;
  return found->second;
}

bool parseArguments(const std::vector<std::string>& words, const TOptionTable& table,
                    TArguments& arguments, std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word.size() < 2 || word.compare(0, 2, "--") != 0) {
      // A lone "-" is an operand; short options are not offered, so "-x" is a mistake.
      if (!optionsEnded && word.size() > 1 && word[0] == '-') {
        error = "unknown option " + word;
        return false;
      }
      arguments.operands.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(2, equals == std::string::npos ? equals : equals - 2);
    std::string value;
    if (table.valued.count(name) != 0) {
      if (equals != std::string::npos) {
        value = word.substr(equals + 1);
      } else if (i + 1 < words.size()) {
        value = words[++i];
      } else {
        error = "option --" + name + " needs a value";
        return false;
      }
    } else if (table.flags.count(name) != 0) {
      if (equals != std::string::npos) {
        error = "option --" + name + " takes no value";
        return false;
      }
    } else {
      error = "unknown option --" + name;
      return false;
    }
    if (!arguments.options.emplace(name, value).second) {
      error = "option --" + name + " given twice";
      return false;
    }
  }
  return true;
}

std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t minimum,
                                        std::int64_t maximum) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (status != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < minimum || value > maximum) return std::nullopt;
  return value;
}

bool TIdList::parse(std::string_view text, TIdList& list, std::string& error) {
  list.FRanges.clear();
  const auto fail = [&](std::string_view part) {
    error = "bad ID list \"" + std::string(text) + "\" at \"" + std::string(part) +
            "\": give IDs and ranges such as 1-100,250,300-";
    return false;
  };
  if (text.empty()) return fail(text);
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view part = text.substr(start, comma - start);
    const std::size_t dash = part.find('-');
    // IDs are positive, so a leading digit is always needed and "-5" is not a number here.
    const auto id = [](std::string_view digits) {
      if (digits.empty() || digits.front() < '0' || digits.front() > '9') {
        return std::optional<std::int64_t>();
      }
      return parseNumber(digits, 1, INT32_MAX);
    };
    Range range;
    if (dash == std::string_view::npos) {
      const auto single = id(part);
      if (!single) return fail(part);
      range = {*single, *single};
    } else {
      const auto first = id(part.substr(0, dash));
      const std::string_view rest = part.substr(dash + 1);
      const auto last = rest.empty() ? std::optional<std::int64_t>(kOpenEnd) : id(rest);
      if (!first || !last || *first > *last) return fail(part);
      range = {*first, *last};
    }
    list.FRanges.push_back(range);
    start = comma + 1;
  }
  return true;
}

TIdList TIdList::all() {
  TIdList list;
  list.FRanges.push_back({1, kOpenEnd});
  return list;
}

std::vector<std::int32_t> TIdList::resolve(std::int32_t count, std::int64_t& beyond) const {
  beyond = 0;
  std::vector<Range> ranges = FRanges;
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.first < b.first; });
  std::vector<std::int32_t> ids;
  std::int64_t next = 1;  // the smallest ID not yet taken
  for (const Range& range : ranges) {
    // An open range lists no ID above the last sprite unless it starts there.
    const std::int64_t lastListed = range.last == kOpenEnd ? range.first : range.last;
    if (lastListed > count) {
      const std::int64_t candidate = std::max<std::int64_t>(range.first, std::int64_t{count} + 1);
      if (beyond == 0 || candidate < beyond) beyond = candidate;
    }
    const std::int64_t from = std::max(range.first, next);
    const std::int64_t to = std::min<std::int64_t>(range.last, count);
    for (std::int64_t id = from; id <= to; ++id) ids.push_back(static_cast<std::int32_t>(id));
    next = std::max(next, to + 1);
  }
  return ids;
}

std::string formatIdList(const std::vector<std::int32_t>& ids) {
  std::string text;
  for (std::size_t i = 0; i < ids.size();) {
    std::size_t j = i;
    while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1) ++j;
    if (!text.empty()) text += ',';
    text += std::to_string(ids[i]);
    if (j > i) text += '-' + std::to_string(ids[j]);
    i = j + 1;
  }
  return text;
}

}  // namespace tess::cli
