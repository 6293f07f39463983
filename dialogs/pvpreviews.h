// TfPreviews: the processing preview dialog as a toolkit-free model.
//
// TPictavoProc::DoPreviews copies the selected area into the source view,
// shows the dialog, and on OK takes the source view's bitmap back.  The
// dialog shows the source on the left and, in the result view, the visible
// part of the source with the chosen effect applied; one page per effect
// holds its parameters.  A host (the Qt form, or a test) drives the model
// like a user: it selects pages, moves sliders and types into edits, clicks
// the result view, drags the ruler grips and presses the buttons; accepting
// the dialog (the host returns true) is pressing OK, which applies the
// effect of the active page to the whole source.
//
// The model is a TPVDialogModel and also the IPVPreviewsForm that the
// processing component asks for; Form() is a TForm the model owns and
// that parents the three views (source, result and spectrum).  The dialog
// registers itself as the previews form factory when the library loads, so
// DoPreviews uses it in every program.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/histogrambox.h"
#include "dialogs/dialoghost.h"
#include "dialogs/pvwords.h"
#include "processing/fft.h"
#include "processing/filters.h"
#include "processing/previewsform.h"
#include "view/pictavo.h"

namespace pictavo {

// The pages, in tab order.
enum TPVPreviewPage : uint8_t {
  pvpContrast,
  pvpHSV,
  pvpHSL,
  pvpRGB,
  pvpUserFilter,
  pvpEqualize,
  pvpBumpMap,
  pvpLens,
  pvpWave,
  pvpMorph,
  pvpRotate,
  pvpFFT
};
constexpr int kPVPreviewPageCount = 12;

// The integer parameters behind the sliders, edits, lists, toggles and
// check boxes (a toggle or check box is 0 or 1, a list its item index).
enum TPVPreviewParam : uint8_t {
  pvprContrast,
  pvprBrightness,
  pvprHSVHue,
  pvprHSVSaturation,
  pvprHSVValue,
  pvprHSLHue,
  pvprHSLSaturation,
  pvprHSLLuminosity,
  pvprRed,
  pvprGreen,
  pvprBlue,
  pvprFilter00,  // the nine coefficients, row by row
  pvprFilter01,
  pvprFilter02,
  pvprFilter10,
  pvprFilter11,
  pvprFilter12,
  pvprFilter20,
  pvprFilter21,
  pvprFilter22,
  pvprFilterDivisor,
  pvprEqualizeAuto,  // the "Equalize" toggle
  pvprBumpLeft,
  pvprBumpTop,
  pvprBumpWidth,
  pvprBumpHeight,
  pvprBumpQuantity,
  pvprLensLeft,
  pvprLensTop,
  pvprLensWidth,
  pvprLensHeight,
  pvprLensRefraction,  // (refraction - 1) x 10
  pvprWaveAmplitude,
  pvprWaveLength,
  pvprWavePhase,
  pvprWaveReflective,
  pvprMorphOp,  // list index: Maximum, Minimum, Opening, Closing
  pvprMorphWindow,
  pvprFlipHorizontal,
  pvprFlipVertical,
  pvprRotateAngle,
  pvprFFTGrayScale
};
constexpr int kPVPreviewParamCount = pvprFFTGrayScale + 1;

// Range, default and the default of an edit whose text is not a number.
struct TPVPreviewParamInfo {
  TPVPreviewPage page;
  int minimum, maximum;
  int defaultValue;
  int textDefault;
};
const TPVPreviewParamInfo& PVPreviewParamInfo(TPVPreviewParam param);

// An edit's text as an integer: optional blanks and sign, then digits only;
// anything else (or a number beyond int) gives `fallback`.
int PVParsePreviewEdit(const std::string& text, int fallback);

// The channel check boxes of the Equalization page.
enum TPVHistChannel : uint8_t { pvhcRed, pvhcGreen, pvhcBlue, pvhcGray };
// The two rulers of the Equalization page.
enum TPVPreviewRuler : uint8_t { pvrlThreshold, pvrlEqualize };

// The texts the form shows, set by SetLanguage.
struct TPVPreviewsCaptions {
  std::string Form, Preview, Source, Result, Ok, Cancel, LockHint, CopyHint;
  std::array<std::string, kPVPreviewPageCount> Pages;
  std::array<std::string, 4> Channels;    // Red, Green, Blue, Gray
  std::array<std::string, 4> MorphItems;  // Maximum, Minimum, Opening, Closing
  std::string FlipHorizontal, FlipVertical, SpectrumGroup, Clear, Reset, GrayScale;
};

class TfPreviews : public TPVDialogModel, public IPVPreviewsForm {
 public:
  // Client size of the source and result views.
  static constexpr int kViewSize = 256;
  // The longer side of the source copy whose spectrum the FFT page shows.
  static constexpr int kSpectrumSide = 128;
  // The filter file dialogs.
  static constexpr const char* kFilterExtension = "flt";
  static constexpr const char* kFilterFilter = "Filter (*.flt)|*.flt";
  static constexpr const char* kLoadFilterTitle = "Load filter";
  static constexpr const char* kSaveFilterTitle = "Save filter";
  static const std::array<const char*, kFilterPresetCount> kPresetNames;

  explicit TfPreviews(TComponent* owner = nullptr);
  ~TfPreviews() override;
  TPVDialogKind DialogKind() const override { return dkProcessingPreview; }

  // --- IPVPreviewsForm -----------------------------------------------------------
  TForm* Form() override { return form_.get(); }
  void Setup(const TPVPreviewsSetup& setup) override;
  TBitmap& SourceBitmap() override { return source_->Bitmap(); }
  // Activates the dialog and runs it through the dialog host; accepting it
  // applies the active page's effect to the whole source (OK).  mrCancel
  // at once without a host.
  TModalResult ShowModal() override;

  // --- State set by the host -------------------------------------------------------
  TPreviewEffectsSet GetEffects() const { return effects_; }
  void SetEffects(TPreviewEffectsSet effects) { effects_ = effects; }
  TMsgLanguage GetLanguage() const { return language_; }
  void SetLanguage(TMsgLanguage language);
  const TPVPreviewsCaptions& Captions() const { return captions_; }
  // The caption of a label or group box.
  std::string Label(TMsgLanguageWords word) const { return pvmsg(word, language_); }
  const TFont& GetFont() const { return font_; }

  // --- Views -------------------------------------------------------------------------
  TPictavo& SourceView() { return *source_; }
  TPictavo& ResultView() { return *result_; }
  TPictavo& SpectrumView() { return *spectrum_; }
  THistogramBox& Histogram() { return *histogram_; }
  // The spectrum of the preview (null before the FFT page was refreshed).
  TPVFtImage* SpectrumImage() { return ft_.get(); }
  // The spectrum's progress bar (0..100), filled while it is built.
  int SpectrumProgress() const { return spectrum_progress_; }

  // --- Activation and pages ----------------------------------------------------------
  // What the form does when it is shown: page flags cleared, lock toggle
  // from the host, first visible page activated, source fitted.
  void Activate();
  bool PageVisible(TPVPreviewPage page) const;
  std::vector<TPVPreviewPage> VisiblePages() const;
  TPVPreviewPage ActivePage() const { return page_; }
  // Switches to a visible page; false (nothing happens) for a hidden one.
  bool SelectPage(TPVPreviewPage page);
  bool PageSetUp(TPVPreviewPage page) const { return set_up_[page]; }

  // --- Parameters --------------------------------------------------------------------
  int GetParam(TPVPreviewParam param) const { return params_[param]; }
  // A slider, list, toggle or check box: clamped to the range, stored only
  // when it differs; with the lock down the result is refreshed.  True
  // when the value changed.
  bool SetParam(TPVPreviewParam param, int value);
  // An edit: parsed (PVParsePreviewEdit), then as SetParam.
  bool SetParamText(TPVPreviewParam param, const std::string& text);
  // The text an edit shows.
  std::string ParamText(TPVPreviewParam param) const { return std::to_string(params_[param]); }

  // HSV colour boxes: the deltas become new colour - base colour in HSV.
  TColor GetBaseColor() const { return base_color_; }
  TColor GetNewColor() const { return new_color_; }
  void SetBaseColor(TColor color);
  void SetNewColor(TColor color);
  // Bump map light colour.
  TColor GetLightColor() const { return light_color_; }
  void SetLightColor(TColor color);
  // Contrast page: the source's channel means (taken when the page resets).
  TRGB ContrastMeans() const { return means_; }

  // User filter.
  TGraphFilter CurrentFilter() const;
  int GetPreset() const { return preset_; }
  void SelectPreset(int preset);
  // False (nothing changes) when the file cannot be read or written.
  bool LoadFilter(const std::string& fileName);
  bool SaveFilter(const std::string& fileName) const;

  // Equalization page.
  bool GetChannelChecked(TPVHistChannel channel) const { return channels_[channel]; }
  void SetChannelChecked(TPVHistChannel channel, bool checked);
  int GetGrip(TPVPreviewRuler ruler, int grip) const { return grips_[ruler][grip]; }
  // Moves a grip (0 low, 1 high) within 0..255; the other follows when
  // passed.  Both values go into the checked channels of the ruler's low
  // and high colours.
  void SetGrip(TPVPreviewRuler ruler, int grip, int value);
  TRGB RulerLow(TPVPreviewRuler ruler) const { return low_[ruler]; }
  TRGB RulerHigh(TPVPreviewRuler ruler) const { return high_[ruler]; }

  // --- Buttons and clicks ------------------------------------------------------------
  bool GetLockPreview() const { return lock_; }
  void SetLockPreview(bool down);
  bool PreviewEnabled() const { return !lock_; }
  // Restores the result and applies the effect again.
  void Preview();
  // "<<": the effect goes into the source, every page starts again.
  void CopyResultToSource();
  // A left click in the result view at client (X, Y).
  void ResultClick(int X, int Y);
  // FFT page buttons (the "Gray scale" check box is pvprFFTGrayScale).
  void FFTPreview() { Preview(); }
  void FFTClear() { Preview(); }
  void FFTReset();

  // Client position in the result view -> source bitmap position.
  TPoint ResultToSource(int X, int Y) const;

 private:
  void BuildViews();
  void ResetPage(TPVPreviewPage page);
  void PageChanged();
  void RefreshResult();
  void RebuildSpectrum();
  void ParamChanged();
  // Runs a change of the source view without the refresh its view change
  // would start (the caller refreshes once afterwards).
  void WithoutViewRefresh(const std::function<void()>& change);
  void ApplyCurrent(TPictavo& target, bool final);
  void ApplyEffect(TBitmap& bitmap, bool toResult, const TPVProgressEvent& onProgress,
                   TObject* sender);
  void ApplyContrast(TBitmap& bitmap, const TPVProgressEvent& onProgress, TObject* sender) const;
  void ApplyEqualize(TBitmap& bitmap, const TPVProgressEvent& onProgress, TObject* sender) const;
  void ApplyRotate(TBitmap& bitmap, const TPVProgressEvent& onProgress, TObject* sender) const;
  void PreviewSpectrum();
  void FinalSpectrum(const TPVProgressEvent& onProgress, TObject* sender);
  void StoreGrip(TPVPreviewRuler ruler, int grip);
  void SetParamSilently(TPVPreviewParam param, int value);
  int ConvX(int x) const;
  int ConvY(int y) const;
  int ConvSize(int s) const;

  std::unique_ptr<TForm> form_;
  std::unique_ptr<TPictavo> source_, result_, spectrum_;
  std::unique_ptr<THistogramBox> histogram_;
  std::unique_ptr<TPVFtImage> ft_;
  TFont font_;
  TPVPreviewsCaptions captions_;
  TPreviewEffectsSet effects_{peAll};
  TMsgLanguage language_ = msEnglish;
  TPVProgressEvent on_progress_;
  TComponent* host_ = nullptr;
  bool host_lock_ = false;
  bool lock_ = false;
  bool final_apply_ = false;
  bool activated_ = false;
  bool refreshing_ = false;
  TPVPreviewPage page_ = pvpContrast;
  std::array<bool, kPVPreviewPageCount> set_up_{};
  std::array<int, kPVPreviewParamCount> params_{};
  TColor base_color_ = 0, new_color_ = 0, light_color_ = 0;
  TRGB means_{};
  int preset_ = 0;
  int spectrum_progress_ = 0;
  std::array<bool, 4> channels_{};
  std::array<std::array<int, 2>, 2> grips_{};
  std::array<TRGB, 2> low_{}, high_{};
};

}  // namespace pictavo
