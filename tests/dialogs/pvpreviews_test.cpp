// The processing preview dialog driven through dialog hosts that act like a
// user: pages, parameters, the lock, Preview, "<<", OK and Cancel through
// DoPreviews, clicks in the result view, the rulers, the user filter and the
// FFT page.  Expected pixels come from the workers called on a copy of the
// visible area, or from the formulas written out here.
#include "dialogs/pvpreviews.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/conversions.h"
#include "dialog_test_util.h"
#include "processing/colour_ops.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "processing/geometry.h"
#include "processing/histogram.h"
#include "tests/processing/proc_test_support.h"

namespace pictavo {
namespace {

using namespace proctest;

constexpr int kW = 300, kH = 280;
constexpr int kScrollX = 20, kScrollY = 10;

int Clamp255(int v) {
  return v < 0 ? 0 : v > 255 ? 255 : v;
}

// The part of `bm` at (x, y) of the given size.
std::unique_ptr<TBitmap> Crop(const TBitmap& bm, int x, int y, int w, int h) {
  auto out = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) Put(*out, i, j, Get(bm, x + i, y + j));
  return out;
}

std::unique_ptr<TBitmap> AddRGB(const TBitmap& bm, int dr, int dg, int db) {
  auto out = PVCloneBitmap(bm);
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x) {
      TRGB c = Get(bm, x, y);
      Put(*out, x, y, C(Clamp255(c.r + dr), Clamp255(c.g + dg), Clamp255(c.b + db)));
    }
  return out;
}

// Channel means of a whole image: trunc(sum / ((w - 1) * (h - 1))).
TRGB Means(const TBitmap& bm) {
  long long sum[3] = {};
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x) {
      TRGB c = Get(bm, x, y);
      sum[0] += c.r, sum[1] += c.g, sum[2] += c.b;
    }
  const long long n = (bm.GetWidth() - 1LL) * (bm.GetHeight() - 1);
  return C(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n));
}

class Previews : public ::testing::Test {
 protected:
  void SetUp() override {
    src = Random24(kW, kH, 11);
    PVCopyBitmap(*src, bm);
    proc.SetAttachedBitmap(&bm);
    proc.SetAutoUndo(false);
  }

  // Runs DoPreviews with a host that calls `user` on the dialog; the host
  // accepts the dialog when `user` returns true.
  bool Run(TPreviewEffectsSet effects, const std::function<bool(TfPreviews&)>& user) {
    TPVDialogHostScope host([&](TPVDialogModel& model) {
      EXPECT_EQ(model.DialogKind(), dkProcessingPreview);
      auto* dialog = dynamic_cast<TfPreviews*>(&model);
      if (!dialog) return false;
      ++shown;
      return user(*dialog);
    });
    return proc.DoPreviews(effects);
  }

  // Zoom 100 % scrolled to (kScrollX, kScrollY): the result shows the
  // source's pixels from there, one to one.
  static void ShowActualSize(TfPreviews& d) {
    d.SourceView().SetZoom(100);
    d.SourceView().SetViewXY(kScrollX, kScrollY);
  }
  std::unique_ptr<TBitmap> Visible(const TfPreviews& d) const {
    auto& v = const_cast<TfPreviews&>(d).SourceView();
    return Crop(*src, v.GetViewX(), v.GetViewY(), v.ExtentX(), v.ExtentY());
  }

  std::unique_ptr<TBitmap> src;
  TBitmap bm;
  TPictavoProc proc;
  int shown = 0;
};

// --- Pages, activation and the host -------------------------------------------------

TEST_F(Previews, OnlyTheChosenPagesAreVisibleAndTheFirstIsActive) {
  Run({peContrast}, [](TfPreviews& d) {
    EXPECT_EQ(d.VisiblePages(), std::vector<TPVPreviewPage>{pvpContrast});
    EXPECT_EQ(d.ActivePage(), pvpContrast);
    EXPECT_FALSE(d.SelectPage(pvpRGB));
    EXPECT_EQ(d.ActivePage(), pvpContrast);
    return false;
  });
  Run({peWave, peRGB}, [](TfPreviews& d) {
    EXPECT_EQ(d.VisiblePages(), (std::vector<TPVPreviewPage>{pvpRGB, pvpWave}));
    EXPECT_EQ(d.ActivePage(), pvpRGB);  // tab order, not set order
    return false;
  });
  Run({peAll}, [](TfPreviews& d) {
    EXPECT_EQ(d.VisiblePages().size(), size_t(kPVPreviewPageCount));
    return false;
  });
  EXPECT_EQ(shown, 3);
}

TEST_F(Previews, WithoutAHostDoPreviewsAnswersFalseAndChangesNothing) {
  EXPECT_FALSE(PVHasDialogHost());
  EXPECT_FALSE(proc.DoPreviews({peAll}));
  EXPECT_TRUE(SamePixels(bm, *src));
}

TEST_F(Previews, TheLockFlagComesFromTheHostAndDecidesThePreviewButton) {
  Run({peRGB}, [](TfPreviews& d) {
    EXPECT_FALSE(d.GetLockPreview());
    EXPECT_TRUE(d.PreviewEnabled());
    return false;
  });
  proc.SetPreviewsParams({prppDefaultLockPreview});
  Run({peRGB}, [](TfPreviews& d) {
    EXPECT_TRUE(d.GetLockPreview());
    EXPECT_FALSE(d.PreviewEnabled());
    return false;
  });
}

// --- Result view -----------------------------------------------------------------------

TEST_F(Previews, ResultIsTheVisibleAreaWithTheEffectAppliedLiveOrOnDemand) {
  Run({peRGB}, [&](TfPreviews& d) {
    ShowActualSize(d);
    auto visible = Visible(d);
    EXPECT_GT(visible->GetWidth(), 200);  // the view less its margins
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *visible));
    // Lock up: nothing happens until Preview.
    EXPECT_TRUE(d.SetParam(pvprRed, 40));
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *visible));
    d.Preview();
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *AddRGB(*visible, 40, 0, 0)));
    // Lock down: every change is shown at once, from the unprocessed area.
    d.SetLockPreview(true);
    d.SetParamText(pvprBlue, " -70 ");
    EXPECT_EQ(d.GetParam(pvprBlue), -70);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *AddRGB(*visible, 40, 0, -70)));
    // An unchanged value is not stored again; a clamped one is.
    EXPECT_FALSE(d.SetParam(pvprBlue, -70));
    d.SetParam(pvprGreen, 999);
    EXPECT_EQ(d.GetParam(pvprGreen), 255);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *AddRGB(*visible, 40, 255, -70)));
    return false;
  });
}

TEST_F(Previews, EveryPageShowsItsOperationOnTheVisibleArea) {
  struct Case {
    TPVPreviewPage page;
    std::function<void(TfPreviews&)> change;
    std::function<void(TBitmap&)> expect;  // the worker on the visible area
  };
  const int V = TfPreviews::kViewSize;
  const std::vector<Case> cases = {
      {pvpHSL,
       [](TfPreviews& d) { d.SetParam(pvprHSLHue, 50), d.SetParam(pvprHSLLuminosity, -20); },
       [&](TBitmap& b) { _HSLvar(b, 50, 0, -20, 0, 0, V, V, nullptr, nullptr); }},
      {pvpHSV, [](TfPreviews& d) { d.SetParamText(pvprHSVSaturation, "30"); },
       [&](TBitmap& b) { _HSVvar(b, 0, 30, 0, 0, 0, V, V, nullptr, nullptr); }},
      {pvpUserFilter, [](TfPreviews& d) { d.SelectPreset(fpEmboss); },
       [&](TBitmap& b) {
         TProgressRec r;
         _ApplyFilter(b, PVFiltPres[fpEmboss], 0, 0, V, V, r);
       }},
      {pvpMorph, [](TfPreviews& d) { d.SetParam(pvprMorphOp, 2), d.SetParam(pvprMorphWindow, 2); },
       [&](TBitmap& b) { _MorphFilter(b, 2, 2, 0, 0, V, V, nullptr, nullptr); }},
      {pvpEqualize, [](TfPreviews& d) { d.SetParam(pvprEqualizeAuto, 1); },
       [&](TBitmap& b) { _HistAutoEqualize(b, 0, 0, V, V, nullptr, nullptr); }},
      {pvpRotate, [](TfPreviews& d) { d.SetParam(pvprFlipVertical, 1); },
       [&](TBitmap& b) { _Flip(b, fdVertical); }},
  };
  for (const Case& c : cases) {
    Run({peAll}, [&](TfPreviews& d) {
      d.SetLockPreview(true);
      EXPECT_TRUE(d.SelectPage(c.page));
      ShowActualSize(d);
      auto expected = Visible(d);
      c.expect(*expected);
      c.change(d);
      EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *expected)) << "page " << int(c.page);
      return false;
    });
  }
}

TEST_F(Previews, ContrastTurnsAroundTheWholeSourcesMeansThenAddsBrightness) {
  Run({peContrast}, [&](TfPreviews& d) {
    const TRGB means = d.ContrastMeans();
    EXPECT_EQ(means, Means(*src));
    d.SetLockPreview(true);
    ShowActualSize(d);
    d.SetParam(pvprContrast, 30);  // factor 1 + 30 / 10 = 4
    d.SetParam(pvprBrightness, -5);
    auto expected = Visible(d);
    for (int y = 0; y < expected->GetHeight(); ++y)
      for (int x = 0; x < expected->GetWidth(); ++x) {
        TRGB c = Get(*expected, x, y);
        auto f = [](int v, int m) { return Clamp255(Clamp255(m + (v - m) * 4) - 5); };
        Put(*expected, x, y, C(f(c.r, means.r), f(c.g, means.g), f(c.b, means.b)));
      }
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *expected));
    return false;
  });
}

// --- OK, Cancel and "<<" through DoPreviews --------------------------------------------------

TEST_F(Previews, OkAppliesToTheWholeImageWithProgressFromTheHost) {
  std::vector<int> reports;
  TObject* sender = nullptr;
  proc.OnProgress = [&](TObject* s, int per) {
    sender = s;
    reports.push_back(per);
  };
  EXPECT_TRUE(Run({peRGB}, [](TfPreviews& d) {
    d.SetParam(pvprRed, -30), d.SetParam(pvprGreen, 12);
    return true;
  }));
  EXPECT_TRUE(SamePixels(bm, *AddRGB(*src, -30, 12, 0)));
  // One report per row of the full image, from the processing component.
  EXPECT_EQ(reports.size(), size_t(kH));
  EXPECT_EQ(sender, &proc);
}

TEST_F(Previews, PreviewsReportNoProgress) {
  int reports = 0;
  proc.OnProgress = [&](TObject*, int) { ++reports; };
  Run({peRGB}, [](TfPreviews& d) {
    d.SetLockPreview(true);
    d.SetParam(pvprRed, 9);
    d.Preview();
    return false;
  });
  EXPECT_EQ(reports, 0);
}

TEST_F(Previews, OkGoesBackIntoTheSelectedRectangleOnly) {
  proc.Select(30, 40, 130, 90);
  EXPECT_TRUE(Run({peRGB}, [](TfPreviews& d) {
    EXPECT_EQ(d.SourceBitmap().GetWidth(), 100);
    EXPECT_EQ(d.SourceBitmap().GetHeight(), 50);
    d.SetParam(pvprBlue, 100);
    return true;
  }));
  auto moved = AddRGB(*src, 0, 0, 100);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool inside = x >= 30 && x < 130 && y >= 40 && y < 90;
      ASSERT_EQ(Get(bm, x, y), Get(inside ? *moved : *src, x, y)) << x << "," << y;
    }
}

TEST_F(Previews, OkGoesBackThroughAPolygon) {
  const TPoint tri[] = {{10, 10}, {110, 10}, {10, 110}};
  proc.SelectPolygon(tri, 3);
  EXPECT_TRUE(Run({peRGB}, [](TfPreviews& d) {
    d.SetParam(pvprGreen, 60);
    return true;
  }));
  auto moved = AddRGB(*src, 0, 60, 0);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TRGB got = Get(bm, x, y);
      if (x > 12 && y > 12 && x + y < 115) {
        ASSERT_EQ(got, Get(*moved, x, y)) << x << "," << y;  // well inside
      } else if (x < 10 || y < 10 || x + y > 125) {
        ASSERT_EQ(got, Get(*src, x, y)) << x << "," << y;  // well outside
      } else {
        ASSERT_TRUE(got == Get(*src, x, y) || got == Get(*moved, x, y)) << x << "," << y;
      }
    }
}

TEST_F(Previews, OkUsesTheSourcePositionsAndARotationResizesTheImage) {
  EXPECT_TRUE(Run({peLens}, [](TfPreviews& d) {
    d.SourceView().SetZoom(250);  // the preview's zoom plays no part in OK
    d.SetParam(pvprLensRefraction, 12);
    return true;
  }));
  auto expected = PVCloneBitmap(*src);
  TProgressRec r;
  _lens(*expected, 150, 140, 150, 150, 2.2, r);
  EXPECT_TRUE(SamePixels(bm, *expected));

  PVCopyBitmap(*src, bm);
  EXPECT_TRUE(Run({peRotate}, [](TfPreviews& d) {
    d.SetParam(pvprFlipHorizontal, 1);
    d.SetParamText(pvprRotateAngle, "90");
    return true;
  }));
  // A quarter turn counter-clockwise takes (x, y) to (y, W - 1 - x); after
  // the mirror x -> W - 1 - x the two give the transposed image.
  ASSERT_EQ(bm.GetWidth(), kH);
  ASSERT_EQ(bm.GetHeight(), kW);
  for (int y = 0; y < kW; ++y)
    for (int x = 0; x < kH; ++x) ASSERT_EQ(Get(bm, x, y), Get(*src, y, x)) << x << "," << y;
}

TEST_F(Previews, OnPreviewReceivesTheDialogsForm) {
  TForm* received = nullptr;
  proc.OnPreview = [&](TObject* sender, TForm* form) {
    EXPECT_EQ(sender, &proc);
    received = form;
  };
  proc.GetPreviewFont().SetName("Preview Face");
  Run({peRGB}, [&](TfPreviews& d) {
    EXPECT_EQ(received, d.Form());
    EXPECT_EQ(d.GetFont().GetName(), "Preview Face");
    proc.GetPreviewFont().SetName("Other");  // the dialog keeps its copy
    EXPECT_EQ(d.GetFont().GetName(), "Preview Face");
    EXPECT_EQ(d.SourceView().GetParent(), static_cast<TWinControl*>(d.Form()));
    return false;
  });
  EXPECT_NE(received, nullptr);
}

TEST_F(Previews, CancelChangesNothing) {
  EXPECT_FALSE(Run({peRGB}, [](TfPreviews& d) {
    d.SetLockPreview(true);
    d.SetParam(pvprRed, 100);
    return false;
  }));
  EXPECT_TRUE(SamePixels(bm, *src));
}

TEST_F(Previews, CopyToSourceThenOkAppliesTwiceAndResetsThePages) {
  EXPECT_TRUE(Run({peAll}, [&](TfPreviews& d) {
    d.SelectPage(pvpRGB);
    d.SetParam(pvprRed, 10);
    d.SelectPage(pvpWave);
    d.SetParam(pvprWaveAmplitude, 3);
    d.SelectPage(pvpRGB);
    d.CopyResultToSource();
    // The source holds the first application; every page starts again.
    EXPECT_TRUE(SamePixels(d.SourceBitmap(), *AddRGB(*src, 10, 0, 0)));
    EXPECT_EQ(d.GetParam(pvprRed), 0);
    EXPECT_FALSE(d.PageSetUp(pvpWave));
    d.SelectPage(pvpWave);
    EXPECT_EQ(d.GetParam(pvprWaveAmplitude), 10);
    d.SelectPage(pvpRGB);
    d.SetParam(pvprRed, 10);
    return true;
  }));
  EXPECT_TRUE(SamePixels(bm, *AddRGB(*src, 20, 0, 0)));
}

// --- Defaults, edits and conversions ------------------------------------------------------

TEST_F(Previews, PageDefaultsComeFromTheTableAndTheSourceSize) {
  Run({peAll}, [](TfPreviews& d) {
    d.SelectPage(pvpBumpMap);
    EXPECT_EQ(d.GetParam(pvprBumpLeft), kW / 2);
    EXPECT_EQ(d.GetParam(pvprBumpTop), kH / 2);
    EXPECT_EQ(d.GetParam(pvprBumpWidth), kW / 2);  // max(300, 280) div 2
    EXPECT_EQ(d.GetParam(pvprBumpHeight), kW / 2);
    EXPECT_EQ(d.GetLightColor(), clWhite);
    EXPECT_EQ(d.GetParam(pvprBumpQuantity), 0);
    d.SelectPage(pvpLens);
    EXPECT_EQ(d.GetParam(pvprLensLeft), 150);
    EXPECT_EQ(d.GetParam(pvprLensTop), 140);
    EXPECT_EQ(d.GetParam(pvprLensRefraction), 7);  // refraction 1.7
    d.SelectPage(pvpUserFilter);
    TGraphFilter identity;
    identity.Values[1][1] = 1;
    EXPECT_EQ(d.CurrentFilter(), identity);
    EXPECT_EQ(d.GetPreset(), 0);
    d.SelectPage(pvpEqualize);
    EXPECT_TRUE(d.GetChannelChecked(pvhcGray));
    EXPECT_FALSE(d.GetChannelChecked(pvhcRed));
    EXPECT_EQ(d.GetGrip(pvrlThreshold, 0), 0);
    EXPECT_EQ(d.GetGrip(pvrlEqualize, 1), 255);
    d.SelectPage(pvpWave);
    EXPECT_EQ(d.GetParam(pvprWaveAmplitude), 10);
    EXPECT_EQ(d.GetParam(pvprWaveLength), 10);
    d.SelectPage(pvpMorph);
    EXPECT_EQ(d.GetParam(pvprMorphWindow), 1);
    d.SelectPage(pvpFFT);
    EXPECT_EQ(d.GetParam(pvprFFTGrayScale), 1);
    return false;
  });
}

TEST_F(Previews, EditsThatAreNotNumbersCountAsTheirDefault) {
  EXPECT_EQ(PVParsePreviewEdit("12", 0), 12);
  EXPECT_EQ(PVParsePreviewEdit("-7", 0), -7);
  EXPECT_EQ(PVParsePreviewEdit("+7", 0), 7);
  EXPECT_EQ(PVParsePreviewEdit("1.5", 0), 0);
  EXPECT_EQ(PVParsePreviewEdit("", 1), 1);
  EXPECT_EQ(PVParsePreviewEdit("-", 1), 1);
  EXPECT_EQ(PVParsePreviewEdit("99999999999", 0), 0);
  Run({peAll}, [](TfPreviews& d) {
    d.SelectPage(pvpHSL);
    d.SetParam(pvprHSLHue, 90);
    d.SetParamText(pvprHSLHue, "abc");
    EXPECT_EQ(d.GetParam(pvprHSLHue), 0);
    d.SelectPage(pvpMorph);
    d.SetParam(pvprMorphWindow, 9);
    d.SetParamText(pvprMorphWindow, "x");
    EXPECT_EQ(d.GetParam(pvprMorphWindow), 1);
    d.SelectPage(pvpUserFilter);
    d.SetParamText(pvprFilterDivisor, "?");
    EXPECT_EQ(d.GetParam(pvprFilterDivisor), 1);
    d.SetParamText(pvprFilter00, "2x");
    EXPECT_EQ(d.GetParam(pvprFilter00), 0);
    return false;
  });
}

TEST_F(Previews, PositionsAreConvertedWithTheSourceViewsZoomAndScroll) {
  Run({peBumpMap}, [&](TfPreviews& d) {
    d.SetLockPreview(true);
    d.SourceView().SetZoom(200);
    d.SourceView().SetViewXY(30, 50);
    EXPECT_EQ(d.SourceView().GetViewX(), 30);
    EXPECT_EQ(d.SourceView().GetViewY(), 50);
    d.SetParam(pvprBumpQuantity, 40);
    d.SetParam(pvprBumpLeft, 81);
    // What the source view shows, lit at (81 * 2 - 30, 140 * 2 - 50) with
    // radii 150 * 2.
    const int ex = d.SourceView().ExtentX(), ey = d.SourceView().ExtentY();
    TBitmap expected(ex, ey, pf24bit);
    d.SourceView().DrawTo(expected.Canvas());
    TProgressRec r;
    _BumpMapping(expected, 132, 230, 300, 300, 40, C(255, 255, 255), 0, 0, ex, ey, r);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), expected));
    return false;
  });
}

TEST_F(Previews, AClickSetsTheLensCentreByTheInverseConversion) {
  Run({peLens}, [&](TfPreviews& d) {
    d.SourceView().SetZoom(400);
    d.SourceView().SetViewXY(101, 37);
    const int ox = d.SourceView().OffsetX(), oy = d.SourceView().OffsetY();
    d.ResultClick(50, 61);
    EXPECT_EQ(d.GetParam(pvprLensLeft), int(std::trunc((50 - ox + 101) * 100 / 400.0)));
    EXPECT_EQ(d.GetParam(pvprLensTop), int(std::trunc((61 - oy + 37) * 100 / 400.0)));
    EXPECT_EQ(d.GetParam(pvprLensLeft), 37);  // (50 + 101) / 4 with no offset
    // The same through the result view's own mouse handling.
    d.ResultView().MouseDown(mbLeft, {}, 203, 3);
    d.ResultView().MouseUp(mbLeft, {}, 203, 3);
    EXPECT_EQ(d.GetParam(pvprLensLeft), (203 + 101) / 4);
    EXPECT_EQ(d.GetParam(pvprLensTop), (3 + 37) / 4);
    return false;
  });
}

TEST_F(Previews, AClickOnTheHsvPageTakesTheBaseColour) {
  auto red = Solid(kW, kH, C(255, 0, 0));
  PVCopyBitmap(*red, bm);
  Run({peHSV}, [](TfPreviews& d) {
    // Base red (H 0, S 99, V 99) against new white (H 0, S 0, V 99).
    d.ResultClick(5, 5);
    EXPECT_EQ(d.GetBaseColor(), TColor(0x0000FF));
    EXPECT_EQ(d.GetParam(pvprHSVHue), 0);
    EXPECT_EQ(d.GetParam(pvprHSVSaturation), -99);
    EXPECT_EQ(d.GetParam(pvprHSVValue), 0);
    // New colour blue (H 240): hue delta 240, clamped to the slider's 180.
    d.SetNewColor(0xFF0000);
    EXPECT_EQ(d.GetParam(pvprHSVHue), 180);
    EXPECT_EQ(d.GetParam(pvprHSVSaturation), 0);
    return false;
  });
}

TEST_F(Previews, WavePageFitsTheSourceAndScalesAmplitudeAndLength) {
  Run({peAll}, [&](TfPreviews& d) {
    d.SourceView().SetZoom(300);
    d.SetLockPreview(true);
    d.SelectPage(pvpWave);
    EXPECT_FALSE(d.SourceView().GetMouseInteract().Contains(miZoom));
    const double z = d.SourceView().GetZoom();
    EXPECT_LT(z, 100);  // fitted: 300 x 280 into 256 x 256
    d.SetParam(pvprWaveAmplitude, 20);
    d.SetParam(pvprWaveLength, 33);
    const int ex = d.SourceView().ExtentX(), ey = d.SourceView().ExtentY();
    TBitmap expected(ex, ey, pf24bit);
    d.SourceView().DrawTo(expected.Canvas());
    TProgressRec r;
    _wave(expected, int(20 * z / 100), int(33 * z / 100), 0, false, r);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), expected));
    d.SelectPage(pvpRGB);
    EXPECT_TRUE(d.SourceView().GetMouseInteract().Contains(miZoom));
    return false;
  });
}

// --- Rulers, filters, FFT and captions -------------------------------------------------------

TEST_F(Previews, RulerGripsStayOrderedAndFillTheCheckedChannels) {
  Run({peEqualize}, [&](TfPreviews& d) {
    d.SetChannelChecked(pvhcGray, false);
    d.SetChannelChecked(pvhcRed, true);
    d.SetGrip(pvrlThreshold, 1, 100);
    d.SetGrip(pvrlThreshold, 0, 150);  // pushes the high grip along
    EXPECT_EQ(d.GetGrip(pvrlThreshold, 0), 150);
    EXPECT_EQ(d.GetGrip(pvrlThreshold, 1), 150);
    EXPECT_EQ(d.RulerLow(pvrlThreshold), C(150, 0, 0));
    EXPECT_EQ(d.RulerHigh(pvrlThreshold), C(150, 255, 255));
    d.SetGrip(pvrlThreshold, 1, 20);  // pulls the low grip back
    EXPECT_EQ(d.GetGrip(pvrlThreshold, 0), 20);
    EXPECT_EQ(d.RulerLow(pvrlThreshold), C(20, 0, 0));
    d.SetChannelChecked(pvhcGray, true);
    d.SetGrip(pvrlEqualize, 0, 30);
    EXPECT_EQ(d.RulerLow(pvrlEqualize), C(30, 30, 30));
    EXPECT_EQ(d.RulerHigh(pvrlEqualize), C(255, 255, 255));
    // The result: threshold, then the stretch of 30..255.
    d.SetLockPreview(true);
    ShowActualSize(d);
    d.Preview();
    auto expected = Visible(d);
    const int V = TfPreviews::kViewSize;
    _Threshold(*expected, C(20, 0, 0), C(20, 255, 255), C(0, 0, 0), C(255, 255, 255), 0, 0, V, V,
               nullptr, nullptr);
    _HistEqualize(*expected, C(30, 30, 30), C(255, 255, 255), 0, 0, V, V, nullptr, nullptr);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), *expected));
    return false;
  });
}

TEST_F(Previews, UserFilterRoundTripsThroughAFilterFile) {
  dialogtest::TempDir dir;
  const std::string file = dir.File("sharpen.flt");
  Run({peUserFilt}, [&](TfPreviews& d) {
    d.SetParam(pvprFilter11, 9);
    d.SetParam(pvprFilter01, -1);
    d.SetParam(pvprFilterDivisor, 5);
    EXPECT_TRUE(d.SaveFilter(file));
    d.SelectPreset(fpBlur);
    EXPECT_EQ(d.CurrentFilter(), PVFiltPres[fpBlur]);
    EXPECT_TRUE(d.LoadFilter(file));
    TGraphFilter f;
    f.Values[1][1] = 9, f.Values[0][1] = -1, f.Divisor = 5;
    EXPECT_EQ(d.CurrentFilter(), f);
    EXPECT_EQ(LoadFilterFromFile(file), f);
    EXPECT_FALSE(d.LoadFilter(dir.File("missing.flt")));
    EXPECT_EQ(d.CurrentFilter(), f);
    EXPECT_FALSE(d.SaveFilter(dir.File("no/such/dir.flt")));
    return false;
  });
}

TEST_F(Previews, FftPreviewsTheRemovalAndOkRemovesTheScaledRegion) {
  auto small = Random24(64, 48, 3);
  PVCopyBitmap(*small, bm);
  src = PVCloneBitmap(*small);
  EXPECT_TRUE(Run({peFFT}, [&](TfPreviews& d) {
    EXPECT_EQ(d.ActivePage(), pvpFFT);
    if (!d.SpectrumImage()) return ADD_FAILURE() << "no spectrum", false;
    const int n = d.SpectrumImage()->GetN();
    EXPECT_EQ(n, TfPreviews::kSpectrumSide);
    EXPECT_GT(d.SpectrumProgress(), 90);  // the bar ends (nearly) full
    // Without a selection the result is the plain inverse transform.
    TBitmap plain;
    d.SpectrumImage()->BuildBitmap(plain);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), plain));
    // A selection previews its removal and leaves the spectrum whole.
    d.SpectrumView().Select(70, 60, 90, 68);
    d.FFTPreview();
    TPVFtImage copy;
    copy.Assign(*d.SpectrumImage());
    copy.ClearZone(70, 60, 89, 67);
    TBitmap cleared;
    copy.BuildBitmap(cleared);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), cleared));
    EXPECT_FALSE(SamePixels(cleared, plain));
    return true;
  }));
  // OK: the full-size transform (N 64) loses the region scaled by 64 / 128.
  auto full = PVFTCreateImage(*src, pvitGrayscale, -1, -1, nullptr, nullptr);
  ASSERT_EQ(full->GetN(), 64);
  full->ClearZone(35, 30, 44, 33);
  TBitmap expected;
  full->BuildBitmap(expected);
  EXPECT_TRUE(SamePixels(bm, expected));
}

TEST_F(Previews, FftGrayScaleRebuildsTheSpectrumAndResetDropsTheSelection) {
  Run({peFFT}, [&](TfPreviews& d) {
    EXPECT_EQ(d.SpectrumImage()->GetImageType(), pvitGrayscale);
    d.SetParam(pvprFFTGrayScale, 0);  // lock up, still rebuilt
    EXPECT_EQ(d.SpectrumImage()->GetImageType(), pvitRGB);
    TBitmap plain;
    d.SpectrumImage()->BuildBitmap(plain);
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), plain));
    d.SpectrumView().Select(10, 10, 60, 60);
    d.FFTPreview();
    EXPECT_FALSE(SamePixels(d.ResultView().Bitmap(), plain));
    d.FFTReset();
    EXPECT_FALSE(d.SpectrumView().HasSelection());
    EXPECT_TRUE(SamePixels(d.ResultView().Bitmap(), plain));
    return false;
  });
}

TEST_F(Previews, ContrastReportsOneProgressStepPerRowOnOk) {
  std::vector<int> reports;
  proc.OnProgress = [&](TObject*, int per) { reports.push_back(per); };
  EXPECT_TRUE(Run({peContrast}, [](TfPreviews& d) {
    d.SetParam(pvprContrast, -25);
    return true;
  }));
  ASSERT_EQ(reports.size(), size_t(kH));
  // per = trunc((row + 1) * (100 / (279 + 0.5))) for 280 rows.
  EXPECT_EQ(reports.front(), 0);
  EXPECT_EQ(reports[kH - 2], 99);
  EXPECT_EQ(reports.back(), 100);
  // Factor 1 - sqrt(25) / 10 = 0.5 around the means of the whole image.
  const TRGB m = Means(*src);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TRGB c = Get(*src, x, y);
      auto f = [](int v, int mean) { return Clamp255(mean + int(std::trunc((v - mean) * 0.5))); };
      ASSERT_EQ(Get(bm, x, y), C(f(c.r, m.r), f(c.g, m.g), f(c.b, m.b))) << x << "," << y;
    }
}

TEST_F(Previews, CaptionsFollowTheLanguage) {
  proc.SetMsgLanguage(msItalian);
  Run({peAll}, [](TfPreviews& d) {
    EXPECT_EQ(d.Captions().Form, "Anteprima");
    EXPECT_EQ(d.Captions().Cancel, "Annulla");
    EXPECT_EQ(d.Captions().Reset, "Ripristina");
    EXPECT_EQ(d.Form()->GetCaption(), "Anteprima");
    EXPECT_EQ(d.Captions().Pages[pvpHSV], "HSV");  // built-in tab caption
    d.SetLanguage(msEnglish);
    const TPVPreviewsCaptions& c = d.Captions();
    EXPECT_EQ(c.Form, "Preview");
    EXPECT_EQ(c.Preview, "Preview");
    EXPECT_EQ(c.Source, "Source:");
    EXPECT_EQ(c.Result, "Result:");
    EXPECT_EQ(c.CopyHint, "Copy Result to Source");
    EXPECT_EQ(c.Pages[pvpMorph], "Morphing filters");
    EXPECT_EQ(c.Pages[pvpBumpMap], "Bump map");
    EXPECT_EQ(c.Channels[pvhcGray], "Gray");
    EXPECT_EQ(c.MorphItems[3], "Closing");
    EXPECT_EQ(c.SpectrumGroup, "Select the region to clean");
    EXPECT_EQ(d.Label(PVMSG_REFRACTION), "Refraction");
    return false;
  });
}

}  // namespace
}  // namespace pictavo
