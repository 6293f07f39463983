// TPictavoProc: the non-visual component that applies image operations to
// one bitmap.  The bitmap is found through an attachment (an image view, a
// platform TImage or a bare TBitmap).  The component limits every operation
// to the current selection, merges non-rectangular results back through the
// selection polygon, keeps a one-level undo copy, reports progress and
// refreshes whatever shows the bitmap.  Each public operation forwards to a
// free worker (processing/colour_ops.h, geometry.h, resample.h, and the
// filter, histogram, effect, hidden-data and transform units) that takes a
// plain TBitmap, so the workers are usable without the component.
//
// The operation frame (for the units that add operations)
// -------------------------------------------------------
// An operation that changes the pixels of the selection calls RunFramed:
//
//   void TPictavoProc::Negative() {
//     RunFramed(kFrame24Or1, [&](TBitmap& b, int x1, int y1, int x2, int y2) {
//       _Negative(b, x1, y1, x2, y2, OnProgress, this);
//     });
//   }
//
// RunFramed does nothing without a target bitmap or with a pixel format the
// operation does not take (returning false, without Update); otherwise it
// calls SaveUndo when AutoUndo is set, asks GetReSel for the area, and runs
// the worker on the target bitmap with the selection rectangle (also when
// there is no selection: the rectangle is then the whole bitmap), or, for a
// polygon selection that is not a plain rectangle, on a copy of the
// polygon's bounding box (worker rectangle 0, 0, copy width, copy height)
// that is merged back through the polygon afterwards.  Finally it calls
// Update and returns true.
//
// RunOnSelectionCopy is the variant for effects that work on the whole
// bitmap (or the rectangle) unless a polygon is selected; BeginChange /
// EndChange bracket operations that are not framed but change the bitmap
// (hidden data, geometry).  MakeProgress fills a TProgressRec with
// OnProgress and this component as Sender.
//
// Attachment points
// -----------------
// Everything the component needs from a view or a TImage goes through the
// small private functions in processing/pictavoproc_attach.cpp
// (ViewBitmap, ViewSelection, ViewChanged, ViewBackground, ViewSelect);
// the image view's selection and mapping come through IPVProcTarget
// (processing/proc_target.h).  Without an image view the
// component keeps its own selection: a rectangle (Select) and, as an
// extension for programs without a view, a polygon (SelectPolygon).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/mask.h"
#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/colors.h"
#include "platform/component.h"
#include "platform/types.h"
#include "processing/geometry.h"

namespace pictavo {

// Types owned by other units, declared here so that this header stays the
// one list of the component's methods.  Enumerations of the library are all
// `enum Name : uint8_t`, so these opaque declarations match their
// definitions.
class IPVImageHost;               // core/  (what a view offers attached components)
class TImage;                     // platform/ (image control)
class TForm;                      // platform/ (forms)
enum TPVSelOp : uint8_t;          // view/: pvspReplace (0), pvspAdd
enum TMsgLanguage : uint8_t;      // dialogs/: msSystem (0), msEnglish, ...
struct TGraphFilter;              // processing/filters.h
enum TPVFilterPresets : uint8_t;  // processing/filters.h
struct THistogramItem;            // processing/histogram.h
class TPVFtImage;                 // processing/pvfft.h
enum TPVFtImageType : uint8_t;    // processing/pvfft.h

enum TPreviewEffects : uint8_t {
  peAll,
  peContrast,
  peHSV,
  peHSL,
  peRGB,
  peUserFilt,
  peEqualize,
  peBumpMap,
  peLens,
  peWave,
  peMorph,
  peRotate,
  peFFT
};
using TPreviewEffectsSet = TSet<TPreviewEffects>;

enum TPRPreviewsParamsItems : uint8_t { prppDefaultLockPreview };
using TPRPreviewsParams = TSet<TPRPreviewsParamsItems>;

using TPVPreviewEvent = std::function<void(TObject* Sender, TForm* PreviewForm)>;

// The area an operation works on, as GetReSel reports it.  x2 and y2 are
// exclusive.  `polygon` points into storage owned by the component or the
// view and stays valid until the selection changes.
struct TPVSelectionArea {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const TPoint* polygon = nullptr;
  int polygonCount = 0;
  const TPVMask* mask = nullptr;
  bool selected = false;  // the result of GetReSel
};

class TPictavoProc : public TComponent {
 public:
  explicit TPictavoProc(TComponent* owner = nullptr);
  ~TPictavoProc() override;

  // --- Attachment -------------------------------------------------------------
  IPVImageHost* GetAttachedPictavo() const { return view_; }
  // Detaches from the previous view; a null view only detaches.
  void SetAttachedPictavo(IPVImageHost* view);
  TImage* GetAttachedTImage() const { return image_; }
  void SetTImage(TImage* image);
  void SetAttachedTImage(TImage* image) { SetTImage(image); }
  // A bitmap becomes the target and detaches any view or TImage.  Null is
  // ignored while a view or TImage is attached; otherwise it detaches.
  void SetAttachedBitmap(TBitmap* bitmap);
  // The bitmap that operations change (from whichever attachment).
  TBitmap* GetAttachedBitmap() const { return bitmap_; }
  // Called by the view when it replaced its bitmap, or (destroying) when it
  // goes away.
  void OnBitmapChange(TObject* Sender, bool destroying);

  // --- Properties ----------------------------------------------------------------
  bool GetAutoUndo() const { return auto_undo_; }
  void SetAutoUndo(bool on) { auto_undo_ = on; }
  // The view's background when a view is attached, else the component's own.
  TColor GetBackground() const;
  void SetBackground(TColor color);
  TMsgLanguage GetMsgLanguage() const { return msg_language_; }
  void SetMsgLanguage(TMsgLanguage language) { msg_language_ = language; }
  TPRPreviewsParams GetPreviewsParams() const { return previews_params_; }
  void SetPreviewsParams(TPRPreviewsParams params) { previews_params_ = params; }
  TFont& GetPreviewFont() { return *preview_font_; }
  void SetPreviewFont(const TFont& font) { preview_font_->Assign(font); }

  TPVProgressEvent OnProgress;
  TPVPreviewEvent OnPreview;

  // Repaints the view (Update, then ImageChange) or marks the bitmap modified.
  void Update();

  // --- Undo -------------------------------------------------------------------------
  virtual void SaveUndo();
  virtual void Undo();
  void ClearUndo();
  bool CanUndo() const;
  // The saved copy (1 x 1 when there is nothing to undo).
  const TBitmap& UndoBitmap() const { return *undo_; }

  // --- Selection --------------------------------------------------------------------
  // Stores the rectangle (bitmap coordinates, x2 and y2 exclusive) as the
  // component's own selection and passes it on to an attached view.
  void Select(int x1, int y1, int x2, int y2, TPVSelOp op = TPVSelOp(0));
  // The component's own polygon selection (used when no view is attached):
  // sub-polygons separated by points whose x is kPVPolygonBreak.  The own
  // rectangle becomes the polygon's bounding box.  Fewer than 3 points
  // select nothing.
  void SelectPolygon(const TPoint* points, int count);
  void SelectAll();
  // The area of the next operation; false (and the whole bitmap) when
  // nothing is selected.
  bool GetReSel(int& x1, int& y1, int& x2, int& y2, const TPoint*& polygon, int& polygonCount,
                const TPVMask*& mask);
  TPVSelectionArea GetReSel();
  int SelX1();
  int SelY1();
  int SelX2();
  int SelY2();

  // --- Clipboard (CF_DIB) ---------------------------------------------------------
  void CopyToClipboard();
  void SelCopyToClip();
  void SelCutToClip();
  void PasteFromClipboard();
  void PointPasteFromClip(int x, int y);
  void SelPasteFromClipStretch();
  void Clear();
  void ClearSel();

  // --- Colour depth ---------------------------------------------------------------
  void ConvertTo24Bit();
  void ConvertTo(int colors);
  void ConvertToPalette(int colors, TRGB* palette);

  // Shows the preview form (processing/previewsform.h) over a copy of the
  // selected area and takes its result back on OK.  False for a bitmap that
  // is not 24-bit or has a single pixel, without an installed form, or when
  // the form is not closed with OK.
  bool DoPreviews(TPreviewEffectsSet effects);

  // --- Colour operations ----------------------------------------------------------
  void IntensityRGBall(int r, int g, int b);
  void Contrast(int amount);
  void HSVvar(int dH, int dS, int dV);
  void HSLvar(int dH, int dS, int dL);
  void CastColorRange(const TRGB& beginColor, const TRGB& endColor, const TRGB& castColor);
  void Threshold(const TRGB& downLimit, const TRGB& upLimit, const TRGB& downVal,
                 const TRGB& upVal);
  void Negative();
  void ConvertToGray();
  // New 24-bit grey images that the caller owns (null unless pf24bit).
  std::unique_ptr<TBitmap> GetRGBChannel(int channel);
  std::unique_ptr<TBitmap> GetHSVChannel(int channel);
  void GetRGBChannelAll(TBitmap& r, TBitmap& g, TBitmap& b);
  void GetHSVChannelAll(TBitmap& h, TBitmap& s, TBitmap& v);
  int CalcImageNumColors();
  void CalcImagePalette(TRGB* palette, int colors);
  void ConvertToBWOrdered();
  void ConvertToBWThreshold(int threshold);

  // --- Convolution and morphological filters --------------------------------------
  void ApplyFilter(TGraphFilter filter);
  void ApplyFilterPreset(TPVFilterPresets preset);
  void Maximum(int winSize);
  void Minimum(int winSize);
  void Opening(int winSize);
  void Closing(int winSize);

  // --- Geometry ---------------------------------------------------------------------
  // A negative size follows the other by the aspect ratio.
  void Resample(int newWidth, int newHeight, TResampleFilter filter);
  void ImageResize(int newWidth, int newHeight);
  // Degrees, counter-clockwise for positive values.
  void Rotate(int angle, bool antialias);
  void Flip(TFlipDir direction);
  void CropSel();

  // --- Histogram --------------------------------------------------------------------
  void GetHistogram(THistogramItem* histogram);
  void HistEqualize(const TRGB& low, const TRGB& high);
  void HistAutoEqualize();

  // --- Effects ----------------------------------------------------------------------
  void Wave(int amplitude, int wavelength, int phase, bool reflective);
  void Lens(int x, int y, int width, int height, double refraction);
  void BumpMapping(int x, int y, int width, int height, int mixing, const TRGB& colour);
  void Merge(const TBitmap& other, int percent);

  // --- Hidden data ------------------------------------------------------------------
  int WriteHiddenData(const void* data, int length);
  int WriteHiddenText(const std::string& text);
  int ReadHiddenData(void* buffer, int size);
  std::string ReadHiddenText();
  int GetHiddenDataSpace();

  // --- Frequency domain ----------------------------------------------------------
  std::unique_ptr<TPVFtImage> FTCreateImage(TPVFtImageType type, int width, int height);
  void FTConvertFrom(TPVFtImage& image);
  void FTDisplayFrom(TPVFtImage& image);

  // --- The operation frame ------------------------------------------------------------
  // Pixel formats an operation accepts.
  enum TFrameFormats : uint8_t { kFrame24, kFrame24Or1, kFrameAny };
  using TFrameWorker = std::function<void(TBitmap& bitmap, int x1, int y1, int x2, int y2)>;

  // The frame of every operation that changes the selection's pixels (see
  // the top of this file).  False when nothing was done.
  bool RunFramed(TFrameFormats formats, const TFrameWorker& worker);
  // The selection rule of the effects: with a polygon selection the worker
  // runs on the bounding-box copy that is merged back through the polygon;
  // otherwise on the whole bitmap (wholeWithoutPolygon) or on the selection
  // rectangle.  Undo, format test and Update as in RunFramed.
  bool RunOnSelectionCopy(TFrameFormats formats, bool wholeWithoutPolygon,
                          const TFrameWorker& worker);
  // For operations that are not framed: returns the target bitmap when it
  // exists and has an accepted format, after SaveUndo when AutoUndo is set;
  // null otherwise (then nothing was changed).  EndChange calls Update.
  TBitmap* BeginChange(TFrameFormats formats);
  void EndChange() { Update(); }
  // The target bitmap when it exists and has an accepted format (no undo).
  TBitmap* TargetBitmap(TFrameFormats formats) const;
  // Progress record carrying OnProgress and this component as Sender.
  TProgressRec MakeProgress();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  static bool FormatAccepted(const TBitmap* bitmap, TFrameFormats formats);
  // Runs the worker through the polygon copy when the area holds a true
  // polygon, else on the rectangle.
  void RunOnArea(TBitmap& bitmap, const TPVSelectionArea& area, const TFrameWorker& worker);
  void FillSelection(TBitmap& bitmap, const TPVSelectionArea& area);
  void RebuildOwnMask();

  // Attachment points (processing/pictavoproc_attach.cpp).
  TBitmap* ViewBitmap() const;
  bool ViewSelection(TPVSelectionArea& area) const;
  void ViewChanged();
  bool ViewBackground(TColor& color) const;
  void ViewSetBackground(TColor color);
  void ViewSelect(int x1, int y1, int x2, int y2, TPVSelOp op, bool deselect);
  bool ViewClientToBitmap(int& x, int& y) const;
  void DetachView();

  TBitmap* bitmap_ = nullptr;
  IPVImageHost* view_ = nullptr;
  TComponent* view_component_ = nullptr;  // view_ as a component, taken on attaching
  TImage* image_ = nullptr;
  std::unique_ptr<TBitmap> undo_;
  bool auto_undo_ = true;
  TColor background_ = 0;
  TMsgLanguage msg_language_ = TMsgLanguage(0);
  TPRPreviewsParams previews_params_;
  std::unique_ptr<TFont> preview_font_;
  int sel_x1_ = -1, sel_y1_ = -1, sel_x2_ = -1, sel_y2_ = -1;
  std::vector<TPoint> own_polygon_;
  TPVMask own_mask_;
};

}  // namespace pictavo
