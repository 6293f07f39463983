// THistogramBox: draws the red, green, blue and grey histogram of the
// image a processing component works on, as bars or lines, with optional
// value labels and a colour-ramp bar under the graph.  It reads the counts
// only when Update is called.
#pragma once

#include <array>
#include <cstdint>

#include "platform/bitmap.h"
#include "platform/control.h"
#include "processing/histogram.h"

namespace pictavo {

class TPictavoProc;

enum THistogramKindItem : uint8_t { hkRed, hkGreen, hkBlue, hkGray };
using THistogramKind = TSet<THistogramKindItem>;
enum THistogramLabel : uint8_t { hlVertical, hlHorizontal };
using THistogramLabels = TSet<THistogramLabel>;
enum THistogramStyle : uint8_t { hsBars, hsLines };

class THistogramBox : public TCustomControl {
 public:
  explicit THistogramBox(TComponent* owner = nullptr);
  ~THistogramBox() override;

  TPictavoProc* GetAttachedPictavoProc() const { return proc_; }
  void SetAttachedPictavoProc(TPictavoProc* proc);
  TColor GetBackground() const { return background_; }
  void SetBackground(TColor c);
  THistogramKind GetHistogramKind() const { return kind_; }
  void SetHistogramKind(THistogramKind k);
  THistogramLabels GetLabels() const { return labels_; }
  void SetLabels(THistogramLabels l);
  bool GetCompBar() const { return comp_bar_; }
  void SetCompBar(bool on);
  THistogramStyle GetHistogramStyle() const { return style_; }
  void SetHistogramStyle(THistogramStyle s);

  // Redraws the graph from the attached component and invalidates.
  void Update() override;
  const TBitmap& Image() const { return bitmap_; }

  void Paint() override;
  void Resize() override;
  void FontChanged() override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  using Counts = std::array<THistogramItem, kHistogramLevels>;
  bool FetchCounts(Counts& counts) const;
  uint32_t MaxCount(const Counts& counts) const;
  void DrawVerticalLabels(uint32_t max, int h, int& w, int& x0);
  void DrawHorizontalLabels(uint32_t max, int& h, int w, int x0);
  void DrawCompBar(int w, int x0, int barH);
  void DrawGraph(const Counts& counts, uint32_t max, int w, int h, int x0);

  TPictavoProc* proc_ = nullptr;
  TColor background_ = 0xFFFFFF;
  THistogramKind kind_{hkGray};
  THistogramLabels labels_{hlVertical, hlHorizontal};
  bool comp_bar_ = true;
  THistogramStyle style_ = hsBars;
  TBitmap bitmap_;
};

}  // namespace pictavo
