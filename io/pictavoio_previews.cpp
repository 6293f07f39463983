// TPictavoIO::DoPreviews: the parameters preview dialog over a copy of the
// target; the edited parameters come back when it closes with OK.
#include <utility>

#include "formats/registry.h"
#include "io/iopreviewsform.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"

namespace pictavo {

namespace {

TPVIOPreviewsFormFactory& Factory() {
  static TPVIOPreviewsFormFactory factory;
  return factory;
}

struct TPageOfItem {
  TPreviewParamsItems item;
  int32_t fileType;
};

// The pages in display order.
constexpr TPageOfItem kPages[] = {{ppJPEG, ftJPEG}, {ppTIFF, ftTIFF}, {ppGIF, ftGIF},
                                  {ppBMP, ftBMP},   {ppPCX, ftPCX},   {ppPNG, ftPNG},
                                  {ppTGA, ftTGA}};

}  // namespace

TPVIOPreviewsFormFactory PVSetIOPreviewsFormFactory(TPVIOPreviewsFormFactory factory) {
  return std::exchange(Factory(), std::move(factory));
}

std::vector<int32_t> PVIOPreviewPages(TPreviewParams pages, int32_t fileType) {
  std::vector<int32_t> types;
  for (const TPageOfItem& page : kPages) {
    const bool asked = pages.Contains(ppALL) || pages.Contains(page.item) ||
                       (pages.Contains(ppAUTO) && fileType == page.fileType);
    if (asked) types.push_back(page.fileType);
  }
  return types;
}

bool TPictavoIO::DoPreviews(TPreviewParams pages) {
  if (!bitmap_ || bitmap_->Empty() || !Factory()) return false;
  TPVIOPreviewsSetup setup;
  setup.fileTypes = PVIOPreviewPages(pages, params_->FileType);
  if (setup.fileTypes.empty()) return false;
  std::unique_ptr<IPVIOPreviewsForm> form = Factory()(this);
  if (!form) return false;
  setup.lockPreview = previews_params_.Contains(ioppDefaultLockPreview);
  setup.language = msg_language_;
  setup.font = &preview_font_;
  form->Setup(setup);
  // The target itself keeps its format: only the copy becomes 24-bit.
  TBitmap& copy = form->SourceBitmap();
  copy.Assign(*bitmap_);
  if (copy.GetPixelFormat() != pf24bit) copy.SetPixelFormat(pf24bit);
  form->Params().Assign(*params_);
  if (OnIOPreview) OnIOPreview(this, form->Form());
  if (form->ShowModal() != mrOk) return false;
  params_->Assign(form->Params());
  Update();
  return true;
}

}  // namespace pictavo
