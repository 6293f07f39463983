#include "apps/pictavo/field_check.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <map>
#include <stdexcept>
#include <type_traits>

namespace pictavo::cli {
namespace {

struct Range {
  double min, max;
};

constexpr double kUnbounded = 2147483647.0;
constexpr double kU16 = 65535.0;

// What the writers can store; a value outside is refused rather than
// silently clamped or wrapped.
const std::map<std::string, Range>& Ranges() {
  static const std::map<std::string, Range> kRanges = {
      {"BitsPerSample", {1, 16}},
      {"SamplesPerPixel", {1, 4}},
      {"DpiX", {0, kU16}},
      {"DpiY", {0, kU16}},
      {"TIFF_ImageIndex", {0, kUnbounded}},
      {"TIFF_PlanarConf", {1, 2}},
      {"TIFF_XPos", {0, kUnbounded}},
      {"TIFF_YPos", {0, kUnbounded}},
      {"TIFF_PageNumber", {0, kU16}},
      {"TIFF_PageCount", {0, kU16}},
      {"TIFF_ImageCount", {0, kUnbounded}},
      {"GIF_ImageIndex", {0, kUnbounded}},
      {"GIF_XPos", {0, kU16}},
      {"GIF_YPos", {0, kU16}},
      {"GIF_DelayTime", {0, kU16}},
      {"GIF_WinWidth", {0, kU16}},
      {"GIF_WinHeight", {0, kU16}},
      {"GIF_Ratio", {0, 255}},
      {"GIF_ImageCount", {0, kUnbounded}},
      {"JPEG_Quality", {1, 100}},
      {"JPEG_Smooth", {0, 100}},
      {"PCX_Version", {0, 5}},
      {"ICO_ImageIndex", {0, kUnbounded}},
      {"CUR_ImageIndex", {0, kUnbounded}},
      {"CUR_XHotSpot", {0, kU16}},
      {"CUR_YHotSpot", {0, kU16}},
      {"PNG_Compression", {0, 9}},
      {"TGA_XPos", {0, kU16}},
      {"TGA_YPos", {0, kU16}},
      {"TGA_AspectRatio", {0.0001, kU16}},
      {"TGA_Gamma", {0, 10}},
      {"Width", {0, kUnbounded}},
      {"Height", {0, kUnbounded}},
      {"FileType", {0, kUnbounded}},
  };
  return kRanges;
}

std::string RangeText(const Range& r) {
  auto num = [](double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return std::string(buf);
  };
  if (r.max >= kUnbounded) return num(r.min) + " or more";
  return num(r.min) + " to " + num(r.max);
}

template <class T>
constexpr bool kSettable =
    std::is_same_v<T, int32_t> || std::is_same_v<T, bool> || std::is_same_v<T, double> ||
    std::is_same_v<T, std::string> || std::is_same_v<T, TRGB> || std::is_enum_v<T> ||
    std::is_same_v<T, TStringList>;

template <class T>
std::string TypeName() {
  if constexpr (std::is_same_v<T, int32_t>) return "integer";
  if constexpr (std::is_same_v<T, bool>) return "boolean";
  if constexpr (std::is_same_v<T, double>) return "number";
  if constexpr (std::is_same_v<T, std::string>) return "text";
  if constexpr (std::is_same_v<T, TRGB>) return "R,G,B";
  if constexpr (std::is_enum_v<T>) return "enumeration";
  return "lines (each value adds one)";
}

template <class T>
std::string EnumMembers() {
  std::string list;
  if constexpr (std::is_enum_v<T>)
    for (const char* n : TPVEnumNames<T>::Names) list += (list.empty() ? "" : " ") + std::string(n);
  return list;
}

// The default as text; a field whose default is "left as it is" shows
// what fills it instead.
template <class Owner, class T>
std::string DefaultText(const TPVParamField<Owner, T>& f) {
  if (std::string(f.Name) == "TGA_Date") return "(today)";
  T probe{};
  if constexpr (std::is_same_v<T, int32_t>) {
    constexpr int32_t kMarker = INT32_MIN + 7;
    probe = kMarker;
    f.Reset(probe);
    if (probe == kMarker) return "(from the image)";
  } else {
    f.Reset(probe);
  }
  std::string text;
  PVValueLines(f.Name, probe, [&](const std::string&, const std::string& t) { text = t; });
  if constexpr (std::is_enum_v<T>) {
    const auto& names = TPVEnumNames<T>::Names;
    if (static_cast<size_t>(probe) < names.size()) text = names[static_cast<size_t>(probe)];
  }
  if (std::string(f.Name) == "JPEG_Quality")
    text += " (convert: the source JPEG's quality, else 90)";
  return text.empty() ? "\"\"" : text;
}

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

const FieldDescription* FindField(const std::vector<FieldDescription>& fields,
                                  const std::string& name) {
  for (const FieldDescription& f : fields)
    if (f.name == name) return &f;
  return nullptr;
}

}  // namespace

std::vector<FieldDescription> SettableFields() {
  std::vector<FieldDescription> out;
  PVForEachField(PVIOParamsFields(), [&](const auto& f) {
    using T = typename std::decay_t<decltype(f)>::Type;
    if constexpr (kSettable<T>) {
      if (f.Form == pvNotStored || f.Form == pvDerived) return;
      FieldDescription d{f.Name, f.Group, TypeName<T>(), DefaultText(f), EnumMembers<T>()};
      if (auto r = Ranges().find(f.Name); r != Ranges().end()) d.allowed = RangeText(r->second);
      out.push_back(std::move(d));
    }
  });
  return out;
}

std::vector<std::string> NearestFieldNames(const std::string& name) {
  constexpr size_t kMaxSuggestions = 3;
  const std::string lower = Lower(name);
  const size_t limit = std::max<size_t>(2, lower.size() / 3);
  std::vector<std::pair<size_t, std::string>> scored;
  for (const FieldDescription& f : SettableFields()) {
    const std::string candidate = Lower(f.name);
    size_t d = EditDistance(lower, candidate);
    // A name given without its format prefix ("Quality") is near too.
    const size_t underscore = candidate.find('_');
    if (underscore != std::string::npos)
      d = std::min(d, EditDistance(lower, candidate.substr(underscore + 1)));
    if (d <= limit) scored.push_back({d, f.name});
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> names;
  for (size_t i = 0; i < scored.size() && i < kMaxSuggestions; ++i)
    names.push_back(scored[i].second);
  return names;
}

std::optional<std::string> SetCheckedField(TIOParamsVals& p, const std::string& field,
                                           const std::string& value) {
  const std::vector<FieldDescription> fields = SettableFields();
  if (!FindField(fields, field)) {
    std::string message = "unknown field \"" + field + "\"";
    const std::vector<std::string> near = NearestFieldNames(field);
    for (size_t i = 0; i < near.size(); ++i)
      message += (i == 0 ? "; did you mean " : i + 1 == near.size() ? " or " : ", ") + near[i];
    if (!near.empty()) message += "?";
    return message + " (pictavo fields lists them)";
  }
  try {
    if (auto r = Ranges().find(field); r != Ranges().end()) {
      const double v = PVParseDouble(value, field.c_str());
      if (!(v >= r->second.min && v <= r->second.max))
        return field + " must be " + RangeText(r->second) + ", got " + value;
    }
    PVSetFieldText(p, PVIOParamsFields(), field, value);
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

}  // namespace pictavo::cli
