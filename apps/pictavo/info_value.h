// The values `pictavo info` shows, each in a text form for people and a
// JSON form with its real type (number, boolean, string, array, object).  A
// value the file does not store (a default the reader filled in) is marked.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pictavo::cli {

// `s` as a JSON string literal.  Bytes that are not valid UTF-8 become
// U+FFFD, so the output is valid UTF-8 whatever a file name or a text field
// holds.
std::string JsonString(const std::string& s);

// `s` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(const std::string& s);

struct InfoValue {
  std::string text;
  std::string json;
  // A list's items print one per line in the text form.
  std::vector<InfoValue> items;
  bool isList = false;
  // Not stored in the file: the reader's default.
  bool isDefault = false;

  static InfoValue Str(const std::string& s);
  static InfoValue Int(int64_t v);
  static InfoValue Num(double v);
  static InfoValue Bool(bool v);
  static InfoValue List(std::vector<InfoValue> items);
  static InfoValue Object(const std::vector<std::pair<std::string, InfoValue>>& members);
  InfoValue AsDefault() const {
    InfoValue v = *this;
    v.isDefault = true;
    return v;
  }
};

struct InfoField {
  std::string key;
  InfoValue value;
};

using InfoFields = std::vector<InfoField>;

}  // namespace pictavo::cli
