// TPictavoProc: attachment-independent part of the component — undo, the
// selection, the operation frame, the clipboard exchange and the colour
// depth entry points.
#include "processing/pictavoproc.h"

#include <algorithm>
#include <cstring>

#include "core/conversions.h"
#include "processing/colour_ops.h"
#include "processing/proc_clipboard.h"
#include "processing/progress.h"

namespace pictavo {

namespace {

bool IsBreak(const TPoint& p) {
  return p.x == kPVPolygonBreak;
}

// One axis-aligned rectangle: exactly four points whose edges (the closing
// edge P3-P0 first, then P0-P1, P1-P2, P2-P3) alternate between horizontal
// and vertical, none of them of zero length.
bool IsRectanglePolygon(const TPoint* p, int count) {
  if (!p || count != 4) return false;
  for (int i = 0; i < 4; ++i)
    if (IsBreak(p[i])) return false;
  auto kind = [&](int a, int b) {
    if (p[a].y == p[b].y && p[a].x != p[b].x) return 1;  // horizontal
    if (p[a].x == p[b].x && p[a].y != p[b].y) return 2;  // vertical
    return 0;
  };
  int k0 = kind(3, 0), k1 = kind(0, 1), k2 = kind(1, 2), k3 = kind(2, 3);
  return k0 && k1 && k2 && k3 && k0 != k1 && k1 != k2 && k2 != k3;
}

bool HasTruePolygon(const TPVSelectionArea& area) {
  return area.polygonCount >= 1 && !IsRectanglePolygon(area.polygon, area.polygonCount);
}

template <typename Fn>
void ForEachSubPolygon(const TPoint* polygon, int count, Fn&& fn) {
  int start = 0;
  for (int i = 0; i <= count; ++i) {
    if (i == count || IsBreak(polygon[i])) {
      if (i > start) fn(polygon + start, i - start);
      start = i + 1;
    }
  }
}

}  // namespace

TPictavoProc::TPictavoProc(TComponent* owner)
    : TComponent(owner),
      undo_(std::make_unique<TBitmap>(1, 1, pf24bit)),
      preview_font_(std::make_unique<TFont>()) {}

TPictavoProc::~TPictavoProc() {
  DetachView();
}

void TPictavoProc::SetAttachedBitmap(TBitmap* bitmap) {
  if (!bitmap && (view_ || image_)) return;
  DetachView();
  image_ = nullptr;
  bitmap_ = bitmap;
}

TColor TPictavoProc::GetBackground() const {
  TColor color;
  return ViewBackground(color) ? color : background_;
}

void TPictavoProc::SetBackground(TColor color) {
  if (view_)
    ViewSetBackground(color);
  else
    background_ = color;
}

void TPictavoProc::Update() {
  if (view_)
    ViewChanged();
  else if (bitmap_)
    bitmap_->SetModified(true);
}

// --- Undo --------------------------------------------------------------------------

void TPictavoProc::SaveUndo() {
  if (!bitmap_) return;
  ClearUndo();
  if (bitmap_->GetWidth() >= 1 && bitmap_->GetHeight() >= 1) PVCopyBitmap(*bitmap_, *undo_);
}

void TPictavoProc::Undo() {
  if (!bitmap_ || !CanUndo()) return;
  PVCopyBitmap(*undo_, *bitmap_);
  Update();
}

void TPictavoProc::ClearUndo() {
  undo_->SetSize(1, 1);
}

bool TPictavoProc::CanUndo() const {
  return undo_->GetWidth() > 1 || undo_->GetHeight() > 1;
}

// --- Selection ---------------------------------------------------------------------

void TPictavoProc::Select(int x1, int y1, int x2, int y2, TPVSelOp op) {
  sel_x1_ = x1;
  sel_y1_ = y1;
  sel_x2_ = x2;
  sel_y2_ = y2;
  own_polygon_.clear();
  if (view_) ViewSelect(x1, y1, x2, y2, op, false);
}

void TPictavoProc::SelectPolygon(const TPoint* points, int count) {
  own_polygon_.clear();
  int corners = 0;
  TRect box(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
  for (int i = 0; points && i < count; ++i) {
    if (IsBreak(points[i])) continue;
    ++corners;
    box.Left = std::min(box.Left, points[i].x);
    box.Top = std::min(box.Top, points[i].y);
    box.Right = std::max(box.Right, points[i].x);
    box.Bottom = std::max(box.Bottom, points[i].y);
  }
  if (corners < 3) {
    sel_x1_ = sel_y1_ = sel_x2_ = sel_y2_ = -1;
    return;
  }
  own_polygon_.assign(points, points + count);
  sel_x1_ = box.Left;
  sel_y1_ = box.Top;
  sel_x2_ = box.Right;
  sel_y2_ = box.Bottom;
  RebuildOwnMask();
}

void TPictavoProc::RebuildOwnMask() {
  int w = bitmap_ ? std::max(bitmap_->GetWidth(), 1) : 1;
  int h = bitmap_ ? std::max(bitmap_->GetHeight(), 1) : 1;
  own_mask_.AllocateBits(w, h, 1);
  own_mask_.DrawPolygon(1, own_polygon_.data(), int(own_polygon_.size()));
}

void TPictavoProc::SelectAll() {
  sel_x1_ = sel_y1_ = sel_x2_ = sel_y2_ = -1;
  own_polygon_.clear();
  if (view_) ViewSelect(-1, -1, -1, -1, TPVSelOp(0), true);
}

TPVSelectionArea TPictavoProc::GetReSel() {
  TPVSelectionArea area;
  if (!ViewSelection(area)) {
    area.x1 = sel_x1_;
    area.y1 = sel_y1_;
    area.x2 = sel_x2_;
    area.y2 = sel_y2_;
    if (!own_polygon_.empty()) {
      area.polygon = own_polygon_.data();
      area.polygonCount = int(own_polygon_.size());
      area.mask = &own_mask_;
    }
  }
  area.selected = area.x1 >= 0;
  if (!area.selected) {
    area.x1 = area.y1 = 0;
    area.x2 = bitmap_ ? bitmap_->GetWidth() : 0;
    area.y2 = bitmap_ ? bitmap_->GetHeight() : 0;
  }
  return area;
}

bool TPictavoProc::GetReSel(int& x1, int& y1, int& x2, int& y2, const TPoint*& polygon,
                            int& polygonCount, const TPVMask*& mask) {
  TPVSelectionArea area = GetReSel();
  x1 = area.x1;
  y1 = area.y1;
  x2 = area.x2;
  y2 = area.y2;
  polygon = area.polygon;
  polygonCount = area.polygonCount;
  mask = area.mask;
  return area.selected;
}

int TPictavoProc::SelX1() {
  return GetReSel().x1;
}
int TPictavoProc::SelY1() {
  return GetReSel().y1;
}
int TPictavoProc::SelX2() {
  return GetReSel().x2;
}
int TPictavoProc::SelY2() {
  return GetReSel().y2;
}

// --- The operation frame -------------------------------------------------------------

bool TPictavoProc::FormatAccepted(const TBitmap* bitmap, TFrameFormats formats) {
  if (!bitmap) return false;
  TPixelFormat pf = bitmap->GetPixelFormat();
  switch (formats) {
    case kFrame24:
      return pf == pf24bit;
    case kFrame24Or1:
      return pf == pf24bit || pf == pf1bit;
    default:
      return true;
  }
}

TBitmap* TPictavoProc::TargetBitmap(TFrameFormats formats) const {
  return FormatAccepted(bitmap_, formats) ? bitmap_ : nullptr;
}

TBitmap* TPictavoProc::BeginChange(TFrameFormats formats) {
  TBitmap* bitmap = TargetBitmap(formats);
  if (bitmap && auto_undo_) SaveUndo();
  return bitmap;
}

TProgressRec TPictavoProc::MakeProgress() {
  TProgressRec rec;
  rec.ProgressEvent = OnProgress;
  rec.Sender = this;
  return rec;
}

// The bounding box goes through the worker as a copy and comes back only
// through the polygon, so the box's pixels outside the polygon keep their
// values.
static void RunOnPolygonCopy(TBitmap& bitmap, const TPVSelectionArea& area,
                             const TPictavoProc::TFrameWorker& worker) {
  TBitmap copy;
  _CopyBitmapRect(bitmap, copy, area.x1, area.y1, area.x2, area.y2);
  if (copy.Empty()) return;
  worker(copy, 0, 0, copy.GetWidth(), copy.GetHeight());
  _CopyPolygonBitmap(bitmap, copy, std::max(area.x1, 0), std::max(area.y1, 0), area.polygon,
                     area.polygonCount);
}

void TPictavoProc::RunOnArea(TBitmap& bitmap, const TPVSelectionArea& area,
                             const TFrameWorker& worker) {
  if (HasTruePolygon(area))
    RunOnPolygonCopy(bitmap, area, worker);
  else
    worker(bitmap, area.x1, area.y1, area.x2, area.y2);
}

bool TPictavoProc::RunFramed(TFrameFormats formats, const TFrameWorker& worker) {
  TBitmap* bitmap = BeginChange(formats);
  if (!bitmap) return false;
  RunOnArea(*bitmap, GetReSel(), worker);
  Update();
  return true;
}

bool TPictavoProc::RunOnSelectionCopy(TFrameFormats formats, bool wholeWithoutPolygon,
                                      const TFrameWorker& worker) {
  TBitmap* bitmap = BeginChange(formats);
  if (!bitmap) return false;
  TPVSelectionArea area = GetReSel();
  if (area.polygonCount >= 1)
    RunOnPolygonCopy(*bitmap, area, worker);
  else if (wholeWithoutPolygon)
    worker(*bitmap, 0, 0, bitmap->GetWidth(), bitmap->GetHeight());
  else
    worker(*bitmap, area.x1, area.y1, area.x2, area.y2);
  Update();
  return true;
}

// --- Clipboard -----------------------------------------------------------------------

namespace {

// Stores the DIB; false when the clipboard cannot be opened.
bool PutDIB(HGLOBAL dib) {
  TPVProcClipboard& clipboard = PVProcClipboard();
  if (!clipboard.Open()) return false;
  clipboard.SetDIB(std::move(dib));
  clipboard.Close();
  return true;
}

// The clipboard's image; false (image untouched) when the clipboard cannot
// be opened, holds no DIB, or holds one that does not convert.
bool GetClipboardImage(TBitmap& image) {
  TPVProcClipboard& clipboard = PVProcClipboard();
  if (!clipboard.Open()) return false;
  HGLOBAL dib = clipboard.HasDIB() ? clipboard.GetDIB() : nullptr;
  clipboard.Close();
  if (!dib) return false;
  TBitmap converted;
  if (_CopyDIB2Bitmap(dib, converted) == 0 || converted.Empty()) return false;
  PVCopyBitmap(converted, image);
  return true;
}

}  // namespace

void TPictavoProc::CopyToClipboard() {
  if (!bitmap_) return;
  PutDIB(_CopyBitmaptoDIB(*bitmap_, 0, 0, 0, 0));
}

void TPictavoProc::SelCopyToClip() {
  if (!bitmap_) return;
  TPVSelectionArea area = GetReSel();
  if (!area.selected) {
    CopyToClipboard();
    return;
  }
  if (!HasTruePolygon(area) || !area.mask) {
    PutDIB(_CopyBitmaptoDIB(*bitmap_, area.x1, area.y1, area.x2, area.y2));
    return;
  }
  const TPVMask& mask = *area.mask;
  TBitmap box;
  box.SetPixelFormat(bitmap_->GetPixelFormat());
  box.SetSize(std::max(mask.X2 - mask.X1 + 1, 1), std::max(mask.Y2 - mask.Y1 + 1, 1));
  mask.CopyBitmap(box, *bitmap_, true);
  PutDIB(_CopyBitmaptoDIB(box, 0, 0, 0, 0));
}

void TPictavoProc::FillSelection(TBitmap& bitmap, const TPVSelectionArea& area) {
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(GetBackground());
  if (!HasTruePolygon(area)) {
    canvas.FillRect(Rect(area.x1, area.y1, area.x2, area.y2));
    return;
  }
  // Each sub-polygon is filled as a region of its own.
  ForEachSubPolygon(area.polygon, area.polygonCount, [&](const TPoint* p, int n) {
    canvas.SetClipPolygon(p, n);
    canvas.FillRect(Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight()));
  });
  canvas.ClearClip();
}

void TPictavoProc::SelCutToClip() {
  if (!bitmap_) return;
  TPVSelectionArea area = GetReSel();
  if (!area.selected) return;
  if (!PVProcClipboard().Open()) return;
  PVProcClipboard().Close();
  if (auto_undo_) SaveUndo();
  SelCopyToClip();
  FillSelection(*bitmap_, area);
  Update();
}

void TPictavoProc::PasteFromClipboard() {
  if (!bitmap_) return;
  TBitmap image;
  if (!GetClipboardImage(image)) return;
  if (auto_undo_) SaveUndo();
  PVCopyBitmap(image, *bitmap_);
  Update();
}

void TPictavoProc::PointPasteFromClip(int x, int y) {
  if (!bitmap_) return;
  TBitmap image;
  if (!GetClipboardImage(image)) return;
  if (auto_undo_) SaveUndo();
  ViewClientToBitmap(x, y);
  bitmap_->Canvas().Draw(x, y, image);
  Update();
}

void TPictavoProc::SelPasteFromClipStretch() {
  if (!bitmap_) return;
  TPVSelectionArea area = GetReSel();
  if (!area.selected) {
    PasteFromClipboard();
    return;
  }
  TBitmap image;
  if (!GetClipboardImage(image)) return;
  if (auto_undo_) SaveUndo();
  bitmap_->Canvas().StretchDraw(Rect(area.x1, area.y1, area.x2, area.y2), image);
  Update();
}

void TPictavoProc::Clear() {
  if (!bitmap_) return;
  if (auto_undo_) SaveUndo();
  TPVSelectionArea whole;
  whole.x2 = bitmap_->GetWidth();
  whole.y2 = bitmap_->GetHeight();
  FillSelection(*bitmap_, whole);
  Update();
}

void TPictavoProc::ClearSel() {
  if (!bitmap_) return;
  if (auto_undo_) SaveUndo();
  FillSelection(*bitmap_, GetReSel());
  Update();
}

// --- Colour depth ----------------------------------------------------------------------

void TPictavoProc::ConvertTo24Bit() {
  if (!bitmap_ || bitmap_->GetPixelFormat() != pf1bit) return;
  if (auto_undo_) SaveUndo();
  TBitmap source;
  PVCopyBitmap(*bitmap_, source);
  int w = source.GetWidth(), h = source.GetHeight();
  bitmap_->SetSize(0, 0);
  bitmap_->SetPixelFormat(pf24bit);
  bitmap_->SetSize(w, h);
  TRowProgress progress(OnProgress, this, 0, h);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = source.ScanLine(y);
    uint8_t* d = bitmap_->ScanLine(y);
    int x = 0;
    for (; x + 8 <= w; x += 8, d += 24) std::memcpy(d, C1TO24.t[s[x >> 3]], 24);
    if (x < w) std::memcpy(d, C1TO24.t[s[x >> 3]], size_t(w - x) * 3);
    progress.Row(y);
  }
  Update();
}

void TPictavoProc::ConvertTo(int colors) {
  ConvertToPalette(colors, nullptr);
}

void TPictavoProc::ConvertToPalette(int colors, TRGB* palette) {
  if (!bitmap_ || bitmap_->GetPixelFormat() != pf24bit) return;
  if (auto_undo_) SaveUndo();
  _ConvertTo(*bitmap_, colors, palette, OnProgress, this);
  Update();
}

}  // namespace pictavo
