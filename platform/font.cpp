#include "platform/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/canvas.h"

namespace pictavo::fonts {

namespace {

constexpr int kDefaultEmPixels = 16;
constexpr size_t kGlyphCacheBytes = size_t(64) << 20;  // rendered glyphs kept
constexpr double kItalicShear = 0.2;
constexpr char kFallbackFamily[] = "DejaVu Sans";

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Metric-compatible stand-ins for the platform's core faces.
std::string Alias(const std::string& name) {
  static const std::map<std::string, std::string> kAliases = {
      {"arial", "Liberation Sans"},         {"helvetica", "Liberation Sans"},
      {"ms sans serif", "Liberation Sans"}, {"times new roman", "Liberation Serif"},
      {"times", "Liberation Serif"},        {"courier new", "Liberation Mono"},
      {"courier", "Liberation Mono"},
  };
  auto it = kAliases.find(Lower(name));
  return it == kAliases.end() ? name : it->second;
}

struct Match {
  std::string family, file;
  int index = 0;
  bool bold = false, italic = false;  // what the face itself is
};

// Asks fontconfig for family; false when it only offers another family.
bool FcFind(const std::string& family, bool bold, bool italic, Match& out) {
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result;
  FcPattern* m = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!m) return false;
  bool same = false;
  FcChar8* s = nullptr;
  for (int i = 0; FcPatternGetString(m, FC_FAMILY, i, &s) == FcResultMatch; ++i)
    if (Lower(reinterpret_cast<const char*>(s)) == Lower(family)) {
      same = true;
      out.family = reinterpret_cast<const char*>(s);
    }
  FcChar8* file = nullptr;
  int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  if (same && FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch) {
    out.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(m, FC_INDEX, 0, &index);
    FcPatternGetInteger(m, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(m, FC_SLANT, 0, &slant);
    out.index = index;
    out.bold = weight >= FC_WEIGHT_DEMIBOLD;
    out.italic = slant != FC_SLANT_ROMAN;
  } else {
    same = false;
  }
  FcPatternDestroy(m);
  return same;
}

FT_Fixed ToFixed(double v) {
  return FT_Fixed(std::lround(v * 65536.0));
}

// Exact cosine and sine of tenths of a degree at the right angles.
void CosSin(int tenths, double& c, double& s) {
  int t = ((tenths % 3600) + 3600) % 3600;
  switch (t) {
    case 0:
      c = 1, s = 0;
      return;
    case 900:
      c = 0, s = 1;
      return;
    case 1800:
      c = -1, s = 0;
      return;
    case 2700:
      c = 0, s = -1;
      return;
    default:
      c = std::cos(t * M_PI / 1800.0);
      s = std::sin(t * M_PI / 1800.0);
  }
}

class Face : public SizedFace {
 public:
  Face(FT_Face face, const Match& m, int height, bool synth_bold, bool synth_italic)
      : face_(face), family_(m.family), file_(m.file), bold_(synth_bold), italic_(synth_italic) {
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    int upem = face_->units_per_EM > 0 ? face_->units_per_EM : 2048;
    int asc = os2 && os2->usWinAscent ? os2->usWinAscent : face_->ascender;
    int desc = os2 && os2->usWinDescent ? os2->usWinDescent : -face_->descender;
    int64_t em = height < 0 ? -int64_t(height)
                 : height > 0
                     ? (int64_t(height) * upem + (asc + desc) / 2) / std::max(asc + desc, 1)
                     : kDefaultEmPixels;
    em_ = int(std::clamp<int64_t>(em, 1, kMaxFontPixels));
    auto up = [&](int64_t units) { return int((units * em_ + upem - 1) / upem); };
    auto near = [&](int64_t units) { return int(std::lround(double(units) * em_ / upem)); };
    ascent_ = up(asc);
    descent_ = up(desc);
    ul_offset_ = near(-face_->underline_position);
    ul_thick_ = std::max(1, near(face_->underline_thickness));
    strike_offset_ = os2 ? near(os2->yStrikeoutPosition) : ascent_ / 3;
    strike_thick_ = std::max(1, os2 ? near(os2->yStrikeoutSize) : ul_thick_);
  }
  ~Face() override { FT_Done_Face(face_); }

  const std::string& Family() const override { return family_; }
  const std::string& File() const override { return file_; }
  int EmPixels() const override { return em_; }
  int Ascent() const override { return ascent_; }
  int Descent() const override { return descent_; }
  int UnderlineOffset() const override { return ul_offset_; }
  int UnderlineThickness() const override { return ul_thick_; }
  int StrikeOffset() const override { return strike_offset_; }
  int StrikeThickness() const override { return strike_thick_; }

  int Advance(char32_t c) override {
    auto it = advances_.find(c);
    if (it != advances_.end()) return it->second;
    int adv = 0;
    if (Load(c, 0)) {
      adv = int((face_->glyph->advance.x + 32) >> 6);
      if (bold_) adv += EmboldenPixels();
    }
    advances_[c] = adv;
    return adv;
  }

  const Glyph& Render(char32_t c, int tenths, bool mono) override {
    uint64_t key = (uint64_t(uint32_t(tenths)) << 33) | (uint64_t(mono) << 32) | c;
    auto it = glyphs_.find(key);
    if (it != glyphs_.end()) return it->second;
    if (cached_bytes_ > kGlyphCacheBytes) {
      glyphs_.clear();
      cached_bytes_ = 0;
    }
    Glyph& g = glyphs_[key];
    if (Load(c, tenths) &&
        FT_Render_Glyph(face_->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0)
      Copy(face_->glyph, g);
    cached_bytes_ += g.coverage.size() + sizeof(Glyph);
    return g;
  }

 private:
  int EmboldenPixels() const { return std::max(1, em_ / 24); }

  // Loads the outline of c, hinted, emboldened and turned as asked.
  bool Load(char32_t c, int tenths) {
    FT_Set_Pixel_Sizes(face_, 0, FT_UInt(em_));
    double co, si;
    CosSin(tenths, co, si);
    double shear = italic_ ? kItalicShear : 0;
    FT_Matrix m{ToFixed(co), ToFixed(shear * co - si), ToFixed(si), ToFixed(shear * si + co)};
    FT_Set_Transform(face_, &m, nullptr);
    FT_UInt index = FT_Get_Char_Index(face_, FT_ULong(c));
    bool ok = FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0;
    FT_Set_Transform(face_, nullptr, nullptr);
    if (ok && bold_ && face_->glyph->format == FT_GLYPH_FORMAT_OUTLINE)
      FT_Outline_EmboldenXY(&face_->glyph->outline, EmboldenPixels() * 64, 0);
    return ok;
  }

  static void Copy(const FT_GlyphSlot slot, Glyph& g) {
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int(bm.width);
    g.rows = int(bm.rows);
    g.coverage.assign(size_t(g.width) * size_t(g.rows), 0);
    for (int y = 0; y < g.rows; ++y) {
      const uint8_t* src = bm.buffer + int64_t(y) * bm.pitch;
      uint8_t* dst = g.coverage.data() + size_t(y) * size_t(g.width);
      for (int x = 0; x < g.width; ++x)
        dst[x] = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[x >> 3] >> (7 - (x & 7))) & 1) * 255
                                                     : src[x];
    }
  }

  FT_Face face_;
  std::string family_, file_;
  bool bold_, italic_;
  int em_ = kDefaultEmPixels, ascent_ = 0, descent_ = 0;
  int ul_offset_ = 0, ul_thick_ = 1, strike_offset_ = 0, strike_thick_ = 1;
  std::unordered_map<char32_t, int> advances_;
  std::unordered_map<uint64_t, Glyph> glyphs_;
  size_t cached_bytes_ = 0;
};

struct Engine {
  std::mutex lock;
  FT_Library library = nullptr;
  std::map<std::string, Match> matches;                // by request
  std::map<std::string, std::unique_ptr<Face>> faces;  // by face and size

  Engine() {
    FcInit();
    FT_Init_FreeType(&library);
  }

  const Match* Resolve(const std::string& name, bool bold, bool italic) {
    std::string key = Lower(name) + (bold ? "|b" : "|") + (italic ? "i" : "");
    auto it = matches.find(key);
    if (it != matches.end()) return it->second.file.empty() ? nullptr : &it->second;
    Match m;
    if (!FcFind(Alias(name), bold, italic, m)) {
      m = Match();
      if (!FcFind(kFallbackFamily, bold, italic, m)) m = Match();
    }
    Match& stored = matches[key] = m;
    return stored.file.empty() ? nullptr : &stored;
  }

  Face* Sized(const TFont& font) {
    bool bold = font.HasStyle(fsBold), italic = font.HasStyle(fsItalic);
    const Match* m = Resolve(font.GetName(), bold, italic);
    if (!m || !library) return nullptr;
    std::string key = m->file + "#" + std::to_string(m->index) + "#" +
                      std::to_string(font.GetHeight()) + (bold ? "b" : "") + (italic ? "i" : "");
    auto it = faces.find(key);
    if (it != faces.end()) return it->second.get();
    FT_Face face = nullptr;
    if (FT_New_Face(library, m->file.c_str(), m->index, &face) != 0) return nullptr;
    if (faces.size() > 64) faces.clear();
    auto made =
        std::make_unique<Face>(face, *m, font.GetHeight(), bold && !m->bold, italic && !m->italic);
    Face* f = made.get();
    faces[key] = std::move(made);
    return f;
  }
};

Engine& TheEngine() {
  static Engine* engine = new Engine();  // lives to the end of the program
  return *engine;
}

}  // namespace

void WithFace(const TFont& font, const std::function<void(SizedFace&)>& fn) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> guard(e.lock);
  if (Face* f = e.Sized(font)) fn(*f);
}

bool ResolveFamily(const std::string& name, bool bold, bool italic, std::string& family,
                   std::string& file) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> guard(e.lock);
  const Match* m = e.Resolve(name, bold, italic);
  if (!m) return false;
  family = m->family;
  file = m->file;
  return true;
}

std::u32string DecodeUtf8(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size(), i = 0;
  while (i < n) {
    unsigned char b = p[i];
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + size_t(len) <= n;
    for (int k = 1; ok && k < len; ++k) {
      ok = (p[i + k] & 0xC0) == 0x80;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    out.push_back(ok ? c : U'\uFFFD');
    i += ok ? size_t(len) : 1;
  }
  return out;
}

}  // namespace pictavo::fonts
