// TPictavo: the all-in-one control.  An image view that owns one processing
// component and one I/O component, both attached to itself, and forwards
// their operations, so that an application drops one control to load,
// process and save images.  It adds no behaviour beyond that wiring, the
// shared progress handler, Assign with the I/O parameters, and the open and
// save dialogs.
#pragma once

#include <memory>
#include <string>

#include "io/pictavoio.h"
#include "processing/fft.h"
#include "processing/filters.h"
#include "processing/geometry.h"
#include "processing/histogram.h"
#include "processing/pictavoproc.h"
#include "view/pictavoview.h"

namespace pictavo {

class TPictavo : public TPictavoView {
 public:
  explicit TPictavo(TComponent* owner = nullptr);
  ~TPictavo() override;

  TPictavoProc& Proc() { return *proc_; }
  TPictavoIO& IO() { return *io_; }

  // --- Properties stored in the owned components --------------------------------
  bool GetAutoUndo() const { return proc_->GetAutoUndo(); }
  void SetAutoUndo(bool on) { proc_->SetAutoUndo(on); }
  // Setting reaches both components; reading returns the processing one's.
  TPVProgressEvent GetOnProgress() const { return proc_->OnProgress; }
  void SetOnProgress(const TPVProgressEvent& event);
  // The language of the previews and of the dialogs: setting reaches both
  // components; reading returns the processing one's.
  TMsgLanguage GetMsgLanguage() const { return proc_->GetMsgLanguage(); }
  void SetMsgLanguage(TMsgLanguage language) {
    proc_->SetMsgLanguage(language);
    io_->SetMsgLanguage(language);
  }
  TPRPreviewsParams GetProcPreviewsParams() const { return proc_->GetPreviewsParams(); }
  void SetProcPreviewsParams(TPRPreviewsParams params) { proc_->SetPreviewsParams(params); }
  // Setting reaches both components; reading returns the I/O one's.
  TFont& GetPreviewFont() { return io_->GetPreviewFont(); }
  void SetPreviewFont(const TFont& font);
  bool GetStreamHeaders() const { return io_->GetStreamHeaders(); }
  void SetStreamHeaders(bool on) { io_->SetStreamHeaders(on); }
  TPVPreviewEvent GetOnPreview() const { return proc_->OnPreview; }
  void SetOnPreview(const TPVPreviewEvent& event) { proc_->OnPreview = event; }
  TIOPreviewsParams GetIOPreviewsParams() const { return io_->GetPreviewsParams(); }
  void SetIOPreviewsParams(TIOPreviewsParams params) { io_->SetPreviewsParams(params); }
  TPVIOPreviewEvent GetOnIOPreview() const { return io_->OnIOPreview; }
  void SetOnIOPreview(const TPVIOPreviewEvent& event) { io_->OnIOPreview = event; }
  // Printing (PrintImage, PrintImagePos, PreviewPrintImage) and acquisition
  // (Acquire, SelectAcquireSource, GetTWainParams) arrive with their
  // subsystems.

  // --- Own operations ---------------------------------------------------------------
  // The I/O parameters of a TPictavo or TPictavoIO source, then the view's
  // copy of the image (bitmap, background, resolution).
  void Assign(TObject* source) override;
  void AssignIOParams(TObject* source);
  // The chosen file name, or "" when cancelled or when no host can show
  // the dialog.
  std::string ExecuteOpenDialog(const std::string& initialDir, const std::string& filter,
                                bool alwaysAnimate);
  std::string ExecuteSaveDialog(const std::string& initialDir, const std::string& filter,
                                bool alwaysAnimate);

  // --- Processing forwards ----------------------------------------------------------
  void SaveUndo() { proc_->SaveUndo(); }
  void ClearUndo() { proc_->ClearUndo(); }
  void Undo() { proc_->Undo(); }
  bool GetCanUndo() const { return proc_->CanUndo(); }
  void Negative() { proc_->Negative(); }
  void HSLvar(int dH, int dS, int dL) { proc_->HSLvar(dH, dS, dL); }
  void HSVvar(int dH, int dS, int dV) { proc_->HSVvar(dH, dS, dV); }
  void IntensityRGBall(int r, int g, int b) { proc_->IntensityRGBall(r, g, b); }
  void Contrast(int amount) { proc_->Contrast(amount); }
  void ApplyFilter(TGraphFilter filter) { proc_->ApplyFilter(filter); }
  void ApplyFilterPreset(TPVFilterPresets preset) { proc_->ApplyFilterPreset(preset); }
  void ConvertToGray() { proc_->ConvertToGray(); }
  void CastColorRange(const TRGB& beginColor, const TRGB& endColor, const TRGB& castColor) {
    proc_->CastColorRange(beginColor, endColor, castColor);
  }
  void Rotate(int angle, bool antialias) { proc_->Rotate(angle, antialias); }
  void Flip(TFlipDir direction) { proc_->Flip(direction); }
  void ImageResize(int newWidth, int newHeight) { proc_->ImageResize(newWidth, newHeight); }
  void Resample(int newWidth, int newHeight, TResampleFilter filter) {
    proc_->Resample(newWidth, newHeight, filter);
  }
  void Clear() { proc_->Clear(); }
  void SelCopyToClip() { proc_->SelCopyToClip(); }
  void CopyToClipboard() { proc_->CopyToClipboard(); }
  void SelPasteFromClipStretch() { proc_->SelPasteFromClipStretch(); }
  void PasteFromClipboard() { proc_->PasteFromClipboard(); }
  void SelCutToClip() { proc_->SelCutToClip(); }
  void PointPasteFromClip(int x, int y) { proc_->PointPasteFromClip(x, y); }
  void Merge(const TBitmap& other, int percent) { proc_->Merge(other, percent); }
  void Threshold(const TRGB& downLimit, const TRGB& upLimit, const TRGB& downVal,
                 const TRGB& upVal) {
    proc_->Threshold(downLimit, upLimit, downVal, upVal);
  }
  void HistEqualize(const TRGB& low, const TRGB& high) { proc_->HistEqualize(low, high); }
  void HistAutoEqualize() { proc_->HistAutoEqualize(); }
  void ClearSel() { proc_->ClearSel(); }
  void ConvertTo(int colors) { proc_->ConvertTo(colors); }
  void CropSel() { proc_->CropSel(); }
  void BumpMapping(int x, int y, int width, int height, int mixing, const TRGB& colour) {
    proc_->BumpMapping(x, y, width, height, mixing, colour);
  }
  void GetHistogram(THistogramItem* histogram) { proc_->GetHistogram(histogram); }
  void CalcImagePalette(TRGB* palette, int colors) { proc_->CalcImagePalette(palette, colors); }
  int CalcImageNumColors() { return proc_->CalcImageNumColors(); }
  std::unique_ptr<TBitmap> GetHSVChannel(int channel) { return proc_->GetHSVChannel(channel); }
  void GetHSVChannelAll(TBitmap& h, TBitmap& s, TBitmap& v) { proc_->GetHSVChannelAll(h, s, v); }
  std::unique_ptr<TBitmap> GetRGBChannel(int channel) { return proc_->GetRGBChannel(channel); }
  void GetRGBChannelAll(TBitmap& r, TBitmap& g, TBitmap& b) { proc_->GetRGBChannelAll(r, g, b); }
  void ConvertToBWOrdered() { proc_->ConvertToBWOrdered(); }
  void ConvertToBWThreshold(int threshold) { proc_->ConvertToBWThreshold(threshold); }
  void ConvertTo24Bit() { proc_->ConvertTo24Bit(); }
  bool DoPreviews(TPreviewEffectsSet effects) { return proc_->DoPreviews(effects); }
  bool DoIOPreviews(TPreviewParams pages) { return io_->DoPreviews(pages); }
  void Lens(int x, int y, int width, int height, double refraction) {
    proc_->Lens(x, y, width, height, refraction);
  }
  void Wave(int amplitude, int wavelength, int phase, bool reflective) {
    proc_->Wave(amplitude, wavelength, phase, reflective);
  }
  int WriteHiddenText(const std::string& text) { return proc_->WriteHiddenText(text); }
  int WriteHiddenData(const void* data, int length) { return proc_->WriteHiddenData(data, length); }
  std::string ReadHiddenText() { return proc_->ReadHiddenText(); }
  int ReadHiddenData(void* buffer, int size) { return proc_->ReadHiddenData(buffer, size); }
  int GetHiddenDataSpace() { return proc_->GetHiddenDataSpace(); }
  std::unique_ptr<TPVFtImage> FTCreateImage(TPVFtImageType type, int width, int height) {
    return proc_->FTCreateImage(type, width, height);
  }
  void FTConvertFrom(TPVFtImage& image) { proc_->FTConvertFrom(image); }
  void FTDisplayFrom(TPVFtImage& image) { proc_->FTDisplayFrom(image); }
  void Maximum(int winSize) { proc_->Maximum(winSize); }
  void Minimum(int winSize) { proc_->Minimum(winSize); }
  void Opening(int winSize) { proc_->Opening(winSize); }
  void Closing(int winSize) { proc_->Closing(winSize); }

  // --- I/O forwards -------------------------------------------------------------------
  void LoadFromFile(const std::string& name) { io_->LoadFromFile(name); }
  void SaveToFile(const std::string& name) { io_->SaveToFile(name); }
  void LoadFromStream(TStream& stream) { io_->LoadFromStream(stream); }
  void SaveToStream(TStream& stream, int32_t fileType) { io_->SaveToStream(stream, fileType); }
  void LoadFromFileFormat(const std::string& name, int32_t fileType) {
    io_->LoadFromFileFormat(name, fileType);
  }
  void LoadFromStreamFormat(TStream& stream, int32_t fileType) {
    io_->LoadFromStreamFormat(stream, fileType);
  }
  void ParamsFromFile(const std::string& name) { io_->ParamsFromFile(name); }
  void ParamsFromStream(TStream& stream) { io_->ParamsFromStream(stream); }
  void ParamsFromFileFormat(const std::string& name, int32_t fileType) {
    io_->ParamsFromFileFormat(name, fileType);
  }
  void ParamsFromStreamFormat(TStream& stream, int32_t fileType) {
    io_->ParamsFromStreamFormat(stream, fileType);
  }

  void LoadFromFileJpeg(const std::string& name) { io_->LoadFromFileJpeg(name); }
  void LoadFromStreamJpeg(TStream& stream) { io_->LoadFromStreamJpeg(stream); }
  void SaveToFileJpeg(const std::string& name) { io_->SaveToFileJpeg(name); }
  void SaveToStreamJpeg(TStream& stream) { io_->SaveToStreamJpeg(stream); }
  void LoadFromFileGif(const std::string& name) { io_->LoadFromFileGif(name); }
  void LoadFromStreamGif(TStream& stream) { io_->LoadFromStreamGif(stream); }
  void SaveToFileGif(const std::string& name) { io_->SaveToFileGif(name); }
  void SaveToStreamGif(TStream& stream) { io_->SaveToStreamGif(stream); }
  void LoadFromFilePCX(const std::string& name) { io_->LoadFromFilePCX(name); }
  void LoadFromStreamPCX(TStream& stream) { io_->LoadFromStreamPCX(stream); }
  void SaveToFilePCX(const std::string& name) { io_->SaveToFilePCX(name); }
  void SaveToStreamPCX(TStream& stream) { io_->SaveToStreamPCX(stream); }
  void LoadFromFileTIFF(const std::string& name) { io_->LoadFromFileTIFF(name); }
  void LoadFromStreamTIFF(TStream& stream) { io_->LoadFromStreamTIFF(stream); }
  void SaveToFileTIFF(const std::string& name) { io_->SaveToFileTIFF(name); }
  void SaveToStreamTIFF(TStream& stream) { io_->SaveToStreamTIFF(stream); }
  void LoadFromFileBMP(const std::string& name) { io_->LoadFromFileBMP(name); }
  void LoadFromStreamBMP(TStream& stream) { io_->LoadFromStreamBMP(stream); }
  void SaveToFileBMP(const std::string& name) { io_->SaveToFileBMP(name); }
  void SaveToStreamBMP(TStream& stream) { io_->SaveToStreamBMP(stream); }
  void LoadFromFilePNG(const std::string& name) { io_->LoadFromFilePNG(name); }
  void LoadFromStreamPNG(TStream& stream) { io_->LoadFromStreamPNG(stream); }
  void SaveToFilePNG(const std::string& name) { io_->SaveToFilePNG(name); }
  void SaveToStreamPNG(TStream& stream) { io_->SaveToStreamPNG(stream); }
  void LoadFromFileTGA(const std::string& name) { io_->LoadFromFileTGA(name); }
  void LoadFromStreamTGA(TStream& stream) { io_->LoadFromStreamTGA(stream); }
  void SaveToFileTGA(const std::string& name) { io_->SaveToFileTGA(name); }
  void SaveToStreamTGA(TStream& stream) { io_->SaveToStreamTGA(stream); }
  void LoadFromFilePXM(const std::string& name) { io_->LoadFromFilePXM(name); }
  void LoadFromStreamPXM(TStream& stream) { io_->LoadFromStreamPXM(stream); }
  void SaveToFilePXM(const std::string& name) { io_->SaveToFilePXM(name); }
  void SaveToStreamPXM(TStream& stream) { io_->SaveToStreamPXM(stream); }
  void LoadFromFileICO(const std::string& name) { io_->LoadFromFileICO(name); }
  void LoadFromStreamICO(TStream& stream) { io_->LoadFromStreamICO(stream); }
  void LoadFromFileCUR(const std::string& name) { io_->LoadFromFileCUR(name); }
  void LoadFromStreamCUR(TStream& stream) { io_->LoadFromStreamCUR(stream); }

  int InsertToFileGif(const std::string& name) { return io_->InsertToFileGif(name); }
  int InsertToFileTIFF(const std::string& name) { return io_->InsertToFileTIFF(name); }
  void ImportMetafile(const std::string& name, int width, int height) {
    io_->ImportMetafile(name, width, height);
  }
  bool InjectJpegIPTC(const std::string& name) { return io_->InjectJpegIPTC(name); }
  bool InjectJpegIPTCStream(TStream& source, TStream& dest) {
    return io_->InjectJpegIPTCStream(source, dest);
  }
  TIOParamsVals& GetIOParams() { return io_->IOParams(); }
  bool GetAborting() const { return io_->Aborting; }
  void SetAborting(bool on) { io_->Aborting = on; }

 private:
  // Owned through the component tree; freed by the destructor before the
  // view goes away.
  TPictavoProc* proc_;
  TPictavoIO* io_;
};

}  // namespace pictavo
