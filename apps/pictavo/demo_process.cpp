// Demo section: the colour and geometry operations of the processing
// component on the sample photograph, each on the whole image, on a
// rectangle and on a two-part polygon selection, written as PNG files.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "apps/pictavo/samples.h"
#include "core/conversions.h"
#include "io/pictavoio.h"
#include "platform/exceptions.h"
#include "processing/colour_ops.h"
#include "processing/geometry.h"
#include "processing/pictavoproc.h"
#include "processing/proc_clipboard.h"
#include "processing/resample.h"

namespace pictavo::cli {
namespace {

constexpr int kW = 640, kH = 480;

void Check(bool ok, const char* what) {
  if (!ok) throw Exception(what);
}

std::string SizeOf(const TBitmap& b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%dx%d %s", b.GetWidth(), b.GetHeight(),
                b.GetPixelFormat() == pf1bit ? "1 bit" : "24 bits");
  return buf;
}

void SavePng(TBitmap& bitmap, const std::string& path) {
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  io.SaveToFile(path);
  if (io.Aborting) throw Exception("cannot write " + path);
}

// The selections every colour operation is shown with.
enum class Area { Whole, Rect, Polygon };
const char* AreaName(Area a) {
  return a == Area::Whole ? "whole" : a == Area::Rect ? "rect" : "poly";
}

const std::vector<TPoint>& DemoPolygon() {
  // A star over the house and a triangle in the sky, as two sub-polygons.
  static const std::vector<TPoint> poly = {{320, 150},
                                           {350, 240},
                                           {440, 240},
                                           {365, 290},
                                           {395, 380},
                                           {320, 325},
                                           {245, 380},
                                           {275, 290},
                                           {200, 240},
                                           {290, 240},
                                           {kPVPolygonBreak, kPVPolygonBreak},
                                           {40, 30},
                                           {180, 50},
                                           {70, 140}};
  return poly;
}

void ApplyArea(TPictavoProc& proc, Area area) {
  if (area == Area::Rect) proc.Select(80, 60, 400, 300);
  if (area == Area::Polygon) proc.SelectPolygon(DemoPolygon().data(), int(DemoPolygon().size()));
}

struct ColourOp {
  const char* name;
  std::function<void(TPictavoProc&)> run;
};

std::vector<ColourOp> ColourOps() {
  return {{"negative", [](TPictavoProc& p) { p.Negative(); }},
          {"grey", [](TPictavoProc& p) { p.ConvertToGray(); }},
          {"intensity_+60_-30_0", [](TPictavoProc& p) { p.IntensityRGBall(60, -30, 0); }},
          {"contrast_+40", [](TPictavoProc& p) { p.Contrast(40); }},
          {"contrast_-60", [](TPictavoProc& p) { p.Contrast(-60); }},
          {"hsv_+120_0_0", [](TPictavoProc& p) { p.HSVvar(120, 0, 0); }},
          {"hsl_0_-80_+10", [](TPictavoProc& p) { p.HSLvar(0, -80, 10); }},
          {"cast_sky_to_orange",
           [](TPictavoProc& p) {
             p.CastColorRange(CreateRGB(60, 90, 150), CreateRGB(200, 230, 255),
                              CreateRGB(255, 140, 0));
           }},
          {"threshold", [](TPictavoProc& p) {
             p.Threshold(CreateRGB(80, 80, 80), CreateRGB(170, 170, 170), CreateRGB(0, 0, 60),
                         CreateRGB(255, 255, 200));
           }}};
}

void ColourSection(DemoContext& demo, const TBitmap& photo) {
  for (const ColourOp& op : ColourOps())
    for (Area area : {Area::Whole, Area::Rect, Area::Polygon}) {
      std::string file = std::string("proc_") + op.name + "_" + AreaName(area) + ".png";
      demo.Run("process", std::string(op.name) + " (" + AreaName(area) + ")", [&] {
        TBitmap bm;
        PVCopyBitmap(photo, bm);
        TPictavoProc proc;
        proc.SetAttachedBitmap(&bm);
        ApplyArea(proc, area);
        op.run(proc);
        // Outside any selection the corner pixel keeps its value.
        if (area != Area::Whole)
          Check(bm.GetPixel(kW - 1, kH - 1) == photo.GetPixel(kW - 1, kH - 1), "outside changed");
        SavePng(bm, demo.Path(file));
        return file + "  checksum " + std::to_string(BitmapChecksum(bm));
      });
    }
}

void GeometrySection(DemoContext& demo, const TBitmap& photo) {
  auto geometry = [&](const std::string& name, const std::function<void(TPictavoProc&)>& op) {
    std::string file = "proc_" + name + ".png";
    demo.Run("process", name, [&] {
      TBitmap bm;
      PVCopyBitmap(photo, bm);
      TPictavoProc proc;
      proc.SetAttachedBitmap(&bm);
      proc.SetBackground(RGB2TColor(40, 40, 48));
      op(proc);
      SavePng(bm, demo.Path(file));
      return file + "  " + SizeOf(bm);
    });
  };
  geometry("rotate_30", [](TPictavoProc& p) { p.Rotate(30, false); });
  geometry("rotate_30_aa", [](TPictavoProc& p) { p.Rotate(30, true); });
  geometry("rotate_-30_aa", [](TPictavoProc& p) { p.Rotate(-30, true); });
  geometry("rotate_90", [](TPictavoProc& p) { p.Rotate(90, false); });
  geometry("rotate_135_aa", [](TPictavoProc& p) { p.Rotate(135, true); });
  geometry("flip_h", [](TPictavoProc& p) { p.Flip(fdHorizontal); });
  geometry("flip_v", [](TPictavoProc& p) { p.Flip(fdVertical); });
  geometry("crop_rect", [](TPictavoProc& p) {
    p.Select(80, 60, 400, 300);
    p.CropSel();
  });
  geometry("crop_poly", [](TPictavoProc& p) {
    p.SelectPolygon(DemoPolygon().data(), int(DemoPolygon().size()));
    p.CropSel();
  });
  geometry("resize_canvas", [](TPictavoProc& p) { p.ImageResize(720, 400); });
  const char* names[] = {"none", "triangle", "hermite", "bell", "bspline", "lanczos3", "mitchell"};
  for (int f = rfNone; f <= rfMitchell; ++f) {
    geometry(std::string("resample_50_") + names[f],
             [f](TPictavoProc& p) { p.Resample(kW / 2, -1, TResampleFilter(f)); });
    geometry(std::string("resample_crop_300_") + names[f], [f](TPictavoProc& p) {
      p.Select(260, 200, 340, 260);
      p.CropSel();
      p.Resample(240, -1, TResampleFilter(f));
    });
  }
}

void BilevelSection(DemoContext& demo, const TBitmap& photo) {
  auto page = MakeSamplePage(620, 880);
  auto bilevel = [&](const std::string& name, const TBitmap& source,
                     const std::function<void(TPictavoProc&, TBitmap&)>& op) {
    std::string file = "proc_" + name + ".png";
    demo.Run("process", name, [&] {
      TBitmap bm;
      PVCopyBitmap(source, bm);
      TPictavoProc proc;
      proc.SetAttachedBitmap(&bm);
      op(proc, bm);
      SavePng(bm, demo.Path(file));
      return file + "  " + SizeOf(bm);
    });
  };
  bilevel("page_rotate_12", *page, [](TPictavoProc& p, TBitmap&) {
    p.SetBackground(clWhite);
    p.Rotate(12, false);
  });
  bilevel("page_flip_h", *page, [](TPictavoProc& p, TBitmap&) { p.Flip(fdHorizontal); });
  bilevel("page_negative_rect", *page, [](TPictavoProc& p, TBitmap&) {
    p.Select(50, 50, 301, 203);
    p.Negative();
  });
  bilevel("page_to24_reduced", *page, [](TPictavoProc& p, TBitmap& bm) {
    TBitmap small(155, 220, pf24bit);
    _SubResample1bitFiltered(bm, 0, 0, bm.GetWidth() - 1, bm.GetHeight() - 1, small);
    PVCopyBitmap(small, bm);
    (void)p;
  });
  bilevel("bw_ordered", photo, [](TPictavoProc& p, TBitmap&) { p.ConvertToBWOrdered(); });
  bilevel("bw_threshold_mean", photo,
          [](TPictavoProc& p, TBitmap&) { p.ConvertToBWThreshold(-1); });
  bilevel("colors_16", photo, [](TPictavoProc& p, TBitmap&) { p.ConvertTo(16); });
  bilevel("channel_red", photo,
          [](TPictavoProc& p, TBitmap& bm) { PVCopyBitmap(*p.GetRGBChannel(2), bm); });
  bilevel("channel_hue", photo,
          [](TPictavoProc& p, TBitmap& bm) { PVCopyBitmap(*p.GetHSVChannel(0), bm); });
  demo.Run("process", "count colours (whole, rect)", [&] {
    TBitmap bm;
    PVCopyBitmap(photo, bm);
    TPictavoProc proc;
    proc.SetAttachedBitmap(&bm);
    int whole = proc.CalcImageNumColors();
    proc.Select(80, 60, 400, 300);
    int rect = proc.CalcImageNumColors();
    Check(rect <= whole && rect > 0, "counts disagree");
    return std::to_string(whole) + " / " + std::to_string(rect) + " colours";
  });
  demo.Run("process", "clipboard: cut polygon, paste stretched", [&] {
    TBitmap bm;
    PVCopyBitmap(photo, bm);
    TPictavoProc proc;
    proc.SetAttachedBitmap(&bm);
    proc.SetBackground(RGB2TColor(255, 255, 255));
    proc.SelectPolygon(DemoPolygon().data(), int(DemoPolygon().size()));
    proc.SelCutToClip();
    proc.Select(420, 20, 620, 170);
    proc.SelPasteFromClipStretch();
    SavePng(bm, demo.Path("proc_clipboard.png"));
    proc.Undo();
    proc.Undo();
    return std::string("proc_clipboard.png");
  });
}

void RunProcessDemo(DemoContext& demo) {
  auto photo = MakeSamplePhoto(kW, kH);
  SavePng(*photo, demo.Path("proc_original.png"));
  ColourSection(demo, *photo);
  GeometrySection(demo, *photo);
  BilevelSection(demo, *photo);
}

PICTAVO_DEMO(100, "processing: colour and geometry", RunProcessDemo);

}  // namespace
}  // namespace pictavo::cli
