#pragma once

#include <cctype>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tess::testing {

// Just enough JSON to read the tool's answers back: objects, arrays, strings without escapes
// beyond \" and \\, integers, true, false and null. Anything else throws.
struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  long long number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  const Json& operator[](const std::string& key) const {
    const auto found = members.find(key);
    if (kind != Kind::Object || found == members.end()) throw std::runtime_error("no " + key);
    return found->second;
  }
  std::vector<long long> numbers() const {
    std::vector<long long> values;
    for (const Json& item : items) values.push_back(item.number);
    return values;
  }

  static Json parse(const std::string& source) {
    std::size_t at = 0;
    Json value = parseValue(source, at);
    skip(source, at);
    if (at != source.size()) throw std::runtime_error("text after the JSON value");
    return value;
  }

 private:
  static void skip(const std::string& s, std::size_t& at) {
    while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at]))) ++at;
  }
  static void expect(const std::string& s, std::size_t& at, char ch) {
    skip(s, at);
    if (at >= s.size() || s[at] != ch) throw std::runtime_error(std::string("expected ") + ch);
    ++at;
  }
  static std::string parseString(const std::string& s, std::size_t& at) {
    expect(s, at, '"');
    std::string text;
    while (at < s.size() && s[at] != '"') {
      if (s[at] == '\\') ++at;
      if (at >= s.size()) break;
      text += s[at++];
    }
    expect(s, at, '"');
    return text;
  }
  static Json parseValue(const std::string& s, std::size_t& at) {
    skip(s, at);
    if (at >= s.size()) throw std::runtime_error("no JSON value");
    Json value;
    const char ch = s[at];
    if (ch == '{') {
      value.kind = Kind::Object;
      ++at;
      skip(s, at);
      if (at < s.size() && s[at] == '}') return ++at, value;
      for (;;) {
        std::string key = parseString(s, at);
        expect(s, at, ':');
        value.members[key] = parseValue(s, at);
        skip(s, at);
        if (at < s.size() && s[at] == ',') {
          ++at;
          continue;
        }
        expect(s, at, '}');
        return value;
      }
    }
    if (ch == '[') {
      value.kind = Kind::Array;
      ++at;
      skip(s, at);
      if (at < s.size() && s[at] == ']') return ++at, value;
      for (;;) {
        value.items.push_back(parseValue(s, at));
        skip(s, at);
        if (at < s.size() && s[at] == ',') {
          ++at;
          continue;
        }
        expect(s, at, ']');
        return value;
      }
    }
    if (ch == '"') {
      value.kind = Kind::String;
      value.text = parseString(s, at);
      return value;
    }
    for (const char* word : {"true", "false", "null"}) {
      if (s.compare(at, std::string(word).size(), word) == 0) {
        at += std::string(word).size();
        value.kind = word[0] == 'n' ? Kind::Null : Kind::Bool;
        value.boolean = word[0] == 't';
        return value;
      }
    }
    std::size_t end = at;
    if (end < s.size() && s[end] == '-') ++end;
    while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) ++end;
    if (end == at) throw std::runtime_error("bad JSON value");
    value.kind = Kind::Number;
    value.number = std::stoll(s.substr(at, end - at));
    at = end;
    return value;
  }
};

}  // namespace tess::testing
