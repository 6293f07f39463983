// TPictavoProc: the colour and geometry operations, each forwarding to its
// worker through the operation frame.
#include <algorithm>

#include "codecs/quantize.h"
#include "core/conversions.h"
#include "processing/colour_ops.h"
#include "processing/geometry.h"
#include "processing/pictavoproc.h"
#include "processing/resample.h"

namespace pictavo {

// --- Colour operations -----------------------------------------------------------------

void TPictavoProc::IntensityRGBall(int r, int g, int b) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _IntensityRGBall(bm, r, g, b, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::Contrast(int amount) {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  if (!bitmap || (bitmap->GetWidth() < 2 && bitmap->GetHeight() < 2)) return;
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _ContrastRGB(bm, amount, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::HSVvar(int dH, int dS, int dV) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _HSVvar(bm, dH, dS, dV, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::HSLvar(int dH, int dS, int dL) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _HSLvar(bm, dH, dS, dL, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::CastColorRange(const TRGB& beginColor, const TRGB& endColor,
                                  const TRGB& castColor) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _CastColorRange(bm, beginColor, endColor, castColor, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::Threshold(const TRGB& downLimit, const TRGB& upLimit, const TRGB& downVal,
                             const TRGB& upVal) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _Threshold(bm, downLimit, upLimit, downVal, upVal, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::Negative() {
  RunFramed(kFrame24Or1, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _Negative(bm, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::ConvertToGray() {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _ConvertToGray(bm, x1, y1, x2, y2, OnProgress, this);
  });
}

std::unique_ptr<TBitmap> TPictavoProc::GetRGBChannel(int channel) {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  return bitmap ? _GetRGBChannel(*bitmap, channel, OnProgress, this) : nullptr;
}

std::unique_ptr<TBitmap> TPictavoProc::GetHSVChannel(int channel) {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  return bitmap ? _GetHSVChannel(*bitmap, channel, OnProgress, this) : nullptr;
}

void TPictavoProc::GetRGBChannelAll(TBitmap& r, TBitmap& g, TBitmap& b) {
  if (TBitmap* bitmap = TargetBitmap(kFrame24))
    _GetRGBChannelAll(*bitmap, r, g, b, OnProgress, this);
}

void TPictavoProc::GetHSVChannelAll(TBitmap& h, TBitmap& s, TBitmap& v) {
  if (TBitmap* bitmap = TargetBitmap(kFrame24))
    _GetHSVChannelAll(*bitmap, h, s, v, OnProgress, this);
}

int TPictavoProc::CalcImageNumColors() {
  if (!bitmap_) return 0;
  if (bitmap_->GetPixelFormat() == pf1bit) return 2;
  if (bitmap_->GetPixelFormat() != pf24bit) return 0;
  TPVSelectionArea area = GetReSel();
  return _GetImageNumColors(*bitmap_, area.x1, area.y1, area.x2, area.y2);
}

void TPictavoProc::CalcImagePalette(TRGB* palette, int colors) {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  if (!bitmap || !palette || colors < 1 || bitmap->Empty()) return;
  TPVQuantizer quantizer(*bitmap, palette, 0, colors, -1);
}

void TPictavoProc::ConvertToBWOrdered() {
  TBitmap* bitmap = BeginChange(kFrame24);
  if (!bitmap) return;
  TProgressRec progress = MakeProgress();
  _ConvertToBWOrdered(*bitmap, progress);
  EndChange();
}

void TPictavoProc::ConvertToBWThreshold(int threshold) {
  TBitmap* bitmap = BeginChange(kFrame24);
  if (!bitmap) return;
  TProgressRec progress = MakeProgress();
  _ConvertToBWThreshold(*bitmap, threshold, progress);
  EndChange();
}

// --- Geometry ------------------------------------------------------------------------------

void TPictavoProc::Resample(int newWidth, int newHeight, TResampleFilter filter) {
  TBitmap* bitmap = BeginChange(kFrameAny);
  if (!bitmap || (newWidth < 0 && newHeight < 0)) return;
  int64_t w = bitmap->GetWidth(), h = bitmap->GetHeight();
  int64_t nw = newWidth, nh = newHeight;
  if (nw < 0) {
    if (h == 0) return;
    nw = nh * w / h;
  }
  if (nh < 0) {
    if (w == 0) return;
    nh = nw * h / w;
  }
  if (!PVImageSizeAllowed(nw, nh)) return;
  TBitmap out;
  out.SetPixelFormat(bitmap->GetPixelFormat());
  out.SetSize(int(nw), int(nh));
  // Filtering needs 24-bit pixels and more than one of them; anything else
  // is stretched, so that no image comes back blank.
  bool filtered = filter != rfNone && bitmap->GetPixelFormat() == pf24bit && (w > 1 || h > 1);
  if (filtered)
    _Resample(*bitmap, out, filter, OnProgress, this);
  else
    _PVBmpStretch(*bitmap, out);
  PVCopyBitmap(out, *bitmap);
  EndChange();
}

void TPictavoProc::ImageResize(int newWidth, int newHeight) {
  if (!bitmap_ || newWidth == 0 || newHeight == 0) return;
  if (!PVImageSizeAllowed(newWidth, newHeight)) return;
  TBitmap* bitmap = BeginChange(kFrameAny);
  bitmap->Canvas().Brush().SetColor(GetBackground());
  bitmap->SetSize(newWidth, newHeight);
  EndChange();
}

void TPictavoProc::Rotate(int angle, bool antialias) {
  TBitmap* bitmap = BeginChange(kFrameAny);
  if (!bitmap) return;
  bool done = false;
  if (bitmap->GetPixelFormat() == pf24bit) {
    done = _RotateShear(*bitmap, angle, antialias, GetBackground(), OnProgress, this);
  } else if (bitmap->GetPixelFormat() == pf1bit) {
    TProgressRec progress = MakeProgress();
    done = _rotate1bit(*bitmap, GetBackground() != 0 ? 1 : 0, progress, angle);
  }
  if (done) EndChange();
}

void TPictavoProc::Flip(TFlipDir direction) {
  TBitmap* bitmap = BeginChange(kFrameAny);
  if (!bitmap) return;
  _Flip(*bitmap, direction);
  EndChange();
}

void TPictavoProc::CropSel() {
  TBitmap* bitmap = BeginChange(kFrameAny);
  if (!bitmap) return;
  TPVSelectionArea area = GetReSel();
  if (area.selected && PVImageSizeAllowed(int64_t(area.x2) - area.x1, int64_t(area.y2) - area.y1)) {
    TBitmap out;
    _CopyBitmapPoly(*bitmap, out, area.x1, area.y1, area.x2, area.y2, area.polygon,
                    area.polygonCount);
    PVCopyBitmap(out, *bitmap);
  }
  EndChange();
}

}  // namespace pictavo
