// TfPreviews: pages, parameters, the result refresh and the final apply.
#include "dialogs/pvpreviews.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "core/conversions.h"
#include "platform/app.h"
#include "platform/canvas.h"
#include "platform/colors.h"
#include "platform/exceptions.h"
#include "processing/colour_ops.h"
#include "processing/colour_spaces.h"
#include "processing/effects.h"
#include "processing/geometry.h"
#include "processing/histogram.h"
#include "processing/resample.h"

namespace pictavo {

namespace {

constexpr int kPositionMax = 32767;
constexpr int kChannelMax = 255;
constexpr int kProgressMax = 100;
// The lens refraction edit holds (refraction - 1) x 10.
constexpr int kDefaultRefractionEdit = 7;
constexpr double kRefractionEditScale = 10.0;
constexpr int kWaveDefault = 10;

constexpr TPVPreviewParamInfo kParams[kPVPreviewParamCount] = {
    {pvpContrast, -100, 100, 0, 0},       // contrast
    {pvpContrast, -100, 100, 0, 0},       // brightness
    {pvpHSV, -180, 180, 0, 0},            // hue
    {pvpHSV, -100, 100, 0, 0},            // saturation
    {pvpHSV, -100, 100, 0, 0},            // value
    {pvpHSL, -180, 180, 0, 0},            // hue
    {pvpHSL, -100, 100, 0, 0},            // saturation
    {pvpHSL, -100, 100, 0, 0},            // luminosity
    {pvpRGB, -255, 255, 0, 0},            // red
    {pvpRGB, -255, 255, 0, 0},            // green
    {pvpRGB, -255, 255, 0, 0},            // blue
    {pvpUserFilter, -100, 100, 0, 0},     // coefficients
    {pvpUserFilter, -100, 100, 0, 0},     //
    {pvpUserFilter, -100, 100, 0, 0},     //
    {pvpUserFilter, -100, 100, 0, 0},     //
    {pvpUserFilter, -100, 100, 1, 0},     // centre
    {pvpUserFilter, -100, 100, 0, 0},     //
    {pvpUserFilter, -100, 100, 0, 0},     //
    {pvpUserFilter, -100, 100, 0, 0},     //
    {pvpUserFilter, -100, 100, 0, 0},     //
    {pvpUserFilter, -100, 100, 0, 1},     // divisor
    {pvpEqualize, 0, 1, 0, 0},            // "Equalize" toggle
    {pvpBumpMap, 0, kPositionMax, 0, 0},  // left (reset from the source)
    {pvpBumpMap, 0, kPositionMax, 0, 0},  // top
    {pvpBumpMap, 0, kPositionMax, 0, 0},  // width
    {pvpBumpMap, 0, kPositionMax, 0, 0},  // height
    {pvpBumpMap, 0, 100, 0, 0},           // source image quantity (%)
    {pvpLens, 0, kPositionMax, 0, 0},     // left
    {pvpLens, 0, kPositionMax, 0, 0},     // top
    {pvpLens, 0, kPositionMax, 0, 0},     // width
    {pvpLens, 0, kPositionMax, 0, 0},     // height
    {pvpLens, 0, kPositionMax, kDefaultRefractionEdit, 0},
    {pvpWave, 0, kPositionMax, kWaveDefault, 0},  // amplitude
    {pvpWave, 0, kPositionMax, kWaveDefault, 0},  // wave length
    {pvpWave, 0, 359, 0, 0},                      // phase
    {pvpWave, 0, 1, 0, 0},                        // reflective
    {pvpMorph, 0, 3, 0, 0},                       // list index
    {pvpMorph, 1, 64, 1, 1},                      // window size
    {pvpRotate, 0, 1, 0, 0},                      // flip horizontally
    {pvpRotate, 0, 1, 0, 0},                      // flip vertically
    {pvpRotate, -180, 180, 0, 0},                 // angle
    {pvpFFT, 0, 1, 1, 0},                         // gray scale
};

// Page order -> effect member and tab tag (0: no tag).
constexpr TPreviewEffects kPageEffect[kPVPreviewPageCount] = {
    peContrast, peHSV,  peHSL,  peRGB,   peUserFilt, peEqualize,
    peBumpMap,  peLens, peWave, peMorph, peRotate,   peFFT};
constexpr int kPageTag[kPVPreviewPageCount] = {1, 5, 2, 3, 4, 6, 7, 8, 9, 10, 0, 0};
constexpr int kWaveTag = 9;

TRGB WithChannel(TRGB c, TPVHistChannel channel, int v) {
  const uint8_t b = uint8_t(v);
  switch (channel) {
    case pvhcRed:
      c.r = b;
      break;
    case pvhcGreen:
      c.g = b;
      break;
    case pvhcBlue:
      c.b = b;
      break;
    case pvhcGray:
      c.r = c.g = c.b = b;
      break;
  }
  return c;
}

TRGB Gray(int v) {
  return CreateRGB(uint8_t(v), uint8_t(v), uint8_t(v));
}

}  // namespace

const std::array<const char*, kFilterPresetCount> TfPreviews::kPresetNames = {
    "None",        "Blur",        "Edges",      "Emboss",    "High Pass 1",
    "High Pass 2", "High Pass 3", "Low Pass 1", "Low Pass 2"};

const TPVPreviewParamInfo& PVPreviewParamInfo(TPVPreviewParam param) {
  return kParams[param];
}

int PVParsePreviewEdit(const std::string& text, int fallback) {
  size_t i = 0, n = text.size();
  while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  while (n > i && std::isspace(static_cast<unsigned char>(text[n - 1]))) --n;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == n) return fallback;
  long long v = 0;
  for (; i < n; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return fallback;
    v = v * 10 + (text[i] - '0');
    if (v > (long long)INT_MAX + 1) return fallback;
  }
  v = negative ? -v : v;
  if (v > INT_MAX || v < INT_MIN) return fallback;
  return int(v);
}

// --- Construction ------------------------------------------------------------------------

TfPreviews::TfPreviews(TComponent* owner) : TPVDialogModel(owner) {
  for (int p = 0; p < kPVPreviewParamCount; ++p) params_[p] = kParams[p].defaultValue;
  BuildViews();
  SetLanguage(msEnglish);
}

TfPreviews::~TfPreviews() {
  // Views go before the form that parents them.
  histogram_.reset();
  spectrum_.reset();
  result_.reset();
  source_.reset();
}

void TfPreviews::BuildViews() {
  form_ = std::make_unique<TForm>();
  form_->SetBounds(0, 0, 2 * kViewSize + 40, kViewSize + 260);
  auto make = [this](int left, int top) {
    auto view = std::make_unique<TPictavo>();
    view->SetParent(form_.get());
    view->SetBounds(left, top, kViewSize, kViewSize);
    view->SetAutoUndo(false);
    return view;
  };
  source_ = make(8, 8);
  result_ = make(kViewSize + 16, 8);
  spectrum_ = make(8, kViewSize + 16);
  source_->Proc().SetBackground(clBtnFace);
  source_->SetMouseInteract({miZoom, miScroll});
  source_->OnViewChange = [this](TObject*, int) {
    if (activated_ && !refreshing_) RefreshResult();
  };
  result_->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int X, int Y) {
    if (button == mbLeft) ResultClick(X, Y);
  };
  spectrum_->SetMouseInteract({miZoom, miSelect});
  spectrum_->SetSelectionBase(pvsbBitmap);
  histogram_ = std::make_unique<THistogramBox>();
  histogram_->SetParent(form_.get());
  histogram_->SetAttachedPictavoProc(&source_->Proc());
}

void TfPreviews::Setup(const TPVPreviewsSetup& setup) {
  host_lock_ = setup.lockPreview;
  if (setup.font) font_.Assign(*setup.font);
  on_progress_ = setup.onProgress;
  host_ = setup.host;
  effects_ = setup.effects;
  SetLanguage(setup.language);
}

TModalResult TfPreviews::ShowModal() {
  if (!PVHasDialogHost()) return mrCancel;
  Activate();
  const bool accepted = PVRunDialog(*this);
  activated_ = false;
  if (!accepted) return mrCancel;
  // OK: the effect of the active page goes into the whole source.
  final_apply_ = true;
  ApplyCurrent(*source_, true);
  final_apply_ = false;
  return mrOk;
}

void TfPreviews::SetLanguage(TMsgLanguage language) {
  language_ = language;
  auto w = [language](TMsgLanguageWords word) { return pvmsg(word, language); };
  TPVPreviewsCaptions& c = captions_;
  c.Form = c.Preview = w(PVMSG_PREVIEW);
  c.Source = w(PVMSG_SOURCE) + ":";
  c.Result = w(PVMSG_RESULT) + ":";
  c.Ok = w(PVMSG_OK);
  c.Cancel = w(PVMSG_CANCEL);
  c.LockHint = w(PVMSG_LOCKPREVIEW);
  c.CopyHint = w(PVMSG_COPYRESULTTOSOURCE);
  c.Pages = {w(PVMSG_CONTRAST),     "HSV",      "HSL",         "RGB",         w(PVMSG_USERFILTER),
             w(PVMSG_EQUALIZATION), "Bump map", w(PVMSG_LENS), w(PVMSG_WAVE), w(PVMSG_MORPHFILTER),
             w(PVMSG_ROTATE),       "FFT"};
  c.Channels = {w(PVMSG_RED), w(PVMSG_GREEN), w(PVMSG_BLUE), w(PVMSG_GRAY)};
  c.MorphItems = {w(PVMSG_MAXIMUM), w(PVMSG_MINIMUM), w(PVMSG_OPEN), w(PVMSG_CLOSE)};
  c.FlipHorizontal = w(PVMSG_FLIPHOR);
  c.FlipVertical = w(PVMSG_FLIPVER);
  c.SpectrumGroup = w(PVMSG_SELECTTHEREGIONTOCLEAR);
  c.Clear = w(PVMSG_CLEAR);
  c.Reset = w(PVMSG_RESET);
  c.GrayScale = w(PVMSG_GRAYSCALE);
  form_->SetCaption(c.Form);
}

// --- Activation and pages ----------------------------------------------------------------

bool TfPreviews::PageVisible(TPVPreviewPage page) const {
  return effects_.Contains(peAll) || effects_.Contains(kPageEffect[page]);
}

std::vector<TPVPreviewPage> TfPreviews::VisiblePages() const {
  std::vector<TPVPreviewPage> pages;
  for (int p = 0; p < kPVPreviewPageCount; ++p)
    if (PageVisible(TPVPreviewPage(p))) pages.push_back(TPVPreviewPage(p));
  return pages;
}

void TfPreviews::Activate() {
  final_apply_ = false;
  set_up_.fill(false);
  const std::vector<TPVPreviewPage> pages = VisiblePages();
  page_ = pages.empty() ? pvpContrast : pages.front();
  ResetPage(page_);
  lock_ = host_lock_;
  source_->Update();
  source_->Fit();
  Application().ProcessMessages();
  activated_ = true;
  PageChanged();
}

bool TfPreviews::SelectPage(TPVPreviewPage page) {
  if (!PageVisible(page)) return false;
  page_ = page;
  PageChanged();
  return true;
}

void TfPreviews::PageChanged() {
  if (!set_up_[page_]) ResetPage(page_);
  const int tag = kPageTag[page_];
  TPVMouseInteract interact = source_->GetMouseInteract();
  if (tag == kWaveTag) {
    interact.Exclude(miZoom);
    source_->SetMouseInteract(interact);
    WithoutViewRefresh([this] { source_->Fit(); });
  } else if (tag != 0) {
    interact.Include(miZoom);
    source_->SetMouseInteract(interact);
  }
  RefreshResult();
}

void TfPreviews::ResetPage(TPVPreviewPage page) {
  for (int p = 0; p < kPVPreviewParamCount; ++p)
    if (kParams[p].page == page) params_[p] = kParams[p].defaultValue;
  const TBitmap& src = source_->Bitmap();
  const int w = src.GetWidth(), h = src.GetHeight();
  switch (page) {
    case pvpContrast: {
      int r = 0, g = 0, b = 0;
      _GetMediaContrastRGB(src, r, g, b);
      means_ = CreateRGB(uint8_t(r), uint8_t(g), uint8_t(b));
      break;
    }
    case pvpHSV:
      base_color_ = new_color_ = clWhite;
      break;
    case pvpUserFilter:
      preset_ = fpNone;
      break;
    case pvpEqualize:
      channels_ = {false, false, false, true};
      grips_ = {{{0, kChannelMax}, {0, kChannelMax}}};
      low_ = {Gray(0), Gray(0)};
      high_ = {Gray(kChannelMax), Gray(kChannelMax)};
      break;
    case pvpBumpMap:
    case pvpLens: {
      const bool bump = page == pvpBumpMap;
      const int side = std::max(w, h) / 2;
      params_[bump ? pvprBumpLeft : pvprLensLeft] = w / 2;
      params_[bump ? pvprBumpTop : pvprLensTop] = h / 2;
      params_[bump ? pvprBumpWidth : pvprLensWidth] = side;
      params_[bump ? pvprBumpHeight : pvprLensHeight] = side;
      if (bump) light_color_ = clWhite;
      break;
    }
    default:
      break;
  }
  set_up_[page] = true;
}

// --- Parameters ----------------------------------------------------------------------------

bool TfPreviews::SetParam(TPVPreviewParam param, int value) {
  const TPVPreviewParamInfo& info = kParams[param];
  value = std::clamp(value, info.minimum, info.maximum);
  if (params_[param] == value) return false;
  params_[param] = value;
  if (info.page == pvpUserFilter) preset_ = fpNone;
  // "Gray scale" rebuilds the spectrum whatever the lock says.
  if (param == pvprFFTGrayScale)
    RefreshResult();
  else
    ParamChanged();
  return true;
}

bool TfPreviews::SetParamText(TPVPreviewParam param, const std::string& text) {
  return SetParam(param, PVParsePreviewEdit(text, kParams[param].textDefault));
}

void TfPreviews::SetParamSilently(TPVPreviewParam param, int value) {
  const TPVPreviewParamInfo& info = kParams[param];
  params_[param] = std::clamp(value, info.minimum, info.maximum);
}

void TfPreviews::ParamChanged() {
  if (lock_) Preview();
}

void TfPreviews::SetBaseColor(TColor color) {
  base_color_ = color;
  int hb, sb, vb, hn, sn, vn;
  RGB2HSV(TColor2TRGB(ColorToRGB(base_color_)), hb, sb, vb);
  RGB2HSV(TColor2TRGB(ColorToRGB(new_color_)), hn, sn, vn);
  SetParamSilently(pvprHSVHue, hn - hb);
  SetParamSilently(pvprHSVSaturation, sn - sb);
  SetParamSilently(pvprHSVValue, vn - vb);
  ParamChanged();
}

void TfPreviews::SetNewColor(TColor color) {
  new_color_ = color;
  SetBaseColor(base_color_);
}

void TfPreviews::SetLightColor(TColor color) {
  if (light_color_ == color) return;
  light_color_ = color;
  ParamChanged();
}

TGraphFilter TfPreviews::CurrentFilter() const {
  TGraphFilter f;
  for (int i = 0; i < 9; ++i) f.Values[i / 3][i % 3] = params_[pvprFilter00 + i];
  f.Divisor = params_[pvprFilterDivisor];
  return f;
}

void TfPreviews::SelectPreset(int preset) {
  if (preset < 0 || preset >= kFilterPresetCount) return;
  const TGraphFilter& f = PVFiltPres[preset];
  for (int i = 0; i < 9; ++i)
    SetParamSilently(TPVPreviewParam(pvprFilter00 + i), f.Values[i / 3][i % 3]);
  SetParamSilently(pvprFilterDivisor, f.Divisor);
  preset_ = preset;
  ParamChanged();
}

bool TfPreviews::LoadFilter(const std::string& fileName) {
  TGraphFilter f;
  try {
    f = LoadFilterFromFile(fileName);
  } catch (const Exception&) {
    return false;
  }
  for (int i = 0; i < 9; ++i)
    SetParamSilently(TPVPreviewParam(pvprFilter00 + i), f.Values[i / 3][i % 3]);
  SetParamSilently(pvprFilterDivisor, f.Divisor);
  preset_ = fpNone;
  ParamChanged();
  return true;
}

bool TfPreviews::SaveFilter(const std::string& fileName) const {
  try {
    SaveFilterToFile(fileName, CurrentFilter());
  } catch (const Exception&) {
    return false;
  }
  return true;
}

void TfPreviews::SetChannelChecked(TPVHistChannel channel, bool checked) {
  channels_[channel] = checked;
}

void TfPreviews::SetGrip(TPVPreviewRuler ruler, int grip, int value) {
  grip = std::clamp(grip, 0, 1);
  value = std::clamp(value, 0, kChannelMax);
  std::array<int, 2>& g = grips_[ruler];
  g[grip] = value;
  // The other grip follows when it is passed.
  if (g[0] > g[1]) g[1 - grip] = value;
  StoreGrip(ruler, 0);
  StoreGrip(ruler, 1);
  ParamChanged();
}

void TfPreviews::StoreGrip(TPVPreviewRuler ruler, int grip) {
  TRGB& c = grip == 0 ? low_[ruler] : high_[ruler];
  for (int ch = 0; ch < 4; ++ch)
    if (channels_[ch]) c = WithChannel(c, TPVHistChannel(ch), grips_[ruler][grip]);
}

// --- Buttons and clicks ----------------------------------------------------------------------

void TfPreviews::SetLockPreview(bool down) {
  lock_ = down;
}

void TfPreviews::Preview() {
  if (!activated_) return;
  if (page_ == pvpFFT) {
    PreviewSpectrum();
    return;
  }
  TPictavoProc& proc = result_->Proc();
  proc.Undo();
  ApplyCurrent(*result_, false);
}

void TfPreviews::WithoutViewRefresh(const std::function<void()>& change) {
  const bool was = refreshing_;
  refreshing_ = true;
  change();
  refreshing_ = was;
}

void TfPreviews::CopyResultToSource() {
  // The source view's layout change would refresh with the old parameters.
  WithoutViewRefresh([this] { ApplyCurrent(*source_, false); });
  source_->Invalidate();
  set_up_.fill(false);
  ResetPage(page_);
  RefreshResult();
}

void TfPreviews::FFTReset() {
  spectrum_->DeSelect();
  RefreshResult();
}

TPoint TfPreviews::ResultToSource(int X, int Y) const {
  const double z = source_->GetZoom();
  if (z <= 0) return TPoint(0, 0);
  const int x = int(std::trunc((X - source_->OffsetX() + source_->GetViewX()) * 100 / z));
  const int y = int(std::trunc((Y - source_->OffsetY() + source_->GetViewY()) * 100 / z));
  return TPoint(x, y);
}

void TfPreviews::ResultClick(int X, int Y) {
  if (page_ == pvpHSV) {
    const TBitmap& bm = result_->Bitmap();
    const int x = result_->XScr2Bmp(X), y = result_->YScr2Bmp(Y);
    if (x < 0 || y < 0 || x >= bm.GetWidth() || y >= bm.GetHeight()) return;
    SetBaseColor(bm.GetPixel(x, y));
  } else if (page_ == pvpBumpMap || page_ == pvpLens) {
    const TPoint p = ResultToSource(X, Y);
    const bool bump = page_ == pvpBumpMap;
    SetParamSilently(bump ? pvprBumpLeft : pvprLensLeft, p.x);
    SetParamSilently(bump ? pvprBumpTop : pvprLensTop, p.y);
    ParamChanged();
  }
}

// --- Refreshing and applying -------------------------------------------------------------

void TfPreviews::RefreshResult() {
  if (!activated_ || refreshing_) return;
  refreshing_ = true;
  TBitmap& rb = result_->Bitmap();
  rb.SetPixelFormat(pf24bit);
  rb.SetSize(std::max(source_->ExtentX(), 1), std::max(source_->ExtentY(), 1));
  source_->DrawTo(rb.Canvas());
  result_->Proc().SaveUndo();
  if (PageVisible(pvpFFT)) RebuildSpectrum();
  if (page_ == pvpFFT)
    PreviewSpectrum();
  else
    ApplyCurrent(*result_, false);
  if (page_ == pvpEqualize) histogram_->Update();
  refreshing_ = false;
}

void TfPreviews::RebuildSpectrum() {
  const TBitmap& src = source_->Bitmap();
  const int w = src.GetWidth(), h = src.GetHeight();
  if (w < 1 || h < 1) return;
  // The longer side becomes kSpectrumSide; a filtered reduction stands in
  // for the desktop's halftone stretch.
  const double scale = double(kSpectrumSide) / std::max(w, h);
  TBitmap small(std::max(1, int(std::lround(w * scale))), std::max(1, int(std::lround(h * scale))),
                pf24bit);
  _Resample(src, small, rfTriangle, nullptr, nullptr);
  const TPVFtImageType type = params_[pvprFFTGrayScale] ? pvitGrayscale : pvitRGB;
  spectrum_progress_ = 0;
  ft_ = PVFTCreateImage(
      small, type, -1, -1,
      [this](TObject*, int per) { spectrum_progress_ = std::clamp(per, 0, kProgressMax); },
      &spectrum_->Proc());
}

int TfPreviews::ConvX(int x) const {
  return int(std::trunc(x * source_->GetZoom() / 100 - source_->GetViewX()));
}
int TfPreviews::ConvY(int y) const {
  return int(std::trunc(y * source_->GetZoom() / 100 - source_->GetViewY()));
}
int TfPreviews::ConvSize(int s) const {
  return int(std::trunc(s * source_->GetZoom() / 100));
}

void TfPreviews::ApplyCurrent(TPictavo& target, bool final) {
  TPVProgressEvent onProgress = final ? on_progress_ : TPVProgressEvent();
  TObject* sender = final ? host_ : nullptr;
  const bool toResult = &target == result_.get();
  if (page_ == pvpFFT) {
    if (toResult)
      PreviewSpectrum();
    else
      FinalSpectrum(onProgress, sender);
    return;
  }
  if (target.Bitmap().GetPixelFormat() != pf24bit) return;
  ApplyEffect(target.Bitmap(), toResult, onProgress, sender);
  target.Update();
  target.ImageChange();
}

void TfPreviews::ApplyEffect(TBitmap& bm, bool toResult, const TPVProgressEvent& onProgress,
                             TObject* sender) {
  const int W = bm.GetWidth(), H = bm.GetHeight();
  TProgressRec rec;
  rec.ProgressEvent = onProgress;
  rec.Sender = sender;
  const auto& p = params_;
  auto pos = [&](int x, int y, int w, int h, int& ox, int& oy, int& ow, int& oh) {
    ox = toResult ? ConvX(x) : x;
    oy = toResult ? ConvY(y) : y;
    ow = toResult ? ConvSize(w) : w;
    oh = toResult ? ConvSize(h) : h;
  };
  switch (page_) {
    case pvpContrast:
      ApplyContrast(bm, onProgress, sender);
      break;
    case pvpHSL:
      _HSLvar(bm, p[pvprHSLHue], p[pvprHSLSaturation], p[pvprHSLLuminosity], 0, 0, W, H, onProgress,
              sender);
      break;
    case pvpRGB:
      _IntensityRGBall(bm, p[pvprRed], p[pvprGreen], p[pvprBlue], 0, 0, W, H, onProgress, sender);
      break;
    case pvpUserFilter:
      _ApplyFilter(bm, CurrentFilter(), 0, 0, W, H, rec);
      break;
    case pvpHSV:
      _HSVvar(bm, p[pvprHSVHue], p[pvprHSVSaturation], p[pvprHSVValue], 0, 0, W, H, onProgress,
              sender);
      break;
    case pvpEqualize:
      ApplyEqualize(bm, onProgress, sender);
      break;
    case pvpBumpMap: {
      int x, y, w, h;
      pos(p[pvprBumpLeft], p[pvprBumpTop], p[pvprBumpWidth], p[pvprBumpHeight], x, y, w, h);
      _BumpMapping(bm, x, y, w, h, p[pvprBumpQuantity], TColor2TRGB(ColorToRGB(light_color_)), 0, 0,
                   W, H, rec);
      break;
    }
    case pvpLens: {
      int x, y, w, h;
      pos(p[pvprLensLeft], p[pvprLensTop], p[pvprLensWidth], p[pvprLensHeight], x, y, w, h);
      _lens(bm, x, y, w, h, 1 + p[pvprLensRefraction] / kRefractionEditScale, rec);
      break;
    }
    case pvpWave: {
      const int a = toResult ? ConvSize(p[pvprWaveAmplitude]) : p[pvprWaveAmplitude];
      const int l = toResult ? ConvSize(p[pvprWaveLength]) : p[pvprWaveLength];
      _wave(bm, a, l, p[pvprWavePhase], p[pvprWaveReflective] != 0, rec);
      break;
    }
    case pvpMorph:
      _MorphFilter(bm, p[pvprMorphWindow], p[pvprMorphOp], 0, 0, W, H, onProgress, sender);
      break;
    case pvpRotate:
      ApplyRotate(bm, onProgress, sender);
      break;
    case pvpFFT:
      break;
  }
}

// The contrast turns each channel around the source's mean (taken when the
// page was reset), so the preview of a part of the image shows what the
// whole image gets; the brightness is then added to all three channels.
void TfPreviews::ApplyContrast(TBitmap& bm, const TPVProgressEvent& onProgress,
                               TObject* sender) const {
  const int W = bm.GetWidth(), H = bm.GetHeight();
  const double k = PVContrastFactor(params_[pvprContrast]);
  uint8_t lut[3][256];
  const int means[3] = {means_.b, means_.g, means_.r};
  for (int ch = 0; ch < 3; ++ch)
    for (int c = 0; c < 256; ++c)
      lut[ch][c] =
          uint8_t(std::clamp(means[ch] + int(std::trunc((c - means[ch]) * k)), 0, kChannelMax));
  // Progress per row as the workers report it.
  const double perRow = 100 / (H - 1 + 0.5);
  for (int y = 0; y < H; ++y) {
    uint8_t* row = bm.ScanLine(y);
    for (int x = 0; x < W * 3; ++x) row[x] = lut[x % 3][row[x]];
    if (onProgress) onProgress(sender, int(std::trunc((y + 1) * perRow)));
  }
  const int b = params_[pvprBrightness];
  if (b != 0) _IntensityRGBall(bm, b, b, b, 0, 0, W, H, onProgress, sender);
}

void TfPreviews::ApplyEqualize(TBitmap& bm, const TPVProgressEvent& onProgress,
                               TObject* sender) const {
  const int W = bm.GetWidth(), H = bm.GetHeight();
  _Threshold(bm, low_[pvrlThreshold], high_[pvrlThreshold], Gray(0), Gray(kChannelMax), 0, 0, W, H,
             onProgress, sender);
  _HistEqualize(bm, low_[pvrlEqualize], high_[pvrlEqualize], 0, 0, W, H, onProgress, sender);
  if (params_[pvprEqualizeAuto]) _HistAutoEqualize(bm, 0, 0, W, H, onProgress, sender);
}

void TfPreviews::ApplyRotate(TBitmap& bm, const TPVProgressEvent& onProgress,
                             TObject* sender) const {
  if (params_[pvprFlipHorizontal]) _Flip(bm, fdHorizontal);
  if (params_[pvprFlipVertical]) _Flip(bm, fdVertical);
  const int angle = params_[pvprRotateAngle];
  if (angle != 0)
    _RotateShear(bm, angle, true, ColorToRGB(source_->Proc().GetBackground()), onProgress, sender);
}

// The selection in the spectrum only previews its removal: it is cleared
// in a copy, and the spectrum keeps every element.
void TfPreviews::PreviewSpectrum() {
  if (!ft_) RebuildSpectrum();
  if (!ft_) return;
  TPVFtImage kept;
  kept.Assign(*ft_);
  int x1, y1, x2, y2, count;
  const TPoint* poly;
  const TPVMask* mask;
  if (spectrum_->ProcGetSelection(x1, y1, x2, y2, poly, count, mask))
    ft_->ClearZone(x1, y1, x2 - 1, y2 - 1);
  ft_->GetFTImage(spectrum_->Bitmap());
  spectrum_->Update();
  spectrum_->Fit();
  ft_->BuildBitmap(result_->Bitmap());
  result_->Update();
  result_->ImageChange();
  ft_->Assign(kept);
}

// OK on the FFT page: the whole source is transformed and the region chosen
// on the preview's spectrum, scaled to the larger transform, is removed.
void TfPreviews::FinalSpectrum(const TPVProgressEvent& onProgress, TObject* sender) {
  const TPVFtImageType type = params_[pvprFFTGrayScale] ? pvitGrayscale : pvitRGB;
  const int previewN = ft_ ? ft_->GetN() : 0;
  std::unique_ptr<TPVFtImage> full =
      PVFTCreateImage(source_->Bitmap(), type, -1, -1, onProgress, sender);
  if (!full) return;
  int x1, y1, x2, y2, count;
  const TPoint* poly;
  const TPVMask* mask;
  if (previewN > 0 && spectrum_->ProcGetSelection(x1, y1, x2, y2, poly, count, mask)) {
    const double s = double(full->GetN()) / previewN;
    full->ClearZone(int(std::trunc(x1 * s)), int(std::trunc(y1 * s)), int(std::trunc(x2 * s)) - 1,
                    int(std::trunc(y2 * s)) - 1);
  }
  spectrum_->DeSelect();
  full->BuildBitmap(source_->Bitmap());
  source_->Update();
  source_->ImageChange();
}

namespace {

// The processing component's DoPreviews shows this dialog in every program
// that links the library.
const bool kFactoryInstalled = [] {
  PVSetPreviewsFormFactory([](TComponent* owner) -> std::unique_ptr<IPVPreviewsForm> {
    return std::make_unique<TfPreviews>(owner);
  });
  return true;
}();

}  // namespace

}  // namespace pictavo
