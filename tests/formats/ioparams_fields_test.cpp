// Tests that run over the field list of TIOParamsVals: every field, whatever
// its type, is defaulted, copied, compared, stored, read back, printed and
// set from text; and a field added to a copy of the list is handled by all
// of these without further code.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "formats/ioparams.h"

namespace pictavo {
namespace {

uint8_t* DummyTiffDecomp(const uint8_t*, int64_t, int, void*&) {
  return nullptr;
}
bool DummyTiffComp(const uint8_t*, int, TStream&, void*&) {
  return true;
}
bool DummyGifDecomp(TStream&, int, int, bool, uint8_t*) {
  return true;
}
bool DummyGifComp(TStream&, int, int, bool, const uint8_t*, int) {
  return true;
}

// Gives a value that differs from the current one, by type; `salt` makes the
// values of different fields different.
template <class T>
void ChangeValue(T& v, int salt) {
  if constexpr (std::is_same_v<T, int32_t>) {
    v = v + 1000 + salt;
  } else if constexpr (std::is_same_v<T, bool>) {
    v = !v;
  } else if constexpr (std::is_same_v<T, TRGB>) {
    v = TRGB{uint8_t(v.b + 1), uint8_t(salt), uint8_t(v.r ^ 0x55)};
  } else if constexpr (std::is_same_v<T, double>) {
    v = v + 0.5 + salt;
  } else if constexpr (std::is_same_v<T, std::string>) {
    v = v + "changed" + std::to_string(salt);
  } else if constexpr (std::is_enum_v<T>) {
    v = static_cast<T>((static_cast<size_t>(v) + 1) % TPVEnumNames<T>::Names.size());
  } else if constexpr (std::is_same_v<T, TPVMarkerList>) {
    v.AddMarker(0xE5, "abc", 3);
  } else if constexpr (std::is_same_v<T, TPVIPTCInfoList>) {
    v.AddStringItem(2, 120, "caption " + std::to_string(salt));
  } else if constexpr (std::is_same_v<T, TStringList>) {
    v.Add("comment " + std::to_string(salt));
  } else if constexpr (std::is_same_v<T, TTIFFLZWDecompFunc>) {
    v = DummyTiffDecomp;
  } else if constexpr (std::is_same_v<T, TTIFFLZWCompFunc>) {
    v = DummyTiffComp;
  } else if constexpr (std::is_same_v<T, TGIFLZWDecompFunc>) {
    v = DummyGifDecomp;
  } else if constexpr (std::is_same_v<T, TGIFLZWCompFunc>) {
    v = DummyGifComp;
  } else {
    static_assert(sizeof(T) == 0, "a field type without a test value");
  }
}

// Changes one field of `p` in place (the colour map through its setter).
template <class Owner, class T>
void ChangeField(Owner& p, const TPVParamField<Owner, T>& f, int salt) {
  if constexpr (std::is_same_v<T, std::vector<TRGB>>) {
    const TRGB map[2] = {{1, 2, 3}, {200, 100, uint8_t(salt)}};
    p.SetColorMap(map, 2);
  } else {
    ChangeValue(p.*f.Member, salt);
  }
}

TMemoryStream Saved(TIOParamsVals& p) {
  TMemoryStream m;
  p.SaveToStream(m);
  m.SetPosition(0);
  return m;
}

TEST(IOParamsFields, NamesAreUniqueAndGroupsKnown) {
  std::set<std::string> names;
  const std::set<std::string> groups = {"General", "TIFF", "GIF", "JPEG", "PCX",  "BMP",
                                        "ICO",     "CUR",  "PNG", "TGA",  "IPTC", "PXM"};
  int count = 0;
  PVForEachField(PVIOParamsFields(), [&](const auto& f) {
    ++count;
    EXPECT_TRUE(names.insert(f.Name).second) << f.Name;
    EXPECT_TRUE(groups.count(f.Group)) << f.Name << " in " << f.Group;
    EXPECT_GE(f.Version, 0);
    EXPECT_LE(f.Version, kPVParamsFileVersion);
    // Format fields carry their group's prefix.
    if (std::string(f.Group) != "General") {
      EXPECT_EQ(std::string(f.Name).rfind(f.Group, 0), 0u) << f.Name;
    }
  });
  EXPECT_EQ(count, 74);
}

// Each field in turn: changing it makes the records differ; the file carries
// it (unless it is a coder pointer); Assign copies it; SetDefaultParams
// restores the default.
TEST(IOParamsFields, EveryFieldIsComparedStoredCopiedAndDefaulted) {
  int salt = 1;
  PVForEachField(PVIOParamsFields(), [&](const auto& f) {
    if (f.Form == pvDerived) return;  // follows the colour map
    SCOPED_TRACE(f.Name);
    TIOParamsVals fresh, changed;
    fresh.TGA_Date = changed.TGA_Date = 44000;  // no dependence on today's date
    ASSERT_TRUE(fresh == changed);
    ChangeField(changed, f, salt++);
    EXPECT_FALSE(fresh == changed);
    EXPECT_STREQ(PVFirstDifference(fresh, changed, PVIOParamsFields()), f.Name);

    TIOParamsVals loaded;
    loaded.TGA_Date = 44000;
    TMemoryStream m = Saved(changed);
    loaded.LoadFromStream(m);
    EXPECT_EQ(m.GetPosition(), m.GetSize());
    if (f.Form == pvNotStored)
      EXPECT_TRUE(loaded == fresh);
    else
      EXPECT_TRUE(loaded == changed);

    TIOParamsVals copy;
    copy.Assign(changed);
    EXPECT_TRUE(copy == changed);

    // Size and resolution come from the owner's target and view; without
    // them they stay as they are.
    static const std::set<std::string> kept = {"Width", "Height", "DpiX", "DpiY"};
    changed.SetDefaultParams();
    changed.TGA_Date = 44000;
    EXPECT_EQ(changed == fresh, kept.count(f.Name) == 0);
  });
}

// The printed lines name each shown field with its value's text.
TEST(IOParamsFields, PrinterShowsEveryField) {
  TIOParamsVals p;
  p.TIFF_Compression = ioTIFF_LZW;
  p.GIF_TranspColor = TRGB{3, 2, 1};
  p.TGA_Gamma = 1.8;
  p.GIF_Interlaced = true;
  p.IPTC_Info.AddStringItem(2, 5, "title");
  p.PXM_Comments.Add("first");
  p.PXM_Comments.Add("second");
  std::multimap<std::string, std::string> lines;
  PVFieldsLines(p, PVIOParamsFields(),
                [&](const std::string& n, const std::string& t) { lines.emplace(n, t); });
  PVForEachField(PVIOParamsFields(), [&](const auto& f) {
    using T = typename std::decay_t<decltype(f)>::Type;
    bool shown = f.Form != pvNotStored && !std::is_same_v<T, std::vector<TRGB>> &&
                 !std::is_same_v<T, TPVIPTCInfoList> && !std::is_same_v<T, TStringList>;
    EXPECT_EQ(lines.count(f.Name), shown ? 1u : 0u) << f.Name;
  });
  EXPECT_EQ(lines.find("TIFF_Compression")->second, "5");
  EXPECT_EQ(lines.find("GIF_TranspColor")->second, "1,2,3");  // r,g,b
  EXPECT_EQ(lines.find("TGA_Gamma")->second, "1.8");
  EXPECT_EQ(lines.find("GIF_Interlaced")->second, "true");
  EXPECT_EQ(lines.find("JPEG_MarkerList")->second, "0 markers");
  EXPECT_EQ(lines.find("IPTC")->second, "2:5=title");
  auto [first, last] = lines.equal_range("PXM_Comment");
  std::vector<std::string> comments;
  for (auto it = first; it != last; ++it) comments.push_back(it->second);
  EXPECT_EQ(comments, (std::vector<std::string>{"first", "second"}));
}

TEST(IOParamsFields, SettingFromText) {
  TIOParamsVals p;
  const auto& fields = PVIOParamsFields();
  EXPECT_TRUE(PVSetFieldText(p, fields, "JPEG_Quality", "0x20"));
  EXPECT_EQ(p.JPEG_Quality, 32);
  EXPECT_TRUE(PVSetFieldText(p, fields, "TIFF_Compression", "ioTIFF_G3FAX2D"));
  EXPECT_EQ(p.TIFF_Compression, ioTIFF_G3FAX2D);
  EXPECT_TRUE(PVSetFieldText(p, fields, "BMP_Version", "2"));
  EXPECT_EQ(p.BMP_Version, ioBMP_BMOS2V1);
  EXPECT_TRUE(PVSetFieldText(p, fields, "PNG_Background", "10,20,30"));
  EXPECT_EQ(p.PNG_Background, (TRGB{30, 20, 10}));
  EXPECT_TRUE(PVSetFieldText(p, fields, "TGA_Compressed", "off"));
  EXPECT_FALSE(p.TGA_Compressed);
  EXPECT_TRUE(PVSetFieldText(p, fields, "TGA_AspectRatio", "0.75"));
  EXPECT_EQ(p.TGA_AspectRatio, 0.75);
  EXPECT_TRUE(PVSetFieldText(p, fields, "PXM_Comments", "a"));
  EXPECT_TRUE(PVSetFieldText(p, fields, "PXM_Comments", "b"));
  EXPECT_EQ(p.PXM_Comments.GetText(), "a\r\nb\r\n");
  EXPECT_FALSE(PVSetFieldText(p, fields, "NoSuchField", "1"));

  EXPECT_THROW(PVSetFieldText(p, fields, "JPEG_Quality", "12x"), std::invalid_argument);
  EXPECT_THROW(PVSetFieldText(p, fields, "JPEG_Quality", "4294967296"), std::invalid_argument);
  EXPECT_THROW(PVSetFieldText(p, fields, "PNG_Filter", "3"), std::invalid_argument);
  EXPECT_THROW(PVSetFieldText(p, fields, "GIF_Background", "1,2,256"), std::invalid_argument);
  EXPECT_THROW(PVSetFieldText(p, fields, "GIF_Interlaced", "maybe"), std::invalid_argument);
  for (const char* fixed : {"ColorMap", "ColorMapCount", "TIFF_LZWDecompFunc", "GIF_LZWCompFunc",
                            "JPEG_MarkerList", "IPTC_Info"})
    EXPECT_THROW(PVSetFieldText(p, fields, fixed, "1"), std::invalid_argument) << fixed;
  EXPECT_EQ(p.JPEG_Quality, 32);  // failed sets changed nothing
  EXPECT_EQ(p.PNG_Filter, ioPNG_FILTER_NONE);
}

// --- A field added to a copy of the list ------------------------------------

struct TExtendedParams : TIOParamsVals {
  int32_t TEST_Extra{};
  std::string TEST_Label;
};

#define TEST_EXTENDED_FIELDS(X)                          \
  PV_IOPARAMS_STORED_FIELDS(X)                           \
  X(TEST_Extra, int32_t, 77, 5, "Test", pvPlain)         \
  X(TEST_Label, std::string, "none", 6, "Test", pvPlain) \
  PV_IOPARAMS_TRAILING_FIELDS(X)

#define TEST_EXTENDED_DESCRIBE(...) PV_FIELD_DESCRIPTOR(TExtendedParams, __VA_ARGS__)
const auto& ExtendedFields() {
  static const auto fields =
      std::make_tuple(TEST_EXTENDED_FIELDS(TEST_EXTENDED_DESCRIBE) TPVEndOfFields{});
  return fields;
}

uint32_t LittleEndian32(const uint8_t* b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

TEST(IOParamsFields, AddedFieldIsWrittenReadAssignedAndPrinted) {
  TExtendedParams p;
  PVResetFields(p, ExtendedFields());
  EXPECT_EQ(p.TEST_Extra, 77);
  EXPECT_EQ(p.TEST_Label, "none");
  EXPECT_EQ(p.JPEG_Quality, 50);  // the rest of the list defaulted too
  p.TEST_Extra = 0x01020304;
  p.TEST_Label = "hi";
  p.JPEG_Quality = 61;

  p.PXM_Comments.Add("c1");

  // Written: the base record's bytes with the two new fields before the
  // comment lines, which run to the end.
  TMemoryStream base, extended;
  PVWriteFields(base, static_cast<TIOParamsVals&>(p), PVIOParamsFields());
  PVWriteFields(extended, p, ExtendedFields());
  const size_t comments = p.PXM_Comments.GetText().size();
  const size_t head = size_t(base.GetSize()) - comments;
  ASSERT_EQ(size_t(extended.GetSize()), head + 4 + 4 + 2 + comments);
  EXPECT_EQ(std::memcmp(extended.Memory(), base.Memory(), head), 0);
  const uint8_t* tail = extended.Memory() + head;
  EXPECT_EQ(LittleEndian32(tail), 0x01020304u);
  EXPECT_EQ(LittleEndian32(tail + 4), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(tail + 8), 2), "hi");
  EXPECT_EQ(std::memcmp(tail + 10, base.Memory() + head, comments), 0);

  // Read: a version-6 reader takes both; a version-5 reader only the first.
  TExtendedParams r6, r5;
  extended.SetPosition(0);
  PVReadFields(extended, r6, 6, ExtendedFields());
  EXPECT_EQ(r6.TEST_Extra, 0x01020304);
  EXPECT_EQ(r6.TEST_Label, "hi");
  EXPECT_EQ(r6.JPEG_Quality, 61);
  EXPECT_EQ(r6.PXM_Comments.GetText(), p.PXM_Comments.GetText());
  // A version-5 file of the extended record lacks the label.
  TMemoryStream v5;
  TExtendedParams p5;
  p5.TEST_Extra = 9;
  p5.PXM_Comments.Add("c5");
  PVWriteFields(v5, static_cast<TIOParamsVals&>(p5), PVIOParamsFields());
  {
    TPVParamsWriter w(v5);
    const int64_t head5 = v5.GetSize() - 4;  // the comments move behind the new int32
    v5.SetSize(head5);
    v5.SetPosition(head5);
    w.I32(9);
    v5.WriteBuffer("c5\r\n", 4);
  }
  r5.TEST_Label = "kept";
  v5.SetPosition(0);
  PVReadFields(v5, r5, 5, ExtendedFields());
  EXPECT_EQ(r5.TEST_Extra, 9);
  EXPECT_EQ(r5.TEST_Label, "kept");
  EXPECT_EQ(r5.PXM_Comments.Get(0), "c5");

  // Assigned and compared.
  TExtendedParams copy;
  EXPECT_STREQ(PVFirstDifference(copy, p, ExtendedFields()), "JPEG_Quality");
  PVAssignFields(copy, p, ExtendedFields());
  EXPECT_EQ(copy.TEST_Extra, 0x01020304);
  EXPECT_EQ(copy.TEST_Label, "hi");
  EXPECT_EQ(PVFirstDifference(copy, p, ExtendedFields()), nullptr);
  copy.TEST_Label = "other";
  EXPECT_STREQ(PVFirstDifference(copy, p, ExtendedFields()), "TEST_Label");

  // Printed and set from text.
  std::map<std::string, std::string> lines;
  PVFieldsLines(p, ExtendedFields(),
                [&](const std::string& n, const std::string& t) { lines[n] = t; });
  EXPECT_EQ(lines["TEST_Extra"], "16909060");
  EXPECT_EQ(lines["TEST_Label"], "hi");
  EXPECT_TRUE(PVSetFieldText(p, ExtendedFields(), "TEST_Extra", "-5"));
  EXPECT_EQ(p.TEST_Extra, -5);
  EXPECT_TRUE(PVHasField(ExtendedFields(), "TEST_Label"));
  EXPECT_FALSE(PVHasField(PVIOParamsFields(), "TEST_Label"));
}

}  // namespace
}  // namespace pictavo
