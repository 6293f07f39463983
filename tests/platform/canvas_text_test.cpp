// Text of the canvas: faces, sizes, widths against FreeType's own advances,
// backgrounds, clipping, rotation and the text length limit.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/font.h"

// fontconfig keeps the configuration it loads on first use until FcFini,
// which a library cannot call while the program may still use fonts; the
// leak checker is told that those blocks are meant to live to the end.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace pictavo {
namespace {

// The file fontconfig holds for a family, asked directly.
std::string FontFile(const char* family) {
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* m = FcFontMatch(nullptr, pat, &res);
  FcChar8* file = nullptr;
  std::string out;
  if (m && FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch)
    out = reinterpret_cast<const char*>(file);
  if (m) FcPatternDestroy(m);
  FcPatternDestroy(pat);
  return out;
}

// Sum of FreeType's hinted advances and the scaled Windows ascent + descent.
struct Reference {
  int width = 0, height = 0;
};
Reference Measure(const char* family, int em, const std::string& ascii) {
  Reference r;
  FT_Library lib;
  EXPECT_EQ(FT_Init_FreeType(&lib), 0);
  FT_Face face;
  EXPECT_EQ(FT_New_Face(lib, FontFile(family).c_str(), 0, &face), 0);
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(em));
  for (char c : ascii) {
    EXPECT_EQ(FT_Load_Char(face, FT_ULong(c), FT_LOAD_DEFAULT), 0);
    r.width += int((face->glyph->advance.x + 32) >> 6);
  }
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  int upem = face->units_per_EM;
  r.height = (os2->usWinAscent * em + upem - 1) / upem + (os2->usWinDescent * em + upem - 1) / upem;
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return r;
}

struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
  int greys = 0;  // pixels between the two colours
};
Ink InkOf(const TBitmap& b, TColor back) {
  Ink k;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) {
      TColor c = b.GetPixel(x, y);
      if (c == back) continue;
      ++k.count;
      k.greys += c != clBlack;
      k.left = std::min(k.left, x);
      k.right = std::max(k.right, x);
      k.top = std::min(k.top, y);
      k.bottom = std::max(k.bottom, y);
    }
  return k;
}

std::unique_ptr<TBitmap> White(int w, int h, TPixelFormat f = pf24bit) {
  auto b = std::make_unique<TBitmap>(w, h, f);
  b->Canvas().Brush().SetColor(clWhite);
  b->Canvas().FillRect(Rect(0, 0, w, h));
  b->Canvas().Font().SetColor(clBlack);
  return b;
}

TEST(CanvasFont, SizeAndHeightAtScreenResolution) {
  TFont f;
  EXPECT_EQ(f.GetName(), "Arial");
  EXPECT_EQ(f.GetHeight(), -11);
  EXPECT_EQ(f.GetSize(), 8);
  f.SetSize(12);
  EXPECT_EQ(f.GetHeight(), -16);
  f.SetSize(10);
  EXPECT_EQ(f.GetHeight(), -13);  // 13.33
  f.SetHeight(14);
  EXPECT_EQ(f.GetSize(), -11);  // 10.5 rounds away from zero
  f.SetStyles({fsBold, fsUnderline});
  EXPECT_EQ(f.GetStyle(), (1 << fsBold) | (1 << fsUnderline));
  f.SetOrientation(450);
  TFont g;
  g.Assign(f);
  EXPECT_EQ(g.GetOrientation(), 450);
  EXPECT_TRUE(g.HasStyle(fsUnderline));
}

TEST(CanvasFont, FacesAndFallback) {
  std::string family, file;
  ASSERT_TRUE(fonts::ResolveFamily("Arial", false, false, family, file));
  EXPECT_EQ(family, "Liberation Sans");
  ASSERT_TRUE(fonts::ResolveFamily("times new roman", true, false, family, file));
  EXPECT_EQ(family, "Liberation Serif");
  EXPECT_NE(file.find("Bold"), std::string::npos);
  ASSERT_TRUE(fonts::ResolveFamily("Courier New", false, true, family, file));
  EXPECT_EQ(family, "Liberation Mono");
  ASSERT_TRUE(fonts::ResolveFamily("No Such Face 42", false, false, family, file));
  EXPECT_EQ(family, "DejaVu Sans");
  ASSERT_TRUE(fonts::ResolveFamily("DejaVu Serif", false, false, family, file));
  EXPECT_EQ(family, "DejaVu Serif");
  // An unknown face still writes text.
  auto b = White(120, 30);
  b->Canvas().Font().SetName("No Such Face 42");
  b->Canvas().TextOut(2, 2, "fallback");
  EXPECT_GT(InkOf(*b, clWhite).count, 20);
}

TEST(CanvasText, WidthsAreFreeTypeAdvances) {
  const std::string s = "Hello, World! 0123 WAVy";
  struct Case {
    const char* name;
    const char* family;
    int height;
  } cases[] = {{"Arial", "Liberation Sans", -11},
               {"Times New Roman", "Liberation Serif", -16},
               {"Courier New", "Liberation Mono", -13},
               {"No Such Face", "DejaVu Sans", -20}};
  for (const Case& c : cases) {
    TBitmap b(8, 8, pf24bit);
    b.Canvas().Font().SetName(c.name);
    b.Canvas().Font().SetHeight(c.height);
    Reference r = Measure(c.family, -c.height, s);
    EXPECT_EQ(b.Canvas().TextWidth(s), r.width) << c.name;
    EXPECT_EQ(b.Canvas().TextHeight(s), r.height) << c.name;
    EXPECT_EQ(b.Canvas().TextExtent(s), (TSize{r.width, r.height})) << c.name;
    EXPECT_EQ(b.Canvas().TextHeight(""), r.height);
    EXPECT_EQ(b.Canvas().TextWidth(""), 0);
  }
  // A positive height is the cell height.
  TBitmap b(8, 8, pf24bit);
  b.Canvas().Font().SetHeight(20);
  EXPECT_NEAR(b.Canvas().TextHeight("x"), 20, 1);
  // Monospaced: every character advances alike.
  b.Canvas().Font().SetName("Courier New");
  b.Canvas().Font().SetHeight(-13);
  EXPECT_EQ(b.Canvas().TextWidth("iiiii"), b.Canvas().TextWidth("WWWWW"));
}

TEST(CanvasText, InkInsideTheCellAntialiasedOnlyOnColour) {
  auto b = White(200, 40);
  TCanvas& c = b->Canvas();
  c.Font().SetHeight(-16);
  c.SetBkMode(TRANSPARENT);
  c.TextOut(10, 5, "Quick jumps");
  TSize e = c.TextExtent("Quick jumps");
  Ink k = InkOf(*b, clWhite);
  EXPECT_GT(k.count, 50);
  EXPECT_GT(k.greys, 10);  // grey levels on a 24-bit target
  EXPECT_GE(k.left, 10);
  EXPECT_LT(k.right, 10 + e.cx);
  EXPECT_GE(k.top, 5);
  EXPECT_LT(k.bottom, 5 + e.cy);
  EXPECT_EQ(c.GetPenPos(), Point(10 + e.cx, 5));
  // The same text on one bit: black pixels in the same cell.
  auto m = White(200, 40, pf1bit);
  m->Canvas().Font().SetHeight(-16);
  m->Canvas().SetBkMode(TRANSPARENT);
  m->Canvas().TextOut(10, 5, "Quick jumps");
  Ink km = InkOf(*m, clWhite);
  EXPECT_GT(km.count, 40);
  EXPECT_EQ(km.greys, 0);
  EXPECT_GE(km.left, 10);
  EXPECT_LT(km.bottom, 5 + e.cy);
}

TEST(CanvasText, OpaqueBackgroundFillsTheCell) {
  auto b = White(120, 30);
  TCanvas& c = b->Canvas();
  c.Brush().SetColor(clYellow);
  c.TextOut(7, 4, "Abc");
  TSize e = c.TextExtent("Abc");
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      bool in = x >= 7 && x < 7 + e.cx && y >= 4 && y < 4 + e.cy;
      ASSERT_EQ(b->GetPixel(x, y) != clWhite, in) << x << "," << y;
    }
  // A clear brush is transparent.
  auto t = White(120, 30);
  t->Canvas().Brush().SetStyle(bsClear);
  t->Canvas().TextOut(7, 4, "Abc");
  EXPECT_LT(InkOf(*t, clWhite).count, e.cx * e.cy / 2);
}

TEST(CanvasText, UnderlineAndStrikeOutRunTheWholeWidth) {
  auto b = White(120, 30);
  TCanvas& c = b->Canvas();
  c.SetBkMode(TRANSPARENT);
  c.Font().SetHeight(-16);
  c.Font().SetStyles({fsUnderline, fsStrikeOut});
  c.TextOut(4, 4, "a b");
  int w = c.TextWidth("a b");
  int full_rows = 0;
  for (int y = 0; y < 30; ++y) {
    bool full = true;
    for (int x = 4; x < 4 + w; ++x) full &= b->GetPixel(x, y) == clBlack;
    full_rows += full;
  }
  EXPECT_GE(full_rows, 2);
  EXPECT_EQ(b->GetPixel(4 + w, 20), clWhite);
}

TEST(CanvasText, TextRectClipsAndFills) {
  auto b = White(100, 30);
  TCanvas& c = b->Canvas();
  c.Brush().SetColor(clAqua);
  TRect r(10, 5, 40, 20);
  c.TextRect(r, 12, 6, "a long line clipped here");
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) {
      bool in = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
      if (!in) {
        ASSERT_EQ(b->GetPixel(x, y), clWhite) << x << "," << y;
      }
    }
  EXPECT_EQ(b->GetPixel(10, 5), clAqua);
  int text = 0;
  for (int y = 5; y < 20; ++y)
    for (int x = 10; x < 40; ++x) text += b->GetPixel(x, y) != clAqua;
  EXPECT_GT(text, 10);
}

TEST(CanvasText, RotatedBoundingBox) {
  const std::string s = "Rotate Me";
  auto flat = White(200, 200);
  flat->Canvas().SetBkMode(TRANSPARENT);
  flat->Canvas().Font().SetHeight(-18);
  flat->Canvas().TextOut(50, 100, s);
  Ink f = InkOf(*flat, clWhite);
  // 90 degrees about the reference corner: the pixel [u, u+1) x [v, v+1)
  // (offsets from the reference) goes to [v, v+1) x (-u-1, -u], exactly.
  auto up = White(200, 200);
  up->Canvas().SetBkMode(TRANSPARENT);
  up->Canvas().Font().SetHeight(-18);
  up->Canvas().Font().SetOrientation(900);
  up->Canvas().TextOut(50, 150, s);
  Ink u = InkOf(*up, clWhite);
  EXPECT_EQ(u.count, f.count);
  EXPECT_EQ(u.left, 50 + (f.top - 100));
  EXPECT_EQ(u.right, 50 + (f.bottom - 100));
  EXPECT_EQ(u.top, 150 - (f.right - 50) - 1);
  EXPECT_EQ(u.bottom, 150 - (f.left - 50) - 1);
  // 180 degrees: (-u-1, -v-1); the rasteriser's coverage may differ by a
  // few edge pixels.
  auto down = White(200, 200);
  down->Canvas().SetBkMode(TRANSPARENT);
  down->Canvas().Font().SetHeight(-18);
  down->Canvas().Font().SetOrientation(1800);
  down->Canvas().TextOut(150, 100, s);
  Ink d = InkOf(*down, clWhite);
  EXPECT_NEAR(d.count, f.count, f.count / 50);
  EXPECT_EQ(d.left, 150 - (f.right - 50) - 1);
  EXPECT_EQ(d.right, 150 - (f.left - 50) - 1);
  EXPECT_EQ(d.top, 100 - (f.bottom - 100) - 1);
  EXPECT_EQ(d.bottom, 100 - (f.top - 100) - 1);
  // 30 degrees: the ink lies in the box of the turned cell, whose corners
  // are (u cos - ... ) worked out here from the extent.
  auto slant = White(200, 200);
  TCanvas& c = slant->Canvas();
  c.Font().SetHeight(-18);
  c.Font().SetOrientation(300);
  c.Brush().SetColor(clYellow);  // opaque: the cell itself is painted
  c.TextOut(40, 120, s);
  TSize e = c.TextExtent(s);
  double co = std::sqrt(3.0) / 2, si = 0.5;
  double xs[4] = {0, e.cx * co, e.cx * co + e.cy * si, e.cy * si};
  double ys[4] = {0, -e.cx * si, -e.cx * si + e.cy * co, e.cy * co};
  Ink k = InkOf(*slant, clWhite);
  EXPECT_NEAR(k.left, 40 + *std::min_element(xs, xs + 4), 1.0);
  EXPECT_NEAR(k.right, 40 + *std::max_element(xs, xs + 4) - 1, 1.0);
  EXPECT_NEAR(k.top, 120 + *std::min_element(ys, ys + 4), 1.0);
  EXPECT_NEAR(k.bottom, 120 + *std::max_element(ys, ys + 4) - 1, 1.0);
}

TEST(CanvasText, LongTextRefusedAndUtf8Decoded) {
  std::string big(kMaxTextBytes + 1, 'a');
  auto b = White(50, 20);
  EXPECT_EQ(b->Canvas().TextWidth(big), 0);
  b->Canvas().TextOut(0, 0, big);
  EXPECT_EQ(InkOf(*b, clWhite).count, 0);
  // The largest font over a long text: only the glyphs near the surface are
  // rendered and painted.
  auto huge = White(64, 48);
  huge->Canvas().Font().SetHeight(-100000);
  huge->Canvas().TextOut(-10, -600, std::string(kMaxTextBytes, 'W'));
  EXPECT_GT(InkOf(*huge, clWhite).count, 0);
  EXPECT_LT(huge->Canvas().TextHeight("W"), 2 * fonts::kMaxFontPixels);
  EXPECT_EQ(fonts::DecodeUtf8("a\xC3("), (std::u32string{U'a', 0xFFFD, U'('}));
  EXPECT_EQ(fonts::DecodeUtf8("\xE2\x82\xAC"), std::u32string(1, 0x20AC));
  EXPECT_EQ(fonts::DecodeUtf8("\xC0\xAF"), (std::u32string{0xFFFD, 0xFFFD}));
  EXPECT_EQ(fonts::DecodeUtf8("\xED\xA0\x80").front(), char32_t(0xFFFD));  // surrogate
  // The euro sign is as wide as FreeType says.
  TBitmap t(8, 8, pf24bit);
  t.Canvas().Font().SetHeight(-12);
  EXPECT_GT(t.Canvas().TextWidth("\xE2\x82\xAC"), 3);
}

}  // namespace
}  // namespace pictavo
