// The machinery behind the field list of TIOParamsVals: a descriptor per
// field (name, member, default, file version, group, file form) and the
// operations that run over a list of descriptors: defaults, copy, equality,
// the parameters file, text for printing and setting from text.
//
// The operations are templates over the record type, so that a record
// derived from TIOParamsVals with extra fields (as the tests build) runs
// through the same code as the real one.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "core/markers.h"
#include "core/pvdefs.h"
#include "platform/exceptions.h"
#include "platform/lists.h"
#include "platform/stream.h"

namespace pictavo {

// How the parameters file carries a field.
enum TPVFieldForm : uint8_t {
  pvPlain,         // stored from its version on; older files leave it as it is
  pvByteBeforeV2,  // an int32 that versions 0 and 1 store in one byte
  pvSkip2InV0,     // version 0 stores two int32 in its place (skipped); it becomes 0
  pvZeroInV0,      // version 0 does not store it; it becomes 0
  pvNotStored,     // defaulted and copied, never stored nor shown
  pvDerived,       // follows another field (ColorMapCount follows ColorMap): shown only
};

// Default markers: the value is left as it is / the list or map is emptied.
struct PVKeep {};
struct PVEmptied {};
inline constexpr TRGB kPVBlack{0, 0, 0};
inline constexpr TRGB kPVWhite{255, 255, 255};

// Member names of an enumeration, in value order; specialised per type.
template <class E>
struct TPVEnumNames;

template <class Owner, class T>
struct TPVParamField {
  using Type = T;
  const char* Name;
  T Owner::*Member;
  void (*Reset)(T&);
  int32_t Version;
  const char* Group;
  TPVFieldForm Form;
};

// Closes the generated descriptor lists (the X-macro leaves a trailing comma).
struct TPVEndOfFields {};

template <class Fields, class Fn>
void PVForEachField(const Fields& fields, Fn&& fn) {
  std::apply(
      [&](const auto&... field) {
        auto one = [&](const auto& f) {
          if constexpr (!std::is_same_v<std::decay_t<decltype(f)>, TPVEndOfFields>) fn(f);
        };
        (one(field), ...);
      },
      fields);
}

// --- Binary form of the parameters file ----------------------------------

class TPVParamsWriter {
 public:
  explicit TPVParamsWriter(TStream& s) : s_(s) {}
  TStream& Stream() { return s_; }
  void I32(int32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    s_.WriteBuffer(b, 4);
  }
  void U8(uint8_t v) { s_.WriteBuffer(&v, 1); }
  void Bool(bool v) { U8(v ? 1 : 0); }
  void Rgb(const TRGB& c) { s_.WriteBuffer(&c, 3); }
  void Double(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(bits >> (8 * i));
    s_.WriteBuffer(b, 8);
  }
  void Str(const std::string& v) {
    I32(static_cast<int32_t>(v.size()));
    if (!v.empty()) s_.WriteBuffer(v.data(), static_cast<int64_t>(v.size()));
  }

 private:
  TStream& s_;
};

// Reads with every length checked against the bytes that remain; a short
// stream raises EReadError.
class TPVParamsReader {
 public:
  explicit TPVParamsReader(TStream& s) : s_(s) {}
  TStream& Stream() { return s_; }
  int64_t Remaining() {
    int64_t r = s_.GetSize() - s_.GetPosition();
    return r > 0 ? r : 0;
  }
  int32_t I32() {
    uint8_t b[4];
    s_.ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
  }
  uint8_t U8() {
    uint8_t v;
    s_.ReadBuffer(&v, 1);
    return v;
  }
  bool Bool() { return U8() != 0; }
  TRGB Rgb() {
    TRGB c;
    s_.ReadBuffer(&c, 3);
    return c;
  }
  double Double() {
    uint8_t b[8];
    s_.ReadBuffer(b, 8);
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t(b[i]) << (8 * i);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
  }
  std::string Str() {
    int32_t length = I32();
    if (length < 0 || length > Remaining()) throw EReadError("Stream read error");
    std::string v(static_cast<size_t>(length), '\0');
    if (length) s_.ReadBuffer(v.data(), length);
    return v;
  }

 private:
  TStream& s_;
};

// --- Values by type -------------------------------------------------------

template <class T>
inline constexpr bool kPVIsList =
    std::is_same_v<T, TPVMarkerList> || std::is_same_v<T, TPVIPTCInfoList> ||
    std::is_same_v<T, TStringList>;
template <class T>
inline constexpr bool kPVIsFunction =
    std::is_pointer_v<T>&& std::is_function_v<std::remove_pointer_t<T>>;

template <class T, class D>
void PVResetValue(T& v, const D& d) {
  v = d;
}
template <class T>
void PVResetValue(T&, PVKeep) {}
inline void PVResetValue(TPVMarkerList& v, PVEmptied) {
  v.Clear();
}
inline void PVResetValue(TStringList& v, PVEmptied) {
  v.Clear();
}
inline void PVResetValue(TPVIPTCInfoList& v, PVEmptied) {
  v.Clear();
  v.SetUserChanged(false);
}
inline void PVResetValue(std::vector<TRGB>& v, PVEmptied) {
  v.clear();
  v.shrink_to_fit();
}

// A list's stream form, for comparing lists.
template <class L>
std::string PVListBytes(const L& list) {
  TMemoryStream m;
  list.SaveToStream(m);
  std::string bytes(static_cast<size_t>(m.GetSize()), '\0');
  if (!bytes.empty()) std::memcpy(bytes.data(), m.Memory(), bytes.size());
  return bytes;
}

template <class T>
bool PVSameValue(const T& a, const T& b) {
  if constexpr (kPVIsList<T>)
    return PVListBytes(a) == PVListBytes(b);
  else
    return a == b;
}

template <class T>
void PVWriteValue(TPVParamsWriter& w, const T& v) {
  if constexpr (std::is_same_v<T, int32_t>)
    w.I32(v);
  else if constexpr (std::is_same_v<T, bool>)
    w.Bool(v);
  else if constexpr (std::is_same_v<T, TRGB>)
    w.Rgb(v);
  else if constexpr (std::is_same_v<T, double>)
    w.Double(v);
  else if constexpr (std::is_same_v<T, std::string>)
    w.Str(v);
  else if constexpr (std::is_enum_v<T>)
    w.U8(static_cast<uint8_t>(v));
  else if constexpr (kPVIsList<T>)
    v.SaveToStream(w.Stream());
  else
    static_assert(sizeof(T) == 0, "no file form for this field type");
}

template <class T>
void PVReadValue(TPVParamsReader& r, T& v) {
  if constexpr (std::is_same_v<T, int32_t>)
    v = r.I32();
  else if constexpr (std::is_same_v<T, bool>)
    v = r.Bool();
  else if constexpr (std::is_same_v<T, TRGB>)
    v = r.Rgb();
  else if constexpr (std::is_same_v<T, double>)
    v = r.Double();
  else if constexpr (std::is_same_v<T, std::string>)
    v = r.Str();
  else if constexpr (std::is_enum_v<T>) {
    // A value beyond the last member keeps the current one.
    uint8_t b = r.U8();
    if (b < TPVEnumNames<T>::Names.size()) v = static_cast<T>(b);
  } else if constexpr (kPVIsList<T>)
    v.LoadFromStream(r.Stream());
  else
    static_assert(sizeof(T) == 0, "no file form for this field type");
}

// Text of a value for printing: one (name, text) line per call of `sink`.
using TPVFieldEmit = std::function<void(const std::string& name, const std::string& text)>;

template <class T>
void PVValueLines(const char* name, const T& v, const TPVFieldEmit& sink) {
  if constexpr (std::is_same_v<T, bool>) {
    sink(name, v ? "true" : "false");
  } else if constexpr (std::is_same_v<T, int32_t> || std::is_enum_v<T>) {
    sink(name, std::to_string(static_cast<long long>(v)));
  } else if constexpr (std::is_same_v<T, TRGB>) {
    sink(name, std::to_string(v.r) + "," + std::to_string(v.g) + "," + std::to_string(v.b));
  } else if constexpr (std::is_same_v<T, double>) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    sink(name, buf);
  } else if constexpr (std::is_same_v<T, std::string>) {
    sink(name, v);
  } else if constexpr (std::is_same_v<T, TPVMarkerList>) {
    sink(name, std::to_string(v.GetCount()) + " markers");
  } else if constexpr (std::is_same_v<T, TPVIPTCInfoList>) {
    for (int i = 0; i < v.GetCount(); ++i)
      sink("IPTC", std::to_string(v.GetRecordNumber(i)) + ":" + std::to_string(v.GetDataSet(i)) +
                       "=" + v.GetStrings(i));
  } else if constexpr (std::is_same_v<T, TStringList>) {
    for (int i = 0; i < v.Count(); ++i) sink("PXM_Comment", v.Get(i));
  }
  // Function pointers and the colour map's entries are not shown.
}

// Parsing of command-line values; errors name the field.
int32_t PVParseInt(const std::string& v, const char* field);
double PVParseDouble(const std::string& v, const char* field);
bool PVParseBool(const std::string& v, const char* field);
TRGB PVParseRGB(const std::string& v, const char* field);
// An enumeration member by name (or its number).
uint8_t PVParseEnum(const std::string& v, const char* field, const char* const* names,
                    size_t count);
[[noreturn]] void PVFieldNotSettable(const char* field);

template <class T>
void PVParseValue(T& v, const std::string& text, const char* name) {
  if constexpr (std::is_same_v<T, int32_t>)
    v = PVParseInt(text, name);
  else if constexpr (std::is_same_v<T, bool>)
    v = PVParseBool(text, name);
  else if constexpr (std::is_same_v<T, TRGB>)
    v = PVParseRGB(text, name);
  else if constexpr (std::is_same_v<T, double>)
    v = PVParseDouble(text, name);
  else if constexpr (std::is_same_v<T, std::string>)
    v = text;
  else if constexpr (std::is_enum_v<T>) {
    const auto& names = TPVEnumNames<T>::Names;
    v = static_cast<T>(PVParseEnum(text, name, names.data(), names.size()));
  } else if constexpr (std::is_same_v<T, TStringList>) {
    v.Add(text);  // each value adds one line
  } else {
    PVFieldNotSettable(name);
  }
}

// --- Fields of a record -----------------------------------------------------

template <class Owner, class T>
void PVResetField(Owner& o, const TPVParamField<Owner, T>& f) {
  f.Reset(o.*f.Member);
}

template <class Owner, class T>
void PVAssignField(Owner& d, const Owner& s, const TPVParamField<Owner, T>& f) {
  if (f.Form == pvDerived) return;
  if constexpr (std::is_same_v<T, std::vector<TRGB>>)
    d.SetColorMap(s.ColorMap.data(), s.ColorMapCount);
  else if constexpr (kPVIsList<T>)
    (d.*f.Member).Assign(s.*f.Member);
  else
    d.*f.Member = s.*f.Member;
}

template <class Owner, class T>
void PVWriteField(TPVParamsWriter& w, const Owner& o, const TPVParamField<Owner, T>& f) {
  if (f.Form == pvNotStored || f.Form == pvDerived) return;
  if constexpr (std::is_same_v<T, std::vector<TRGB>>) {
    int32_t count =
        o.ColorMapCount > 0 ? std::min<int32_t>(o.ColorMapCount, int32_t(o.ColorMap.size())) : 0;
    w.I32(count);
    if (count > 0) w.Stream().WriteBuffer(o.ColorMap.data(), int64_t(count) * 3);
  } else if constexpr (!kPVIsFunction<T>) {
    PVWriteValue(w, o.*f.Member);
  }
}

// A colour map of this library never exceeds 256 entries.
inline constexpr int32_t kPVMaxColorMap = 256;

template <class Owner>
void PVReadColorMap(TPVParamsReader& r, Owner& o) {
  o.FreeColorMap();
  int32_t count = r.I32();
  if (count < 0 || count > kPVMaxColorMap)
    throw EReadError("Invalid colour map size " + std::to_string(count));
  if (count == 0) return;
  if (int64_t(count) * 3 > r.Remaining()) throw EReadError("Stream read error");
  std::vector<TRGB> map(static_cast<size_t>(count));
  r.Stream().ReadBuffer(map.data(), int64_t(count) * 3);
  o.ColorMap = std::move(map);
  o.ColorMapCount = count;
}

template <class Owner, class T>
void PVReadField(TPVParamsReader& r, Owner& o, int32_t version, const TPVParamField<Owner, T>& f) {
  if (f.Form == pvNotStored || f.Form == pvDerived) return;
  if constexpr (std::is_same_v<T, std::vector<TRGB>>) {
    PVReadColorMap(r, o);
  } else if constexpr (std::is_same_v<T, int32_t>) {
    if (version < f.Version) {
      if (f.Form == pvSkip2InV0 && version == 0) {
        r.I32();
        r.I32();
      }
      if ((f.Form == pvSkip2InV0 || f.Form == pvZeroInV0) && version == 0) o.*f.Member = 0;
      return;
    }
    o.*f.Member = (f.Form == pvByteBeforeV2 && version <= 1) ? r.U8() : r.I32();
  } else if constexpr (!kPVIsFunction<T>) {
    if (version >= f.Version) PVReadValue(r, o.*f.Member);
  }
}

template <class Owner, class T>
void PVFieldLines(const Owner& o, const TPVParamField<Owner, T>& f, const TPVFieldEmit& sink) {
  if (f.Form == pvNotStored) return;
  if constexpr (!kPVIsFunction<T> && !std::is_same_v<T, std::vector<TRGB>>)
    PVValueLines(f.Name, o.*f.Member, sink);
}

template <class Owner, class T>
void PVParseField(Owner& o, const TPVParamField<Owner, T>& f, const std::string& text) {
  if constexpr (kPVIsFunction<T> || std::is_same_v<T, std::vector<TRGB>> ||
                std::is_same_v<T, TPVMarkerList> || std::is_same_v<T, TPVIPTCInfoList>) {
    PVFieldNotSettable(f.Name);
  } else {
    if (f.Form == pvDerived) PVFieldNotSettable(f.Name);
    PVParseValue(o.*f.Member, text, f.Name);
  }
}

// --- Whole records ------------------------------------------------------------

template <class Owner, class Fields>
void PVResetFields(Owner& o, const Fields& fields) {
  PVForEachField(fields, [&](const auto& f) { PVResetField(o, f); });
}

template <class Owner, class Fields>
void PVAssignFields(Owner& d, const Owner& s, const Fields& fields) {
  PVForEachField(fields, [&](const auto& f) { PVAssignField(d, s, f); });
}

// The name of the first field that differs, or null when all are the same.
template <class Owner, class Fields>
const char* PVFirstDifference(const Owner& a, const Owner& b, const Fields& fields) {
  const char* found = nullptr;
  PVForEachField(fields, [&](const auto& f) {
    if (!found && !PVSameValue(a.*f.Member, b.*f.Member)) found = f.Name;
  });
  return found;
}

template <class Owner, class Fields>
void PVWriteFields(TStream& stream, const Owner& o, const Fields& fields) {
  TPVParamsWriter w(stream);
  PVForEachField(fields, [&](const auto& f) { PVWriteField(w, o, f); });
}

template <class Owner, class Fields>
void PVReadFields(TStream& stream, Owner& o, int32_t version, const Fields& fields) {
  TPVParamsReader r(stream);
  PVForEachField(fields, [&](const auto& f) { PVReadField(r, o, version, f); });
}

template <class Owner, class Fields>
void PVFieldsLines(const Owner& o, const Fields& fields, const TPVFieldEmit& sink) {
  PVForEachField(fields, [&](const auto& f) { PVFieldLines(o, f, sink); });
}

// Sets the named field from text; false when no field has that name.
// Invalid text raises std::invalid_argument naming the field.
template <class Owner, class Fields>
bool PVSetFieldText(Owner& o, const Fields& fields, const std::string& name,
                    const std::string& text) {
  bool found = false;
  PVForEachField(fields, [&](const auto& f) {
    if (!found && name == f.Name) {
      found = true;
      PVParseField(o, f, text);
    }
  });
  return found;
}

template <class Fields>
bool PVHasField(const Fields& fields, const std::string& name) {
  bool found = false;
  PVForEachField(fields, [&](const auto& f) { found = found || name == f.Name; });
  return found;
}

// Builds the descriptor of one X-macro row for the record type Owner.
#define PV_FIELD_DESCRIPTOR(Owner, Name, Type, Default, Version, Group, Form) \
  ::pictavo::TPVParamField<Owner, Type>{                                      \
      #Name,   &Owner::Name, [](Type& v) { ::pictavo::PVResetValue(v, Default); },                                 \
      Version, Group,        ::pictavo::Form},

}  // namespace pictavo
