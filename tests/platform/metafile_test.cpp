// TMetafile: loading, sizes, and playback of byte-built WMF and EMF files
// against hand-computed pixels.
#include "platform/metafile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/exceptions.h"
#include "tests/platform/metafile_builder.h"

namespace pictavo {
namespace {

using test::Dib2x2;
using test::EmfBuilder;
using test::Put16;
using test::Put32;
using test::WmfBuilder;

// EMF record types and stock objects used below.
enum : uint32_t {
  kPolygon = 3,
  kPolyline = 4,
  kPolyBezierTo = 5,
  kSetWindowExt = 9,
  kSetWindowOrg = 10,
  kSetViewportExt = 11,
  kSetViewportOrg = 12,
  kSetMapMode = 17,
  kSetBkMode = 18,
  kSetTextAlign = 22,
  kSetTextColor = 24,
  kMoveTo = 27,
  kExcludeClip = 29,
  kIntersectClip = 30,
  kSaveDC = 33,
  kRestoreDC = 34,
  kSetWorldTransform = 35,
  kSelectObject = 37,
  kCreateBrush = 39,
  kDeleteObject = 40,
  kEllipse = 42,
  kRectangle = 43,
  kLineTo = 54,
  kBeginPath = 59,
  kEndPath = 60,
  kCloseFigure = 61,
  kFillPath = 62,
  kBitBlt = 76,
  kStretchDIBits = 81,
  kCreateFont = 82,
  kExtTextOutW = 84,
  kPolygon16 = 86
};
constexpr int32_t kNullPen = int32_t(0x80000008);
constexpr TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

void Whiten(TBitmap& b) {
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(0, 0, b.GetWidth(), b.GetHeight()));
}

TMetafile Load(const std::vector<uint8_t>& bytes) {
  TMetafile m;
  m.SetPixelsPerInch(254, 254);
  m.LoadFromBytes(bytes.data(), bytes.size());
  return m;
}

// Plays an EMF 1:1 onto a white w x h bitmap.
void PlayEmf(const std::vector<uint8_t>& bytes, TBitmap& b) {
  TMetafile m = Load(bytes);
  m.Play(b.Canvas(), Rect(0, 0, b.GetWidth(), b.GetHeight()));
}

// Pixels of colour c exactly in [x0, x1) x [y0, y1), the rest white.
void ExpectBox(const TBitmap& b, int x0, int y0, int x1, int y1, TColor c) {
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) {
      bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
      ASSERT_EQ(b.GetPixel(x, y), in ? c : clWhite) << "pixel " << x << "," << y;
    }
}

// A red solid brush selected and the pen removed.
EmfBuilder RedFill() {
  EmfBuilder e;
  e.Rec(kCreateBrush, {1, 0, int32_t(kRed), 0}).Rec(kSelectObject, {1});
  e.Rec(kSelectObject, {kNullPen});
  return e;
}

// A brush-coloured blit over the whole rectangle (no source bitmap).
void PatFill(EmfBuilder& e, int w, int h) {
  std::vector<uint8_t> body(16, 0);
  for (int32_t v : {0, 0, w, h, int32_t(0x00F00021), 0, 0}) Put32(body, uint32_t(v));
  body.resize(body.size() + 24 + 4 + 4 + 16, 0);  // transform, colour, usage, no bitmap
  e.Raw(kBitBlt, body);
}

// ---------------------------------------------------------------------------

TEST(MetafileLoad, RefusesWhatIsNotAMetafile) {
  TMetafile m;
  std::vector<uint8_t> junk(200, 0x41);
  EXPECT_THROW(m.LoadFromBytes(junk.data(), junk.size()), EInvalidGraphic);
  EXPECT_TRUE(m.Empty());
  EXPECT_THROW(m.LoadFromBytes(nullptr, 0), EInvalidGraphic);
  // An EMF header claiming more bytes than there are.
  std::vector<uint8_t> emf = EmfBuilder().Finish(10, 10);
  emf[4] = 200;
  EXPECT_THROW(m.LoadFromBytes(emf.data(), 100), EInvalidGraphic);
  // A header cut short.
  emf = EmfBuilder().Finish(10, 10);
  EXPECT_THROW(m.LoadFromBytes(emf.data(), 60), EInvalidGraphic);
  // A WMF header of an unknown version.
  std::vector<uint8_t> wmf = WmfBuilder().Finish(false, 0, 0, 0);
  wmf[4] = 0x55;
  EXPECT_THROW(m.LoadFromBytes(wmf.data(), wmf.size()), EInvalidGraphic);
}

TEST(MetafileLoad, SizesInPixels) {
  // EMF frame of 2540 x 1270 hundredths of a millimetre (1 x 0.5 inch).
  std::vector<uint8_t> emf = EmfBuilder().Finish(254, 127);
  TMetafile m;
  m.LoadFromBytes(emf.data(), emf.size());
  EXPECT_TRUE(m.GetEnhanced());
  EXPECT_EQ(m.GetWidth(), 96);
  EXPECT_EQ(m.GetHeight(), 48);
  m.SetPixelsPerInch(200, 100);
  m.LoadFromBytes(emf.data(), emf.size());
  EXPECT_EQ(m.GetWidth(), 200);
  EXPECT_EQ(m.GetHeight(), 50);

  // Placeable WMF: 1440 x 720 units at 1440 per inch.
  std::vector<uint8_t> wmf = WmfBuilder().Finish(true, 1440, 720, 1440);
  TMetafile w;
  w.LoadFromBytes(wmf.data(), wmf.size());
  EXPECT_FALSE(w.GetEnhanced());
  EXPECT_TRUE(w.GetPlaceable());
  EXPECT_EQ(w.GetWidth(), 96);
  EXPECT_EQ(w.GetHeight(), 48);

  // Plain WMF: the window extent.
  std::vector<uint8_t> plain = WmfBuilder().Rec(0x020C, {30, 70}).Finish(false, 0, 0, 0);
  w.LoadFromBytes(plain.data(), plain.size());
  EXPECT_FALSE(w.GetPlaceable());
  EXPECT_EQ(w.GetWidth(), 70);
  EXPECT_EQ(w.GetHeight(), 30);
  w.SetWidth(5);
  EXPECT_EQ(w.GetWidth(), 5);
}

// ---------------------------------------------------------------------------
// EMF playback

TEST(MetafileEmf, PolygonFillAtOneToOne) {
  EmfBuilder e = RedFill();
  e.Poly(kPolygon, {2, 2, 6, 2, 6, 5, 2, 5});
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  // Pixels whose centres lie inside: x 2..5, y 2..4.
  ExpectBox(b, 2, 2, 6, 5, kRed);
}

TEST(MetafileEmf, SixteenBitPointsAndStretchedFrame) {
  EmfBuilder e = RedFill();
  e.Poly(kPolygon16, {1, 1, 3, 1, 3, 2, 1, 2}, true);
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  TMetafile m = Load(e.Finish(5, 5));
  // A 5 x 5 frame onto 10 x 10: every logical unit becomes 2 pixels.
  m.Play(b.Canvas(), Rect(0, 0, 10, 10));
  ExpectBox(b, 2, 2, 6, 4, kRed);
}

TEST(MetafileEmf, AnisotropicWindowAndViewport) {
  EmfBuilder e = RedFill();
  e.Rec(kSetMapMode, {8}).Rec(kSetWindowExt, {100, 100}).Rec(kSetViewportExt, {10, 10});
  e.Rec(kSetWindowOrg, {50, 50}).Rec(kSetViewportOrg, {2, 0});
  // (60,60)-(100,90): minus the origin, a tenth, plus 2 in x: (3,1)-(7,4).
  e.Poly(kPolygon, {60, 60, 100, 60, 100, 90, 60, 90});
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  ExpectBox(b, 3, 1, 7, 4, kRed);
}

TEST(MetafileEmf, MetricModeTurnsTheYAxisUp) {
  // 10 device pixels per mm: a tenth of a millimetre is one pixel, y up.
  EmfBuilder e = RedFill();
  e.Rec(kSetMapMode, {2});
  e.Poly(kPolygon, {2, -2, 6, -2, 6, -5, 2, -5});
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  ExpectBox(b, 2, 2, 6, 5, kRed);
}

TEST(MetafileEmf, WorldTransformScalesAndMoves) {
  EmfBuilder e = RedFill();
  float m[6] = {2, 0, 0, 2, 1, 0};
  std::vector<uint8_t> body;
  for (float f : m) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    Put32(body, bits);
  }
  e.Raw(kSetWorldTransform, body);
  e.Poly(kPolygon, {0, 0, 2, 0, 2, 2, 0, 2});
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  ExpectBox(b, 1, 0, 5, 4, kRed);
}

TEST(MetafileEmf, ClipRectanglesAndSaveRestore) {
  {
    EmfBuilder e = RedFill();
    e.Rec(kIntersectClip, {2, 3, 6, 7});
    PatFill(e, 10, 10);
    TBitmap b(10, 10, pf24bit);
    Whiten(b);
    PlayEmf(e.Finish(10, 10), b);
    ExpectBox(b, 2, 3, 6, 7, kRed);
  }
  {
    EmfBuilder e = RedFill();
    e.Rec(kExcludeClip, {0, 0, 5, 10});
    PatFill(e, 10, 10);
    TBitmap b(10, 10, pf24bit);
    Whiten(b);
    PlayEmf(e.Finish(10, 10), b);
    ExpectBox(b, 5, 0, 10, 10, kRed);
  }
  {
    // The clip set after SaveDC goes with RestoreDC.
    EmfBuilder e = RedFill();
    e.Rec(kSaveDC, {}).Rec(kIntersectClip, {0, 0, 1, 1}).Rec(kRestoreDC, {-1});
    PatFill(e, 10, 10);
    TBitmap b(10, 10, pf24bit);
    Whiten(b);
    PlayEmf(e.Finish(10, 10), b);
    ExpectBox(b, 0, 0, 10, 10, kRed);
  }
  {
    // A restore beyond the saved levels changes nothing.
    EmfBuilder e = RedFill();
    e.Rec(kIntersectClip, {1, 1, 3, 3}).Rec(kRestoreDC, {-5}).Rec(kRestoreDC, {7});
    PatFill(e, 10, 10);
    TBitmap b(10, 10, pf24bit);
    Whiten(b);
    PlayEmf(e.Finish(10, 10), b);
    ExpectBox(b, 1, 1, 3, 3, kRed);
  }
}

TEST(MetafileEmf, CanvasClipAndStateSurviveThePlay) {
  EmfBuilder e = RedFill();
  PatFill(e, 10, 10);
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  b.Canvas().IntersectClipRect(Rect(0, 0, 4, 10));
  b.Canvas().Brush().SetColor(kBlue);
  PlayEmf(e.Finish(10, 10), b);
  ExpectBox(b, 0, 0, 4, 10, kRed);
  EXPECT_EQ(b.Canvas().Brush().GetColor(), kBlue);
  EXPECT_EQ(b.Canvas().ClipRect(), Rect(0, 0, 4, 10));
}

std::vector<uint8_t> StretchDibRecord(int xd, int yd, int wd, int hd,
                                      const std::vector<uint8_t>& dib, uint32_t bmiSize = 40,
                                      int64_t bitsOffsetDelta = 0) {
  std::vector<uint8_t> body(16, 0);
  uint32_t off_bmi = 80, off_bits = uint32_t(80 + bmiSize + bitsOffsetDelta);
  for (int32_t v : {xd, yd, 0, 0, 2, 2}) Put32(body, uint32_t(v));
  Put32(body, off_bmi);
  Put32(body, bmiSize);
  Put32(body, off_bits);
  Put32(body, uint32_t(dib.size() - 40));
  Put32(body, 0);           // DIB_RGB_COLORS
  Put32(body, 0x00CC0020);  // SRCCOPY
  Put32(body, uint32_t(wd));
  Put32(body, uint32_t(hd));
  body.insert(body.end(), dib.begin(), dib.end());
  return body;
}

TEST(MetafileEmf, StretchDIBitsDoublesEachPixel) {
  EmfBuilder e;
  e.Raw(kStretchDIBits, StretchDibRecord(1, 1, 4, 4, Dib2x2()));
  TBitmap b(6, 6, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(6, 6), b);
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) {
      TColor want = y < 3 ? (x < 3 ? kRed : clWhite) : (x < 3 ? kBlue : kGreen);
      EXPECT_EQ(b.GetPixel(x, y), want) << x << "," << y;
    }
  EXPECT_EQ(b.GetPixel(0, 0), clWhite);
  EXPECT_EQ(b.GetPixel(5, 5), clWhite);
}

TEST(MetafileEmf, MalformedDibsDrawNothing) {
  // Bits said to lie past the record's end.
  std::vector<uint8_t> a = StretchDibRecord(0, 0, 4, 4, Dib2x2(), 40, 1000);
  // A colour table longer than the header block: an 8-bit DIB that claims
  // 256 colours inside a 40-byte block.
  std::vector<uint8_t> dib = Dib2x2();
  dib[14] = 8;
  std::vector<uint8_t> c = StretchDibRecord(0, 0, 4, 4, dib);
  // A header size beyond the block.
  std::vector<uint8_t> big = Dib2x2();
  big[0] = 200;
  std::vector<uint8_t> d = StretchDibRecord(0, 0, 4, 4, big);
  for (const auto& body : {a, c, d}) {
    EmfBuilder e;
    e.Raw(kStretchDIBits, body);
    TBitmap b(6, 6, pf24bit);
    Whiten(b);
    PlayEmf(e.Finish(6, 6), b);
    ExpectBox(b, 0, 0, 0, 0, clWhite);
  }
}

TEST(MetafileEmf, ObjectTableIsBounded) {
  EmfBuilder e;
  e.Rec(kCreateBrush, {1, 0, int32_t(kRed), 0}).Rec(kSelectObject, {1});
  e.Rec(kSelectObject, {5});  // never created: nothing changes
  // Beyond the header's handle count (16): not stored.
  e.Rec(kCreateBrush, {70000, 0, int32_t(kGreen), 0}).Rec(kSelectObject, {70000});
  // Deleting the selected brush keeps what is selected.
  e.Rec(kDeleteObject, {1}).Rec(kCreateBrush, {1, 0, int32_t(kBlue), 0});
  PatFill(e, 10, 10);
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  ExpectBox(b, 0, 0, 10, 10, kRed);
}

TEST(MetafileEmf, PlaybackStopsAtARecordThatDoesNotFit) {
  EmfBuilder e = RedFill();
  e.Rec(kIntersectClip, {0, 0, 3, 3});
  PatFill(e, 10, 10);
  std::vector<uint8_t> bytes = e.Finish(10, 10);
  // Append a record claiming 4 KiB after the end record's place: rewrite the
  // end record into a huge polygon record.
  size_t eof = bytes.size() - 20;
  bytes[eof] = kPolygon;
  bytes[eof + 4] = 0;
  bytes[eof + 5] = 0x10;
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(bytes, b);
  ExpectBox(b, 0, 0, 3, 3, kRed);
}

TEST(MetafileEmf, PathFillMatchesThePolygon) {
  EmfBuilder e = RedFill();
  e.Rec(kBeginPath, {}).Rec(kMoveTo, {2, 2}).Rec(kLineTo, {6, 2}).Rec(kLineTo, {6, 5});
  e.Rec(kLineTo, {2, 5}).Rec(kCloseFigure, {}).Rec(kEndPath, {});
  e.Rec(kFillPath, {0, 0, 10, 10});
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  ExpectBox(b, 2, 2, 6, 5, kRed);
}

TEST(MetafileEmf, BezierPathWithStraightControlPointsIsItsChord) {
  // Control points on the straight line: the flattened curve is the line.
  EmfBuilder e = RedFill();
  e.Rec(kBeginPath, {}).Rec(kMoveTo, {2, 2});
  e.Poly(kPolyBezierTo, {3, 2, 5, 2, 6, 2});
  e.Rec(kLineTo, {6, 5}).Rec(kLineTo, {2, 5}).Rec(kCloseFigure, {}).Rec(kEndPath, {});
  e.Rec(kFillPath, {0, 0, 10, 10});
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  ExpectBox(b, 2, 2, 6, 5, kRed);
}

TEST(MetafileEmf, LineExcludesItsEndPoint) {
  EmfBuilder e;
  e.Rec(kMoveTo, {1, 1}).Rec(kLineTo, {5, 1});
  TBitmap b(8, 4, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(8, 4), b);
  ExpectBox(b, 1, 1, 5, 2, clBlack);
}

TEST(MetafileEmf, PolylineWithDefaultPen) {
  EmfBuilder e;
  e.Poly(kPolyline, {1, 1, 1, 4, 5, 4});
  TBitmap b(8, 6, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(8, 6), b);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      bool on = (x == 1 && y >= 1 && y <= 4) || (y == 4 && x >= 1 && x < 5);
      EXPECT_EQ(b.GetPixel(x, y), on ? clBlack : clWhite) << x << "," << y;
    }
}

TEST(MetafileEmf, RectangleOutlineAndFill) {
  EmfBuilder e;
  e.Rec(kCreateBrush, {1, 0, int32_t(kRed), 0}).Rec(kSelectObject, {1});
  e.Rec(kRectangle, {1, 1, 6, 5});
  TBitmap b(8, 7, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(8, 7), b);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 8; ++x) {
      bool inside = x >= 1 && x <= 5 && y >= 1 && y <= 4;
      bool edge = inside && (x == 1 || x == 5 || y == 1 || y == 4);
      EXPECT_EQ(b.GetPixel(x, y), edge ? clBlack : inside ? kRed : clWhite) << x << "," << y;
    }
}

TEST(MetafileEmf, EllipseIsTheCanvasEllipseOfTheMappedBox) {
  EmfBuilder e = RedFill();
  e.Rec(kSetMapMode, {8}).Rec(kSetWindowExt, {10, 10}).Rec(kSetViewportExt, {20, 20});
  e.Rec(kEllipse, {1, 1, 8, 6});
  TBitmap b(20, 14, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(20, 14), b);
  TBitmap want(20, 14, pf24bit);
  Whiten(want);
  want.Canvas().Pen().SetStyle(psClear);
  want.Canvas().Brush().SetColor(kRed);
  want.Canvas().Ellipse(2, 2, 16, 12);
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(b.GetPixel(x, y), want.GetPixel(x, y)) << x << "," << y;
  EXPECT_EQ(b.GetPixel(9, 7), kRed);     // the centre is filled
  EXPECT_EQ(b.GetPixel(2, 2), clWhite);  // the box corner is not
}

std::vector<uint8_t> TextRecord(int x, int y, const std::u16string& text) {
  std::vector<uint8_t> body(16, 0);
  Put32(body, 1);  // graphics mode
  Put32(body, 0);
  Put32(body, 0);
  Put32(body, uint32_t(x));
  Put32(body, uint32_t(y));
  Put32(body, uint32_t(text.size()));
  Put32(body, 76);  // string offset: 8 + 68
  Put32(body, 0);   // options
  for (int i = 0; i < 4; ++i) Put32(body, 0);
  Put32(body, 0);  // no advances
  for (char16_t c : text) Put16(body, c);
  return body;
}

TEST(MetafileEmf, TextLandsInItsCell) {
  std::vector<uint8_t> font(4, 0);
  font[0] = 1;  // object index 1
  for (int32_t v : {-20, 0, 0, 0, 400}) Put32(font, uint32_t(v));
  font.resize(font.size() + 8, 0);
  for (char16_t c : std::u16string(u"Liberation Sans")) Put16(font, c);
  font.resize(4 + 92, 0);
  EmfBuilder e;
  e.Raw(kCreateFont, font).Rec(kSelectObject, {1});
  e.Rec(kSetBkMode, {1}).Rec(kSetTextColor, {int32_t(kBlue)}).Rec(kSetTextAlign, {0});
  e.Raw(kExtTextOutW, TextRecord(5, 4, u"HI"));
  TBitmap b(60, 40, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(60, 40), b);
  TBitmap probe(1, 1, pf24bit);
  probe.Canvas().Font().SetName("Liberation Sans");
  probe.Canvas().Font().SetHeight(-20);
  TSize cell = probe.Canvas().TextExtent("HI");
  int inked = 0, outside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      if (b.GetPixel(x, y) == clWhite) continue;
      bool in = x >= 5 && x < 5 + cell.cx && y >= 4 && y < 4 + cell.cy;
      (in ? inked : outside)++;
    }
  EXPECT_GT(inked, 40);
  EXPECT_EQ(outside, 0);
}

// RGNDATA: header (32 bytes) then the rectangles.
std::vector<uint8_t> RegionData(std::initializer_list<TRect> rects) {
  std::vector<uint8_t> d;
  for (uint32_t v : {32u, 1u, uint32_t(rects.size()), uint32_t(rects.size() * 16)}) Put32(d, v);
  for (int i = 0; i < 4; ++i) Put32(d, 0);
  for (const TRect& r : rects)
    for (int32_t v : {r.Left, r.Top, r.Right, r.Bottom}) Put32(d, uint32_t(v));
  return d;
}

TEST(MetafileEmf, RegionClipAndRegionFill) {
  EmfBuilder e = RedFill();
  std::vector<uint8_t> clip;
  std::vector<uint8_t> rgn = RegionData({TRect(1, 1, 3, 3), TRect(5, 5, 8, 8)});
  Put32(clip, uint32_t(rgn.size()));
  Put32(clip, 5);  // RGN_COPY
  clip.insert(clip.end(), rgn.begin(), rgn.end());
  e.Raw(75, clip);
  PatFill(e, 10, 10);
  e.Raw(75, {0, 0, 0, 0, 5, 0, 0, 0});  // no region: the clip is removed
  // FILLRGN with brush 2 (green): bounds, size, brush, region data.
  e.Rec(kCreateBrush, {2, 0, int32_t(kGreen), 0});
  std::vector<uint8_t> fill(16, 0);
  std::vector<uint8_t> area = RegionData({TRect(0, 8, 2, 10)});
  Put32(fill, uint32_t(area.size()));
  Put32(fill, 2);
  fill.insert(fill.end(), area.begin(), area.end());
  e.Raw(71, fill);
  TBitmap b(10, 10, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(10, 10), b);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      bool red = (x >= 1 && x < 3 && y >= 1 && y < 3) || (x >= 5 && x < 8 && y >= 5 && y < 8);
      bool green = x < 2 && y >= 8;
      ASSERT_EQ(b.GetPixel(x, y), green ? kGreen : red ? kRed : clWhite) << x << "," << y;
    }
}

TEST(MetafileEmf, HatchedBrushOnOpaqueBackground) {
  EmfBuilder e;
  e.Rec(kCreateBrush, {1, 2, int32_t(clBlack), 0}).Rec(kSelectObject, {1});  // horizontal
  e.Rec(kSetBkMode, {2}).Rec(25, {int32_t(kRed)});                           // opaque, red
  PatFill(e, 8, 8);
  TBitmap b(8, 8, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(8, 8), b);
  // Every row is one colour: the hatch lines black, the rest the background.
  int black_rows = 0;
  for (int y = 0; y < 8; ++y) {
    TColor c = b.GetPixel(0, y);
    ASSERT_TRUE(c == clBlack || c == kRed) << y;
    for (int x = 1; x < 8; ++x) ASSERT_EQ(b.GetPixel(x, y), c) << x << "," << y;
    black_rows += c == clBlack;
  }
  EXPECT_GE(black_rows, 1);
  EXPECT_LE(black_rows, 2);
}

TEST(MetafileEmf, XorPenAndScaledPenWidth) {
  {
    EmfBuilder e;
    e.Rec(20, {7});  // R2_XORPEN
    e.Rec(38, {1, 0, 0, 0, int32_t(clWhite)}).Rec(kSelectObject, {1});
    e.Rec(kMoveTo, {0, 1}).Rec(kLineTo, {6, 1}).Rec(kMoveTo, {0, 2}).Rec(kLineTo, {6, 2});
    e.Rec(kMoveTo, {0, 2}).Rec(kLineTo, {6, 2});  // the second pass restores row 2
    TBitmap b(6, 4, pf24bit);
    Whiten(b);
    PlayEmf(e.Finish(6, 4), b);
    ExpectBox(b, 0, 1, 6, 2, clBlack);
  }
  {
    // A pen 2 units wide under a 2x mapping is 4 pixels wide: a horizontal
    // line through device y = 6 covers rows 4..7.
    EmfBuilder e;
    e.Rec(kSetMapMode, {8}).Rec(kSetWindowExt, {10, 10}).Rec(kSetViewportExt, {20, 20});
    e.Rec(38, {1, 0, 2, 0, int32_t(clBlack)}).Rec(kSelectObject, {1});
    e.Rec(kMoveTo, {1, 3}).Rec(kLineTo, {8, 3});
    TBitmap b(20, 12, pf24bit);
    Whiten(b);
    PlayEmf(e.Finish(20, 12), b);
    for (int y = 0; y < 12; ++y)
      EXPECT_EQ(b.GetPixel(9, y), y >= 4 && y <= 7 ? clBlack : clWhite) << y;
  }
}

std::vector<uint8_t> BlitRecord(uint32_t type, int xd, int yd, int w, int h, int xs, int ys) {
  std::vector<uint8_t> dib = Dib2x2(), body(16, 0);
  if (type == 76) {  // BITBLT: dest, rop, source origin, transform, colour, usage
    for (int32_t v : {xd, yd, w, h, int32_t(0x00CC0020), xs, ys}) Put32(body, uint32_t(v));
    body.resize(body.size() + 28, 0);
    Put32(body, 0);
    for (uint32_t v : {100u, 40u, 140u, 16u}) Put32(body, v);
  } else {  // SETDIBITSTODEVICE: dest, source rectangle, offsets, usage, scans
    for (int32_t v : {xd, yd, xs, ys, w, h}) Put32(body, uint32_t(v));
    for (uint32_t v : {76u, 40u, 116u, 16u, 0u, 0u, 2u}) Put32(body, v);
  }
  body.insert(body.end(), dib.begin(), dib.end());
  return body;
}

TEST(MetafileEmf, BlitSourcesCountRowsFromTheTop) {
  // BitBlt of source (0, 1), counted from the top: the blue bottom-left pixel.
  EmfBuilder e;
  e.Raw(76, BlitRecord(76, 2, 2, 1, 1, 0, 1));
  // SetDIBitsToDevice of the whole DIB at (4, 0), 1:1.
  e.Raw(80, BlitRecord(80, 4, 0, 2, 2, 0, 0));
  TBitmap b(6, 4, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(6, 4), b);
  EXPECT_EQ(b.GetPixel(2, 2), kBlue);
  EXPECT_EQ(b.GetPixel(4, 0), kRed);
  EXPECT_EQ(b.GetPixel(4, 1), kBlue);
  EXPECT_EQ(b.GetPixel(5, 1), kGreen);
  EXPECT_EQ(b.GetPixel(3, 2), clWhite);
}

TEST(MetafileEmf, BitFieldAndCoreHeaders) {
  // 32-bit DIB of 1 x 1 with the standard masks: drawn as plain RGB.
  std::vector<uint8_t> dib;
  for (int32_t v : {40, 1, 1}) Put32(dib, uint32_t(v));
  Put16(dib, 1);
  Put16(dib, 32);
  Put32(dib, 3);  // BI_BITFIELDS
  for (int i = 0; i < 5; ++i) Put32(dib, 0);
  for (uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu}) Put32(dib, m);
  Put32(dib, 0x00123456);  // the pixel: R 0x12, G 0x34, B 0x56
  auto body = [&](const std::vector<uint8_t>& d, uint32_t infoSize, int x) {
    std::vector<uint8_t> r(16, 0);
    for (int32_t v : {x, 0, 0, 0, 1, 1}) Put32(r, uint32_t(v));
    Put32(r, 80);
    Put32(r, infoSize);
    Put32(r, 80 + infoSize);
    Put32(r, uint32_t(d.size() - infoSize));
    for (int32_t v : {0, int32_t(0x00CC0020), 1, 1}) Put32(r, uint32_t(v));
    r.insert(r.end(), d.begin(), d.end());
    return r;
  };
  std::vector<uint8_t> odd = dib;
  odd[40] = 0xF0;  // a mask that is not the standard one: not drawn
  // A core header (12 bytes), 1 bit, two RGB triples: white then red.
  std::vector<uint8_t> core;
  Put32(core, 12);
  Put16(core, 1);
  Put16(core, 1);
  Put16(core, 1);
  Put16(core, 1);
  for (uint8_t v : {255, 255, 255, 0, 0, 255}) core.push_back(v);
  Put32(core, 0x80);  // the pixel has index 1
  EmfBuilder e;
  e.Raw(kStretchDIBits, body(dib, 52, 0)).Raw(kStretchDIBits, body(odd, 52, 1));
  e.Raw(kStretchDIBits, body(core, 18, 2));
  TBitmap b(3, 1, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(3, 1), b);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(b.GetPixel(1, 0), clWhite);
  EXPECT_EQ(b.GetPixel(2, 0), kRed);
}

TEST(MetafileEmf, ClockwiseArcIsTheCanvasArcReversed) {
  EmfBuilder e;
  e.Rec(57, {2});  // AD_CLOCKWISE
  e.Rec(45, {1, 1, 15, 13, 15, 7, 8, 1});
  TBitmap b(16, 14, pf24bit);
  Whiten(b);
  PlayEmf(e.Finish(16, 14), b);
  TBitmap want(16, 14, pf24bit);
  Whiten(want);
  want.Canvas().Arc(1, 1, 15, 13, 8, 1, 15, 7);
  int differing = 0, inked = 0;
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 16; ++x) {
      differing += b.GetPixel(x, y) != want.GetPixel(x, y);
      inked += b.GetPixel(x, y) == clBlack;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(inked, 15);  // three quarters of the outline
}

// Bounding box of the pixels that are not white.
TRect InkBox(const TBitmap& b) {
  TRect r(b.GetWidth(), b.GetHeight(), -1, -1);
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x)
      if (b.GetPixel(x, y) != clWhite) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r;
}

std::vector<uint8_t> FontRecord(int height) {
  std::vector<uint8_t> font(4, 0);
  font[0] = 1;
  for (int32_t v : {height, 0, 0, 0, 400}) Put32(font, uint32_t(v));
  font.resize(font.size() + 8, 0);
  for (char16_t c : std::u16string(u"Liberation Sans")) Put16(font, c);
  font.resize(4 + 92, 0);
  return font;
}

TEST(MetafileEmf, TextAlignment) {
  auto play = [](int32_t align) {
    EmfBuilder e;
    e.Raw(kCreateFont, FontRecord(-20)).Rec(kSelectObject, {1});
    e.Rec(kSetBkMode, {1}).Rec(kSetTextAlign, {align});
    e.Raw(kExtTextOutW, TextRecord(40, 30, u"HH"));
    auto b = std::make_unique<TBitmap>(80, 50, pf24bit);
    Whiten(*b);
    PlayEmf(e.Finish(80, 50), *b);
    return InkBox(*b);
  };
  TRect top = play(0), base = play(24), right = play(2), centre = play(6);
  EXPECT_GE(top.Top, 30);  // below the reference point
  // On the baseline: capitals end at it (within a pixel).
  EXPECT_GE(base.Bottom, 29);
  EXPECT_LE(base.Bottom, 31);
  EXPECT_LT(right.Right, 41);  // left of the reference point
  EXPECT_GE(right.Right, 36);
  int mid2 = centre.Left + centre.Right;  // twice the middle
  EXPECT_NEAR(mid2, 80, 3);
}

// ---------------------------------------------------------------------------
// WMF playback

enum : uint16_t {
  kWSelectObject = 0x012D,
  kWDeleteObject = 0x01F0,
  kWCreateBrush = 0x02FC,
  kWCreatePen = 0x02FA,
  kWSetWindowOrg = 0x020B,
  kWSetWindowExt = 0x020C,
  kWPolygon = 0x0324,
  kWIntersectClip = 0x0416,
  kWSaveDC = 0x001E,
  kWRestoreDC = 0x0127,
  kWPatBlt = 0x061D,
  kWStretchDib = 0x0F43,
  kWLineTo = 0x0213,
  kWMoveTo = 0x0214
};

// A solid brush record: style, colour (low, high word), hatch.
WmfBuilder& Brush(WmfBuilder& w, TColor c) {
  return w.Rec(kWCreateBrush, {0, int32_t(c & 0xFFFF), int32_t(c >> 16), 0});
}

void PlayWmf(const std::vector<uint8_t>& bytes, TBitmap& b) {
  TMetafile m;
  m.SetPixelsPerInch(96, 96);
  m.LoadFromBytes(bytes.data(), bytes.size());
  Whiten(b);
  m.Play(b.Canvas(), Rect(0, 0, b.GetWidth(), b.GetHeight()));
}

TEST(MetafileWmf, PlaceableBoxMapsOntoTheRectangle) {
  WmfBuilder w;
  Brush(w, kRed).Rec(kWSelectObject, {0});
  w.Rec(kWCreatePen, {5, 0, 0, 0, 0}).Rec(kWSelectObject, {1});
  w.Rec(kWPolygon, {4, 4, 4, 12, 4, 12, 10, 4, 10});
  // Box 20 x 10 units at 96 per inch: 20 x 10 pixels; played onto 10 x 5.
  std::vector<uint8_t> bytes = w.Finish(true, 20, 10, 96);
  TMetafile m;
  m.LoadFromBytes(bytes.data(), bytes.size());
  EXPECT_EQ(m.GetWidth(), 20);
  EXPECT_EQ(m.GetHeight(), 10);
  TBitmap b(10, 5, pf24bit);
  PlayWmf(bytes, b);
  ExpectBox(b, 2, 2, 6, 5, kRed);
}

TEST(MetafileWmf, WindowRecordsSetTheMapping) {
  WmfBuilder w;
  w.Rec(kWSetWindowOrg, {0, 0}).Rec(kWSetWindowExt, {100, 200});  // y, x
  Brush(w, kRed).Rec(kWSelectObject, {0});
  w.Rec(kWCreatePen, {5, 0, 0, 0, 0}).Rec(kWSelectObject, {1});
  w.Rec(kWPolygon, {4, 20, 20, 60, 20, 60, 50, 20, 50});
  TBitmap b(20, 10, pf24bit);
  PlayWmf(w.Finish(false, 0, 0, 0), b);
  ExpectBox(b, 2, 2, 6, 5, kRed);
}

TEST(MetafileWmf, ObjectsTakeTheLowestFreeSlot) {
  WmfBuilder w;
  Brush(w, kRed);    // slot 0
  Brush(w, kGreen);  // slot 1
  w.Rec(kWDeleteObject, {0});
  Brush(w, kBlue);  // slot 0 again
  w.Rec(kWSelectObject, {0});
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 10, 10, 0, 0});  // PATCOPY over 10 x 10
  TBitmap b(10, 10, pf24bit);
  PlayWmf(w.Finish(true, 10, 10, 96), b);
  ExpectBox(b, 0, 0, 10, 10, kBlue);
}

TEST(MetafileWmf, ObjectTableHoldsOnlyTheHeadersCount) {
  WmfBuilder w;
  Brush(w, kRed);    // slot 0
  Brush(w, kGreen);  // no slot left: dropped
  w.Rec(kWSelectObject, {1});
  w.Rec(kWSelectObject, {0});
  w.Rec(kWSelectObject, {1});
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 10, 10, 0, 0});
  TBitmap b(10, 10, pf24bit);
  PlayWmf(w.Finish(true, 10, 10, 96, 1), b);
  ExpectBox(b, 0, 0, 10, 10, kRed);
}

TEST(MetafileWmf, ClipSaveAndRestore) {
  WmfBuilder w;
  Brush(w, kRed).Rec(kWSelectObject, {0});
  w.Rec(kWSaveDC, {}).Rec(kWIntersectClip, {8, 8, 2, 2});  // bottom, right, top, left
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 10, 10, 0, 0});
  w.Rec(kWRestoreDC, {-1});
  Brush(w, kGreen).Rec(kWSelectObject, {1});
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 1, 10, 9, 0});  // the last row, unclipped again
  TBitmap b(10, 10, pf24bit);
  PlayWmf(w.Finish(true, 10, 10, 96), b);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      TColor want = y == 9 ? kGreen : (x >= 2 && x < 8 && y >= 2 && y < 8) ? kRed : clWhite;
      ASSERT_EQ(b.GetPixel(x, y), want) << x << "," << y;
    }
}

TEST(MetafileWmf, StretchDibAndLines) {
  std::vector<uint8_t> params;
  Put32(params, 0x00CC0020);  // SRCCOPY
  for (int v : {0, 2, 2, 0, 0, 4, 4, 1, 1})
    Put16(params, uint32_t(v));  // usage, src h, w, y, x, dest h, w, y, x
  std::vector<uint8_t> dib = Dib2x2();
  params.insert(params.end(), dib.begin(), dib.end());
  WmfBuilder w;
  w.Raw(kWStretchDib, params);
  w.Rec(kWMoveTo, {7, 0}).Rec(kWLineTo, {7, 5});  // y, x
  TBitmap b(8, 8, pf24bit);
  PlayWmf(w.Finish(true, 8, 8, 96), b);
  EXPECT_EQ(b.GetPixel(1, 1), kRed);
  EXPECT_EQ(b.GetPixel(4, 2), clWhite);
  EXPECT_EQ(b.GetPixel(2, 4), kBlue);
  EXPECT_EQ(b.GetPixel(4, 4), kGreen);
  EXPECT_EQ(b.GetPixel(5, 5), clWhite);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(b.GetPixel(x, 7), x < 5 ? clBlack : clWhite) << x;
}

TEST(MetafileWmf, RecordSizesAreChecked) {
  WmfBuilder w;
  Brush(w, kRed).Rec(kWSelectObject, {0});
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 5, 5, 0, 0});
  std::vector<uint8_t> bytes = w.Finish(true, 10, 10, 96);
  // A polygon whose count runs past its record: ignored.
  WmfBuilder v;
  Brush(v, kRed).Rec(kWSelectObject, {0});
  v.Rec(kWPolygon, {200, 0, 0, 9, 0, 9, 9});
  TBitmap b(10, 10, pf24bit);
  PlayWmf(v.Finish(true, 10, 10, 96), b);
  ExpectBox(b, 0, 0, 0, 0, clWhite);
  // The end record rewritten to claim more words than remain: play stops.
  bytes[bytes.size() - 6] = 0xFF;
  bytes[bytes.size() - 2] = 0x1D;
  bytes[bytes.size() - 1] = 0x06;
  PlayWmf(bytes, b);
  ExpectBox(b, 0, 0, 5, 5, kRed);
}

TEST(MetafileWmf, RegionsFillAndClip) {
  // A region of one scan, rows 2..4, spans 1..3 and 6..7.
  std::vector<int32_t> region = {0, 6, 0, 0, 0, 1, 0, 1, 2, 8, 5,  // header, bounds
                                 4, 2, 5, 1, 4, 6, 8, 4};          // the scan
  WmfBuilder w;
  std::vector<uint8_t> bytes;
  for (int32_t v : region) Put16(bytes, uint32_t(v) & 0xFFFF);
  w.Raw(0x06FF, bytes);   // slot 0
  Brush(w, kGreen);       // slot 1
  w.Rec(0x0228, {0, 1});  // FILLREGION region 0, brush 1
  Brush(w, kRed).Rec(kWSelectObject, {2});
  w.Rec(0x012C, {0});                               // SELECTCLIPREGION: clip to it
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 10, 10, 0, 0});  // red where the region is
  w.Rec(0x012C, {7});                               // no such region: clip removed
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 1, 10, 9, 0});   // the last row, red
  TBitmap b(10, 10, pf24bit);
  PlayWmf(w.Finish(true, 10, 10, 96), b);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      bool in = y >= 2 && y < 5 && ((x >= 1 && x < 4) || (x >= 6 && x < 8));
      ASSERT_EQ(b.GetPixel(x, y), in || y == 9 ? kRed : clWhite) << x << "," << y;
    }
}

TEST(MetafileWmf, ExtTextOutPlacesCharactersAtTheirAdvances) {
  // "II" with advances of 30 and 0 units: two strokes 30 pixels apart.
  std::vector<uint8_t> p;
  for (int v : {10, 5, 2, 0}) Put16(p, uint32_t(v));  // y, x, length, options
  p.push_back('I');
  p.push_back('I');
  for (int v : {30, 0}) Put16(p, uint32_t(v));
  WmfBuilder w;
  w.Rec(0x0102, {1});  // transparent background
  w.Raw(0x0A32, p);
  TBitmap b(60, 30, pf24bit);
  PlayWmf(w.Finish(true, 60, 30, 96), b);
  TRect box = InkBox(b);
  ASSERT_GT(box.Right, box.Left);
  EXPECT_GE(box.Left, 5);
  EXPECT_GT(box.Right - box.Left, 25);  // the second stroke 30 pixels on
  EXPECT_LT(box.Right, 5 + 30 + 12);
  // Nothing inked in the gap between the two characters.
  for (int x = box.Left + 8; x < box.Left + 25; ++x)
    for (int y = 0; y < 30; ++y) ASSERT_EQ(b.GetPixel(x, y), clWhite) << x << "," << y;
}

// ---------------------------------------------------------------------------

TEST(MetafileRobustness, MutatedFilesPlayWithoutHarm) {
  EmfBuilder e = RedFill();
  e.Rec(kSetMapMode, {8}).Rec(kSetWindowExt, {10, 10}).Rec(kSetViewportExt, {20, 20});
  e.Rec(kEllipse, {1, 1, 8, 6}).Poly(kPolyline, {0, 0, 9, 9, 0, 9});
  e.Raw(kStretchDIBits, StretchDibRecord(1, 1, 4, 4, Dib2x2()));
  e.Rec(kSaveDC, {}).Rec(kIntersectClip, {1, 1, 5, 5}).Rec(kRestoreDC, {-1});
  std::vector<uint8_t> emf = e.Finish(16, 16);
  WmfBuilder w;
  Brush(w, kRed).Rec(kWSelectObject, {0}).Rec(kWPolygon, {3, 0, 0, 9, 0, 9, 9});
  w.Rec(kWPatBlt, {0x0021, 0x00F0, 5, 5, 0, 0});
  std::vector<uint8_t> wmf = w.Finish(true, 16, 16, 96);
  std::mt19937 rng(12345);
  for (const auto& original : {emf, wmf}) {
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> bytes = original;
      int flips = 1 + int(rng() % 8);
      for (int i = 0; i < flips; ++i) bytes[rng() % bytes.size()] = uint8_t(rng());
      if (rng() % 4 == 0) bytes.resize(rng() % bytes.size() + 1);
      TMetafile m;
      try {
        m.LoadFromBytes(bytes.data(), bytes.size());
      } catch (const EInvalidGraphic&) {
        continue;
      }
      TBitmap b(16, 16, pf24bit);
      Whiten(b);
      m.Play(b.Canvas(), Rect(0, 0, 16, 16));
      EXPECT_FALSE(b.Canvas().HasClip());  // the clip is put back every time
    }
  }
}

}  // namespace
}  // namespace pictavo
