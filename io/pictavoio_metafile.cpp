// TPictavoIO::ImportMetafile: renders a WMF or EMF file into the target
// bitmap through the platform metafile player.
#include <algorithm>
#include <cstdint>

#include "core/pvdefs.h"
#include "io/pictavoio.h"
#include "platform/exceptions.h"
#include "platform/metafile.h"

namespace pictavo {

namespace {

// Longest side of an imported metafile, in pixels.
constexpr int64_t kMaxMetafileSide = 2800;

// The size to render at: the arguments, or one of them with the other side
// following the metafile's aspect, or the metafile's own size.  Integer
// arithmetic, truncating; a side that cannot be computed is 0.
void ImportSize(int64_t w, int64_t h, int width, int height, int64_t& outW, int64_t& outH) {
  if (width >= 0 && height >= 0) {
    outW = width;
    outH = height;
  } else if (width < 0 && height >= 0) {
    outH = height;
    outW = h != 0 ? int64_t(height) * w / h : 0;
  } else if (height < 0 && width >= 0) {
    outW = width;
    outH = w != 0 ? int64_t(width) * h / w : 0;
  } else {
    outW = w;
    outH = h;
  }
}

}  // namespace

void TPictavoIO::ImportMetafile(const std::string& name, int width, int height) {
  Aborting = false;
  if (width == 0 || height == 0) return;
  ClearLists();
  if (!bitmap_) return;  // no target: nothing to render into
  TMetafile metafile;
  metafile.SetPixelsPerInch(gSystemDPIX, gSystemDPIY);
  try {
    metafile.LoadFromFile(name);
  } catch (const EInvalidGraphic&) {
    Aborting = true;  // not a metafile we can read
    return;
  }
  int64_t w = 0, h = 0;
  ImportSize(metafile.GetWidth(), metafile.GetHeight(), width, height, w, h);
  if (w <= 0 || h <= 0) {
    Aborting = true;
    return;
  }
  if (w > kMaxMetafileSide || h > kMaxMetafileSide) {
    int64_t longer = std::max(w, h);
    w = w * kMaxMetafileSide / longer;
    h = h * kMaxMetafileSide / longer;
  }
  // The bitmap is one pixel smaller than the metafile each way; a picture
  // that leaves no pixel, or more than the reader pixel limit, is refused.
  if (!PVImageSizeAllowed(w - 1, h - 1)) {
    Aborting = true;
    return;
  }
  metafile.SetWidth(int(w));
  metafile.SetHeight(int(h));
  bitmap_->SetPixelFormat(pf24bit);
  bitmap_->SetSize(int(w - 1), int(h - 1));
  params_->FileName = name;
  params_->FileType = metafile.GetEnhanced() ? ftEMF : ftWMF;
  params_->BitsPerSample = 8;
  params_->SamplesPerPixel = 3;
  params_->Width = bitmap_->GetWidth();
  params_->Height = bitmap_->GetHeight();
  params_->DpiX = gSystemDPIX;
  params_->DpiY = gSystemDPIY;
  params_->FreeColorMap();
  SetViewResolution();
  Clear();
  metafile.Draw(bitmap_->Canvas(), 0, 0);
  Update();
}

}  // namespace pictavo
