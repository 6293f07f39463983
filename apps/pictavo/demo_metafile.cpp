// Demo section: metafile import.  Writes a small chart as an EMF and a WMF
// (records built here, byte by byte), imports them with ImportMetafile at
// their own size, at a given width with the aspect kept, and beyond the
// 2800-pixel limit, and saves each rendering as PNG.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "core/pvdefs.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"

namespace pictavo::cli {
namespace {

void Put16(std::vector<uint8_t>& d, uint32_t v) {
  d.push_back(uint8_t(v));
  d.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& d, uint32_t v) {
  Put16(d, v & 0xFFFF);
  Put16(d, v >> 16);
}

// EMF records of 32-bit parameters after a header whose frame is w x h
// pixels at 96 per inch (reference device of 96 pixels per inch).
class Emf {
 public:
  Emf& Rec(uint32_t type, std::vector<int32_t> params) {
    std::vector<uint8_t> body;
    for (int32_t p : params) Put32(body, uint32_t(p));
    return Raw(type, body);
  }
  Emf& Raw(uint32_t type, std::vector<uint8_t> body) {
    while (body.size() % 4) body.push_back(0);
    Put32(records_, type);
    Put32(records_, uint32_t(body.size() + 8));
    records_.insert(records_.end(), body.begin(), body.end());
    ++count_;
    return *this;
  }
  Emf& Poly(uint32_t type, std::vector<int32_t> xy) {
    std::vector<uint8_t> body(16, 0);
    Put32(body, uint32_t(xy.size() / 2));
    for (int32_t v : xy) Put32(body, uint32_t(v));
    return Raw(type, body);
  }
  Emf& Text(int x, int y, const std::u16string& text) {
    std::vector<uint8_t> body(16, 0);
    for (int32_t v : {1, 0, 0, x, y, int32_t(text.size()), 76, 0, 0, 0, 0, 0, 0})
      Put32(body, uint32_t(v));
    for (char16_t c : text) Put16(body, c);
    return Raw(84, body);
  }
  Emf& Font(uint32_t index, int height, int weight, const std::u16string& face) {
    std::vector<uint8_t> body;
    Put32(body, index);
    for (int32_t v : {height, 0, 0, 0, weight}) Put32(body, uint32_t(v));
    body.resize(body.size() + 8, 0);
    for (char16_t c : face) Put16(body, c);
    body.resize(4 + 92, 0);
    return Raw(82, body);
  }
  std::vector<uint8_t> Finish(int w, int h) const {
    std::vector<uint8_t> d;
    Put32(d, 1);
    Put32(d, 88);
    for (int32_t v : {0, 0, w - 1, h - 1, 0, 0, w * 2540 / 96, h * 2540 / 96})
      Put32(d, uint32_t(v));
    Put32(d, 0x464D4520);
    Put32(d, 0x10000);
    Put32(d, uint32_t(88 + records_.size() + 20));
    Put32(d, count_ + 2);
    Put16(d, 16);
    Put16(d, 0);
    for (int i = 0; i < 3; ++i) Put32(d, 0);
    for (int32_t v : {960, 960, 254, 254}) Put32(d, uint32_t(v));
    d.insert(d.end(), records_.begin(), records_.end());
    for (uint32_t v : {14u, 20u, 0u, 16u, 20u}) Put32(d, v);
    return d;
  }

 private:
  std::vector<uint8_t> records_;
  uint32_t count_ = 0;
};

enum : uint32_t {
  kPolygon = 3,
  kPolyline = 4,
  kSetMapMode = 17,
  kSetBkMode = 18,
  kSetTextAlign = 22,
  kSetTextColor = 24,
  kSetWindowExt = 9,
  kSetViewportExt = 11,
  kSaveDC = 33,
  kRestoreDC = 34,
  kSelectObject = 37,
  kCreatePen = 38,
  kCreateBrush = 39,
  kEllipse = 42,
  kRectangle = 43,
  kRoundRect = 44,
  kPie = 47,
  kIntersectClip = 30
};

// A bar chart with a pie, a rounded frame, a title and a clipped ellipse,
// in logical units of a 0..1000 x 0..600 window mapped onto 400 x 240.
std::vector<uint8_t> Chart() {
  Emf e;
  e.Rec(kSetMapMode, {8}).Rec(kSetWindowExt, {1000, 600}).Rec(kSetViewportExt, {400, 240});
  e.Rec(kCreateBrush, {1, 0, 0xF0F0F0, 0}).Rec(kSelectObject, {1});
  e.Rec(kCreatePen, {2, 0, 5, 0, 0x404040}).Rec(kSelectObject, {2});
  e.Rec(kRoundRect, {10, 10, 990, 590, 60, 60});
  const int heights[] = {300, 420, 180, 360, 250};
  const int32_t colors[] = {0x3050E0, 0x30A030, 0xE08020, 0xA040A0, 0x2080C0};
  for (int i = 0; i < 5; ++i) {
    e.Rec(kCreateBrush, {3, 0, colors[i], 0}).Rec(kSelectObject, {3});
    e.Rec(kRectangle, {60 + i * 100, 520 - heights[i], 140 + i * 100, 520});
  }
  e.Rec(kCreateBrush, {3, 2, 0x808080, 5}).Rec(kSelectObject, {3});  // hatched
  e.Rec(kPie, {620, 150, 940, 470, 940, 310, 780, 150});
  e.Rec(kCreateBrush, {3, 0, 0x40C0F0, 0}).Rec(kSelectObject, {3});
  e.Rec(kPie, {620, 150, 940, 470, 780, 150, 940, 310});
  e.Rec(kCreatePen, {2, 0, 3, 0, 0x0000C0}).Rec(kSelectObject, {2});
  e.Poly(kPolyline, {60, 400, 160, 300, 260, 420, 360, 260, 460, 330});
  e.Rec(kSaveDC, {}).Rec(kIntersectClip, {620, 480, 780, 580});
  e.Rec(kCreateBrush, {3, 0, 0x20A0FF, 0}).Rec(kSelectObject, {3});
  e.Rec(kEllipse, {600, 460, 900, 640}).Rec(kRestoreDC, {-1});
  e.Font(4, -50, 700, u"Liberation Sans").Rec(kSelectObject, {4});
  e.Rec(kSetBkMode, {1}).Rec(kSetTextColor, {0x202020}).Rec(kSetTextAlign, {24});
  e.Text(60, 80, u"Metafile import");
  e.Rec(kCreateBrush, {3, 0, 0x00C000, 0}).Rec(kSelectObject, {3});
  e.Poly(kPolygon, {560, 540, 600, 470, 640, 540});
  return e.Finish(400, 240);
}

// The same kind of picture as a placeable WMF (1440 units per inch).
std::vector<uint8_t> Badge() {
  std::vector<uint8_t> r;
  auto rec = [&](uint16_t f, std::vector<int32_t> words) {
    Put32(r, uint32_t(3 + words.size()));
    Put16(r, f);
    for (int32_t w : words) Put16(r, uint32_t(w) & 0xFFFF);
  };
  rec(0x020B, {0, 0});
  rec(0x020C, {1440, 2880});            // window 2880 x 1440
  rec(0x02FC, {0, 0xD070, 0x0030, 0});  // brush 0x30D070
  rec(0x012D, {0});
  rec(0x02FA, {0, 30, 0, 0x0000, 0x0060});  // pen width 30, colour 0x600000
  rec(0x012D, {1});
  rec(0x061C, {300, 300, 1380, 2820, 60, 60});  // round rectangle
  rec(0x02FC, {0, 0xFFFF, 0x00FF, 0});          // white brush
  rec(0x012D, {2});
  rec(0x0418, {1200, 1260, 240, 240});  // circle
  rec(0x0521, {7, 'P' | ('i' << 8), 'c' | ('t' << 8), 'a' | ('v' << 8), 'o', 560, 1500});
  std::vector<uint8_t> d;
  Put32(d, 0x9AC6CDD7);
  Put16(d, 0);
  for (int16_t v : {int16_t(0), int16_t(0), int16_t(2880), int16_t(1440)}) Put16(d, uint16_t(v));
  Put16(d, 1440);
  Put32(d, 0);
  uint16_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(d[i] | (d[i + 1] << 8));
  Put16(d, sum);
  Put16(d, 1);
  Put16(d, 9);
  Put16(d, 0x300);
  Put32(d, uint32_t(9 + r.size() / 2 + 3));
  Put16(d, 4);
  Put32(d, 0);
  Put16(d, 0);
  d.insert(d.end(), r.begin(), r.end());
  Put32(d, 3);
  Put16(d, 0);
  return d;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Imports name at width x height, saves the result as PNG and reports it.
std::string ImportAndSave(DemoContext& demo, const std::string& name, int width, int height,
                          const std::string& png) {
  TBitmap bitmap;
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  io.SetBackground(clWhite);
  io.ImportMetafile(demo.Path(name), width, height);
  if (io.Aborting) throw std::runtime_error("import of " + name + " failed");
  io.SaveToFile(demo.Path(png));
  return std::to_string(bitmap.GetWidth()) + " x " + std::to_string(bitmap.GetHeight()) + " -> " +
         png;
}

void RunMetafileDemo(DemoContext& demo) {
  WriteFile(demo.Path("chart.emf"), Chart());
  WriteFile(demo.Path("badge.wmf"), Badge());
  demo.Run("metafile", "EMF chart at its own size",
           [&] { return ImportAndSave(demo, "chart.emf", -1, -1, "metafile_chart.png"); });
  demo.Run("metafile", "EMF chart 800 wide, aspect kept",
           [&] { return ImportAndSave(demo, "chart.emf", 800, -1, "metafile_chart_800.png"); });
  demo.Run("metafile", "EMF chart asked 4000 x 1000 (2800 limit)",
           [&] { return ImportAndSave(demo, "chart.emf", 4000, 1000, "metafile_chart_wide.png"); });
  demo.Run("metafile", "placeable WMF badge",
           [&] { return ImportAndSave(demo, "badge.wmf", -1, -1, "metafile_badge.png"); });
}

}  // namespace

PICTAVO_DEMO(95, "metafile", RunMetafileDemo);

}  // namespace pictavo::cli
