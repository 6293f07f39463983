// TPictavoView: the image view.  It owns a bitmap and shows it zoomed and
// scrolled in its client area, with scroll bars, the layout step (Update)
// with AutoFit and Center, a paint lock, a back buffer, eleven background
// styles, an optional zoom filter applied after a short delay, a pixel grid
// from 400 %, and the selection state that painting and the attached
// components read.
//
// The arithmetic lives in TPVViewGeometry (view_geometry.h), which this
// control hosts; painting is in view_paint.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/mask.h"
#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/timer.h"
#include "processing/proc_target.h"
#include "view/anim_polygon.h"
#include "view/background.h"
#include "view/pvview.h"
#include "view/view_geometry.h"

namespace pictavo {

enum TPVMouseInteractItems : uint8_t {
  miZoom,
  miScroll,
  miSelect,
  miSelectPolygon,
  miSelectCircle,
  miSelectZoom,
  miSelectMagicWand
};
using TPVMouseInteract = TSet<TPVMouseInteractItems>;

enum TPVSelectionOption : uint8_t { pvsoAnimated, pvsoSizeable, pvsoMoveable, pvsoFilled };
using TPVSelectionOptions = TSet<TPVSelectionOption>;
enum TPVSelectionBase : uint8_t { pvsbClientArea, pvsbBitmap };
enum TPVSelOp : uint8_t { pvspReplace, pvspAdd };

enum TPVMouseWheelAction : uint8_t { pvmwNone, pvmwVScroll, pvmwZoom };
enum TPVMouseWheelVariation : uint8_t { pvmwAbsolute, pvmwPercentage };

struct TPVMouseWheelParams {
  bool InvertDirection = false;
  TPVMouseWheelAction Action = pvmwZoom;
  TPVMouseWheelVariation Variation = pvmwPercentage;
  int32_t Value = 8;
};

using TViewChangeEvent = std::function<void(TObject* Sender, int Change)>;

// The view's default cursor (registered by the mouse-interaction unit).
constexpr TCursor kPVDefaultViewCursor = 1785;
// Initial control size and the outline timer's period.
constexpr int kPVInitialViewSize = 105;
constexpr int kPVOutlineTimerMs = 150;
// Period of the automatic scroll while dragging outside the image.
constexpr int kPVAutoScrollMs = 40;
// Ticks of the outline timer between the last scroll or zoom and the
// filtered repaint.
constexpr int kPVFilterDelayTicks = 2;
// The pixel grid is drawn from this zoom up.
constexpr double kPVGridMinZoom = 400;
// The point that separates the sub-polygons of a selection.
constexpr int32_t kPVSelBreak = 0xFFFFF;

class TPictavoView : public TPVView, public IPVProcTarget {
 public:
  explicit TPictavoView(TComponent* owner = nullptr);
  ~TPictavoView() override;

  // --- Bitmap ----------------------------------------------------------------
  TBitmap* GetFBitmap() override { return bitmap_.get(); }
  TBitmap& Bitmap() { return *bitmap_; }
  TCanvas& GetCanvas() { return TCustomControl::GetCanvas(); }

  // --- Published properties --------------------------------------------------
  TResampleFilter GetZoomFilter() const { return zoom_filter_; }
  void SetZoomFilter(TResampleFilter filter);
  bool GetDelayZoomFilter() const { return delay_zoom_filter_; }
  void SetDelayZoomFilter(bool on) { delay_zoom_filter_ = on; }
  TScrollStyle GetScrollBars() const { return scroll_bars_; }
  virtual void SetScrollBars(TScrollStyle bars);
  bool GetCenter() const { return geometry_.Center; }
  void SetCenter(bool on);
  bool GetAutoFit() const { return geometry_.AutoFit; }
  void SetAutoFit(bool on);
  bool GetDoubleBuffer() const { return double_buffer_; }
  void SetDoubleBuffer(bool on) { double_buffer_ = on; }
  TPVBackgroundStyle GetBackgroundStyle() const { return background_style_; }
  void SetBackgroundStyle(TPVBackgroundStyle style);
  TPVMouseInteract GetMouseInteract() const { return mouse_interact_; }
  // Applies the exclusion rules of the gestures (mouse_interact.cpp).
  virtual void SetMouseInteract(TPVMouseInteract interact);
  TPVSelectionOptions GetSelectionOptions() const { return selection_options_; }
  void SetSelectionOptions(TPVSelectionOptions options);
  TPVSelectionBase GetSelectionBase() const { return selection_base_; }
  void SetSelectionBase(TPVSelectionBase base) { selection_base_ = base; }
  void SetBackGround(TColor color) override;

  TViewChangeEvent OnViewChange;
  TNotifyEvent OnImageChange;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnSelectionChanging;
  TNotifyEvent OnMouseInSel;

  // --- Public state ------------------------------------------------------------
  const TPVViewGeometry& Geometry() const { return geometry_; }
  double GetZoom() const { return geometry_.Zoom; }
  double ZoomFactor() const { return geometry_.ZoomFactor; }
  double ZoomInverse() const { return geometry_.ZoomInverse; }
  int GetViewX() const { return geometry_.ViewX; }
  int GetViewY() const { return geometry_.ViewY; }
  int OffsetX() const { return geometry_.OffsetX; }
  int OffsetY() const { return geometry_.OffsetY; }
  int ExtentX() const { return geometry_.ExtentX; }
  int ExtentY() const { return geometry_.ExtentY; }
  int ZoomedWidth() const { return geometry_.ZoomedWidth; }
  int ZoomedHeight() const { return geometry_.ZoomedHeight; }
  TRect SourceRect() const;
  int DrawWidth() const { return geometry_.DrawWidth; }
  int DrawHeight() const { return geometry_.DrawHeight; }
  double HScrollUnit() const { return geometry_.HScrollUnit; }
  double VScrollUnit() const { return geometry_.VScrollUnit; }
  TPVScrollBarParams HScrollBarParams;
  TPVScrollBarParams VScrollBarParams;
  TPVMouseWheelParams MouseWheelParams;
  bool GetScrollBarsAlwaysVisible() const { return geometry_.ScrollBarsAlwaysVisible; }
  void SetScrollBarsAlwaysVisible(bool on);
  bool GetDisplayGrid() const { return display_grid_; }
  void SetDisplayGrid(bool on);
  int PaintLock() const { return paint_lock_; }
  bool BufferDirty = true;
  int FilterDelay = 0;
  TPVMask& SelectionMask() { return mask_; }

  // --- Zoom and scrolling ------------------------------------------------------
  void SetZoom(double zoom);
  void ZoomAt(int x, int y, double zoom);
  void Fit();
  void ZoomSelection();
  void SetViewX(int v);
  void SetViewY(int v);
  void SetViewXY(int x, int y);
  void GetMaxViewXY(int& maxX, int& maxY) const;

  // --- Mapping -------------------------------------------------------------------
  int XScr2Bmp(int x) const { return geometry_.XScr2Bmp(x); }
  int YScr2Bmp(int y) const { return geometry_.YScr2Bmp(y); }
  int XBmp2Scr(int x) const { return geometry_.XBmp2Scr(x); }
  int YBmp2Scr(int y) const { return geometry_.YBmp2Scr(y); }

  // --- Layout and painting -------------------------------------------------------
  // The layout step: zoom of AutoFit, scroll limits and bars, image area.
  void Update() override;
  void LockPaint() { ++paint_lock_; }
  int UnLockPaint();
  int NPUnLockPaint();
  void Paint() override;
  // Draws the whole client area (background and image) onto a canvas of
  // the client's size.
  virtual void PaintTo(TCanvas& canvas);
  // Draws the visible image, as shown, at (0, 0) of another canvas.
  void DrawTo(TCanvas& canvas);
  // Fills the bitmap with Background; Blank makes it 1 x 1 first.
  void Clear();
  void Blank();
  int GetIdealComponentWidth() const;
  int GetIdealComponentHeight() const;

  // --- Copies ----------------------------------------------------------------------
  // From another view, from a bitmap (converted to pf24bit unless it is
  // pf24bit or pf1bit), or Clear for null.
  void Assign(TObject* source) override;
  // The selected pixels into another view or a bitmap.
  void AssignSelTo(TObject* dest);

  // --- Changes ---------------------------------------------------------------------
  void ImageChange() override;
  virtual void ViewChange(int change);

  // --- Selection state (the selection unit builds the gestures on it) ---------
  bool HasSelection() const { return has_selection_; }
  bool GetVisibleSelection() const { return selection_visible_; }
  const std::vector<TPoint>& SelectionPolygon() const { return polygon_; }
  // A rectangle selection; (SB) coordinates follow SelectionBase.
  virtual void Select(int x1, int y1, int x2, int y2, TPVSelOp op = pvspReplace);
  // Rasterises the selection polygon into the mask.
  virtual void EndSelect();
  void DeSelect();
  // One run of the outline painter (timer tick or redraw): draws the
  // outlines, counts down the filter delay and lays out again when it runs
  // out (anim_polygon.cpp).
  void AniPolyFunc(TObject* sender);

  // --- Selection operations (selection.cpp) ----------------------------------
  // (SB) coordinates follow SelectionBase.  "Ex" variants leave the mask to
  // EndSelect.
  void SelectEx(int x1, int y1, int x2, int y2, TPVSelOp op = pvspReplace);
  void AddSelPointEx(int x, int y);
  virtual void AddSelPoint(int x, int y);
  void AddSelBreakEx();
  void AddSelBreak();
  void SelectMagicWand(int x, int y, TPVSelOp op = pvspReplace);
  // Client coordinates; returns the grip, which flips when the rectangle
  // turns over.
  int SelectResizeEx(int grip, int x, int y);
  // Bitmap units.
  int SelectMoveEx(int grip, int dx, int dy);
  void ShowSelectionEx(bool draw);
  void HideSelectionEx(bool repaint);
  void SetVisibleSelection(bool visible);
  TColor GetSelColor1() const { return sel_poly_.SelColor1; }
  TColor GetSelColor2() const { return sel_poly_.SelColor2; }
  void SetSelColor1(TColor color) { sel_poly_.SelColor1 = color; }
  void SetSelColor2(TColor color) { sel_poly_.SelColor2 = color; }
  int GetSelX1() const { return sel_poly_.X1; }
  int GetSelY1() const { return sel_poly_.Y1; }
  int GetSelX2() const { return sel_poly_.X2; }
  int GetSelY2() const { return sel_poly_.Y2; }
  int GetPolySelCount() const { return sel_poly_.Count(); }
  const TPoint* GetPolySelArray() const { return sel_poly_.Points.data(); }
  TPoint GetPolySel(int i) const;
  bool IsPointInsideSelection(int x, int y) const;
  // Client coordinates; -1 for none.
  int GetResizingGrip(int x, int y) const;
  int GetMovingGrip(int x, int y) const;
  // The selection's pixels of the view's bitmap into dest with the box at
  // point; the opposite way from source into the selection's place.
  void CopyFromPolygon(TBitmap& dest, TPoint point);
  void CopyToPolygon(const TBitmap& source, TPoint point);
  int MagicWandTolerance = 15;
  bool MagicWandMaxFilter = false;

  // --- Animated polygons (anim_polygon.cpp) -----------------------------------
  TPVAnimPolygon& SelectionAnimPolygon() { return sel_poly_; }
  TPVAnimPolygon* AnimPolygonNew(TColor color1, TColor color2, bool animated, bool sizeable);
  void AnimPolygonDel(TPVAnimPolygon* polygon);
  void AnimPolygonClear(TPVAnimPolygon* polygon);
  void AnimPolygonAddPtEx(TPVAnimPolygon* polygon, int x, int y);
  void AnimPolygonAddPt(TPVAnimPolygon* polygon, int x, int y);
  void AnimPolygonAddBreak(TPVAnimPolygon* polygon);
  void AnimPolygonRemoveLast(TPVAnimPolygon* polygon);
  void AnimPolygonRemoveLastPoint(TPVAnimPolygon* polygon);
  void AnimPolygonMove(TPVAnimPolygon* polygon, int dx, int dy, int maxX, int maxY);
  int AnimPolygonCount() const { return static_cast<int>(anim_list_.size()); }

  // --- Mouse interaction (mouse_interact.cpp) ----------------------------------
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseDoubleClick(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool WantSpecialKey(uint16_t Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  // Stores the view's own cursor and shows it.
  void SetCursor(TCursor cursor) override;
  TCursor GetOwnCursor() const { return own_cursor_; }
  // Shifts the stored mouse positions after an automatic scroll.
  virtual void SubMouseMoveScroll(int dx, int dy);
  // One step of the automatic scroll while dragging outside the image;
  // true when the view moved (the step timer then keeps going).
  bool MouseMoveScroll();
  bool PolygonDrawing() const { return poly_drawing_; }
  bool RectangleDragging() const { return rect_dragging_; }
  bool EllipseDragging() const { return ellipse_dragging_; }
  int ResizeGrip() const { return resize_grip_; }
  int MoveGrip() const { return move_grip_; }

  // --- Palette (only meaningful on 8-bit screens) ------------------------------------
  // 256 colours chosen by the quantizer for the bitmap.
  std::vector<TColor> _CreatePalette();
  // Our screens are 24-bit: nothing to realise, nothing changes.
  bool PaletteChanged(bool foreground);

  // --- Control messages ---------------------------------------------------------------
  void SetBounds(int left, int top, int width, int height) override;
  void Resize() override;
  void WMHScroll(int ScrollCode, int Pos) override;
  void WMVScroll(int ScrollCode, int Pos) override;
  void MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) override;

  // --- The processing component's access (pictavoview_proc.cpp) ---------------
  bool ProcGetSelection(int& x1, int& y1, int& x2, int& y2, const TPoint*& polygon,
                        int& polygonCount, const TPVMask*& mask) override;
  void ProcSelectBitmapRect(int x1, int y1, int x2, int y2, TPVSelOp op) override;
  void ProcDeSelect() override { DeSelect(); }
  bool ProcClientToBitmap(int& x, int& y) const override;

 private:
  class LayoutHost;
  friend class LayoutHost;

  bool CanLayout() const;
  // Bounding box of the selection polygon (break markers skipped).
  bool SelectionBox(TRect& box) const;
  TPVLayoutInput LayoutInput() const;
  void ScrollBy(TPVBarKind bar, int code, int pos);
  void ArmFilterDelay();
  void SetViewAxis(TPVBarKind bar, int v);
  void AfterScroll(bool horizontal, bool vertical);
  void SyncBarPosition(TPVBarKind bar);
  // Painting helpers (view_paint.cpp).
  void PaintBackgroundAround(TCanvas& canvas, const TRect& image);
  void PaintImage(TCanvas& canvas);
  bool PaintFiltered(TCanvas& canvas);
  void PaintGrid(TCanvas& canvas);
  void EnsureBackBuffer();
  // Selection and mouse helpers (selection.cpp, anim_polygon.cpp,
  // mouse_interact.cpp).
  void InitSelection();
  void RepaintUnlessLocked();
  void DrawOutline(TPVAnimPolygon& polygon, bool tick);
  void DrawGripSquares(TCanvas& canvas, const TPVAnimPolygon& polygon);
  void AppendRectangle(int x1, int y1, int x2, int y2);
  void DrawRubberBand();
  void DragMove(TShiftState shift, int x, int y, int rawX, int rawY);
  void HoverMove(TShiftState shift, int& x, int& y);
  void DragEllipse(TShiftState shift, int x, int y);
  bool ZoomClick(TMouseButton button, int x, int y);
  void ShowCursorShape(TCursor cursor);
  void AutoScrollTick();
  void ClampToImage(int& x, int& y) const;

  std::unique_ptr<TBitmap> bitmap_;
  std::unique_ptr<TBitmap> back_buffer_;
  std::unique_ptr<TBitmap> spare_;
  TPVViewGeometry geometry_;
  TResampleFilter zoom_filter_ = rfNone;
  bool delay_zoom_filter_ = true;
  TScrollStyle scroll_bars_ = ssNone;
  bool double_buffer_ = true;
  TPVBackgroundStyle background_style_ = pvbsSolid;
  TPVMouseInteract mouse_interact_;
  TPVSelectionOptions selection_options_{pvsoAnimated, pvsoSizeable, pvsoMoveable};
  TPVSelectionBase selection_base_ = pvsbClientArea;
  bool display_grid_ = false;
  int paint_lock_ = 0;
  bool in_layout_ = false;
  TPVMask mask_;
  bool has_selection_ = false;
  std::unique_ptr<TTimer> outline_timer_;
  // --- Selection and mouse state ------------------------------------------------
  // The selection polygon heads the list of animated polygons and is never
  // deleted; polygon_ and selection_visible_ name its points and flag.
  TPVAnimPolygon sel_poly_;
  std::vector<TPoint>& polygon_ = sel_poly_.Points;
  bool& selection_visible_ = sel_poly_.Visible;
  std::vector<TPVAnimPolygon*> anim_list_;
  std::vector<std::unique_ptr<TPVAnimPolygon>> anim_owned_;
  bool rect_dragging_ = false;
  bool poly_drawing_ = false;
  bool ellipse_dragging_ = false;
  int resize_grip_ = -1;
  int move_grip_ = -1;
  int press_count_ = 0;
  bool press_active_ = false;
  TPoint press_, prev_, band_;
  int press_view_x_ = 0, press_view_y_ = 0;
  TResampleFilter saved_filter_ = rfNone;
  TShiftState drag_shift_;
  TCursor own_cursor_ = kPVDefaultViewCursor;
  std::unique_ptr<TTimer> scroll_timer_;
};

}  // namespace pictavo
