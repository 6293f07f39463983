#include "apps/pictavo/info_value.h"

#include <cmath>
#include <cstdio>

namespace pictavo::cli {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not valid
// (overlong forms, surrogates and values above U+10FFFF included).
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t n;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000)) return 0;  // overlong
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  return n;
}

}  // namespace

std::string ValidUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8SequenceLength(s, i);
    if (n == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(s, i, n);
      i += n;
    }
  }
  return out;
}

std::string JsonString(const std::string& s) {
  const std::string valid = ValidUtf8(s);
  std::string out = "\"";
  for (unsigned char c : valid) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

InfoValue InfoValue::Str(const std::string& s) {
  InfoValue v;
  v.text = ValidUtf8(s);
  v.json = JsonString(s);
  return v;
}

InfoValue InfoValue::Int(int64_t n) {
  InfoValue v;
  v.text = v.json = std::to_string(n);
  return v;
}

InfoValue InfoValue::Num(double d) {
  if (!std::isfinite(d)) return Str(std::isnan(d) ? "NaN" : d > 0 ? "Infinity" : "-Infinity");
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", d);
  InfoValue v;
  v.text = v.json = buf;
  return v;
}

InfoValue InfoValue::Bool(bool b) {
  InfoValue v;
  v.text = v.json = b ? "true" : "false";
  return v;
}

InfoValue InfoValue::List(std::vector<InfoValue> items) {
  InfoValue v;
  v.isList = true;
  v.json = "[";
  for (size_t i = 0; i < items.size(); ++i) v.json += (i ? ", " : "") + items[i].json;
  v.json += "]";
  v.text = std::to_string(items.size());
  v.items = std::move(items);
  return v;
}

InfoValue InfoValue::Object(const std::vector<std::pair<std::string, InfoValue>>& members) {
  InfoValue v;
  v.json = "{";
  for (size_t i = 0; i < members.size(); ++i) {
    const auto& [key, value] = members[i];
    v.json += (i ? ", " : "") + JsonString(key) + ": " + value.json;
    v.text += (i ? ", " : "") + key + " " + value.text;
  }
  v.json += "}";
  return v;
}

}  // namespace pictavo::cli
