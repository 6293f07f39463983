#include "dialogs/filepreview.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "io/pictavoio.h"
#include "io/registry.h"

namespace pictavo {
namespace {

constexpr int64_t kDefaultPreviewPixelLimit = int64_t(1) << 25;
int64_t gPreviewPixelLimit = kDefaultPreviewPixelLimit;

// JPEG decoding scales, largest reduction first.
constexpr struct {
  int denominator;
  TIOJPEGScale scale;
} kJpegScales[] = {{8, ioJPEG_EIGHTH}, {4, ioJPEG_QUARTER}, {2, ioJPEG_HALF}};

// The largest reduction whose output still covers the picture's box size,
// so that the shrink that follows only ever reduces.
TIOJPEGScale JpegPreviewScale(int width, int height, int boxWidth, int boxHeight) {
  auto [fw, fh] = PVFitInBox(width, height, boxWidth, boxHeight);
  for (const auto& s : kJpegScales)
    if (width / s.denominator >= fw && height / s.denominator >= fh) return s.scale;
  return ioJPEG_FULLSIZE;
}

// Reads the parameters of frame `frame`: by the file's content, checked
// against its extension first, then by content alone (a mislabelled file).
bool ReadParams(TPictavoIO& io, const std::string& name, int frame) {
  io.IOParams().GIF_ImageIndex = frame;
  io.IOParams().TIFF_ImageIndex = frame;
  io.ParamsFromFile(name);
  if (io.IOParams().FileType != 0 && !io.Aborting) return true;
  int32_t key = FindFileFormat(name, false);
  if (key == 0) return false;
  io.ParamsFromFileFormat(name, key);
  return io.IOParams().FileType != 0 && !io.Aborting;
}

void FillFromParams(TPVFilePreview& p, const TIOParamsVals& params) {
  p.FileType = params.FileType;
  p.FormatDescription = params.GetFileTypeStr();
  p.Width = params.Width;
  p.Height = params.Height;
  p.BitsPerSample = params.BitsPerSample;
  p.SamplesPerPixel = params.SamplesPerPixel;
  p.DpiX = params.DpiX;
  p.DpiY = params.DpiY;
  if (params.FileType == ftGIF) p.FrameCount = std::max(1, params.GIF_ImageCount);
  if (params.FileType == ftTIFF) p.FrameCount = std::max(1, params.TIFF_ImageCount);
  auto copy = std::make_shared<TIOParamsVals>();
  copy->Assign(params);
  p.Params = std::move(copy);
}

void LoadPicture(TPVFilePreview& p, TPictavoIO& io, TBitmap& bitmap, int boxWidth, int boxHeight) {
  TIOParamsVals& params = io.IOParams();
  int64_t pixels = int64_t(p.Width) * p.Height;
  if (p.FileType == ftJPEG) {
    params.JPEG_Scale = JpegPreviewScale(p.Width, p.Height, boxWidth, boxHeight);
    int denominator = 1 << (params.JPEG_Scale - ioJPEG_FULLSIZE);
    pixels = int64_t(p.Width / denominator) * (p.Height / denominator);
  }
  if (pixels > gPreviewPixelLimit) return;
  io.LoadFromFileFormat(p.FileName, p.FileType);
  if (io.Aborting || bitmap.Empty()) return;
  if (p.FileType == ftGIF) p.DelayTime = params.GIF_DelayTime;
  p.Picture = PVShrinkToBox(bitmap, boxWidth, boxHeight);
}

std::string SizeText(int64_t bytes) {
  char buf[32];
  if (bytes < 1024)
    std::snprintf(buf, sizeof buf, "%lld B", static_cast<long long>(bytes));
  else if (bytes < 1024 * 1024)
    std::snprintf(buf, sizeof buf, "%.1f KB", bytes / 1024.0);
  else
    std::snprintf(buf, sizeof buf, "%.1f MB", bytes / (1024.0 * 1024.0));
  return buf;
}

}  // namespace

int64_t PVGetPreviewPixelLimit() {
  return gPreviewPixelLimit;
}
void PVSetPreviewPixelLimit(int64_t pixels) {
  gPreviewPixelLimit = pixels;
}

std::pair<int, int> PVFitInBox(int width, int height, int boxWidth, int boxHeight) {
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return {0, 0};
  if (width <= boxWidth && height <= boxHeight) return {width, height};
  int64_t w = width, h = height;
  // Width-limited when w / h >= boxWidth / boxHeight.
  if (w * boxHeight >= h * boxWidth)
    return {boxWidth, static_cast<int>(std::max<int64_t>(1, h * boxWidth / w))};
  return {static_cast<int>(std::max<int64_t>(1, w * boxHeight / h)), boxHeight};
}

std::unique_ptr<TBitmap> PVShrinkToBox(const TBitmap& source, int boxWidth, int boxHeight) {
  const TBitmap* src = &source;
  TBitmap converted;
  if (source.GetPixelFormat() != pf24bit) {
    converted.Assign(source);
    converted.SetPixelFormat(pf24bit);
    src = &converted;
  }
  const int sw = src->GetWidth(), sh = src->GetHeight();
  const auto box = PVFitInBox(sw, sh, boxWidth, boxHeight);
  const int dw = box.first, dh = box.second;  // plain names: lambdas below capture them
  if (dw == 0 || dh == 0) return std::make_unique<TBitmap>();
  auto out = std::make_unique<TBitmap>(dw, dh, pf24bit);
  // Source column sx falls in output column sx * dw / sw (and rows alike), so
  // output x covers [ceil(x * sw / dw), ceil((x + 1) * sw / dw)).
  std::vector<int> columnOf(sw);
  std::vector<int> columnCount(dw, 0);
  for (int sx = 0; sx < sw; ++sx) {
    columnOf[sx] = static_cast<int>(int64_t(sx) * dw / sw);
    ++columnCount[columnOf[sx]];
  }
  auto firstRow = [&](int y) { return static_cast<int>((int64_t(y) * sh + dh - 1) / dh); };
  std::vector<uint64_t> sums(size_t(dw) * 3);
  for (int y = 0; y < dh; ++y) {
    const int y0 = firstRow(y), y1 = firstRow(y + 1);
    std::fill(sums.begin(), sums.end(), 0);
    for (int sy = y0; sy < y1; ++sy) {
      const uint8_t* row = src->ScanLine(sy);
      for (int sx = 0; sx < sw; ++sx) {
        uint64_t* s = &sums[size_t(columnOf[sx]) * 3];
        s[0] += row[sx * 3];
        s[1] += row[sx * 3 + 1];
        s[2] += row[sx * 3 + 2];
      }
    }
    uint8_t* dst = out->ScanLine(y);
    for (int x = 0; x < dw; ++x) {
      const uint64_t n = uint64_t(columnCount[x]) * (y1 - y0);
      for (int c = 0; c < 3; ++c)
        dst[x * 3 + c] = static_cast<uint8_t>((sums[x * 3 + c] + n / 2) / n);
    }
  }
  return out;
}

TPVFilePreview PVMakeFilePreview(const std::string& fileName, int boxWidth, int boxHeight,
                                 int frame) {
  TPVFilePreview p;
  p.FileName = fileName;
  p.Frame = std::max(0, frame);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return p;
  auto size = std::filesystem::file_size(fileName, ec);
  p.FileSize = ec ? 0 : static_cast<int64_t>(size);
  try {
    TBitmap bitmap;
    TPictavoIO io;
    io.SetAttachedBitmap(&bitmap);
    if (!ReadParams(io, fileName, p.Frame)) return p;
    FillFromParams(p, io.IOParams());
    p.Valid = true;
    if (p.Frame >= p.FrameCount) return p;  // no such frame: parameters only
    if (boxWidth > 0 && boxHeight > 0) LoadPicture(p, io, bitmap, boxWidth, boxHeight);
  } catch (const std::exception&) {
    p.Picture.reset();  // the file changed or vanished under us
  }
  return p;
}

std::vector<std::pair<std::string, std::string>> TPVFilePreview::InfoLines(
    TMsgLanguage language) const {
  std::vector<std::pair<std::string, std::string>> lines;
  if (!Valid) return lines;
  lines.emplace_back(pvmsg(PVMSG_DESCRIPTION, language), FormatDescription);
  lines.emplace_back(pvmsg(PVMSG_WIDTH, language), std::to_string(Width));
  lines.emplace_back(pvmsg(PVMSG_HEIGHT, language), std::to_string(Height));
  lines.emplace_back(pvmsg(PVMSG_COLORS, language), std::to_string(Depth()) + " bit");
  if (FrameCount > 1)
    lines.emplace_back(pvmsg(PVMSG_IMAGEINDEX, language), std::to_string(Frame + 1) + " " +
                                                              pvmsg(PVMSG_OF, language) + " " +
                                                              std::to_string(FrameCount));
  lines.emplace_back(pvmsg(PVMSG_ORIGINALSIZE, language), SizeText(FileSize));
  return lines;
}

}  // namespace pictavo
