// The I/O parameters preview form as the I/O component sees it.
// TPictavoIO::DoPreviews hands the form a 24-bit copy of the target bitmap
// and a copy of IOParams, shows it modally, and on OK takes the edited
// parameters back.  The form belongs to the dialogs layer, above this one,
// which provides it by installing a factory; without a factory DoPreviews
// answers false, as a cancelled dialog does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "formats/ioparams.h"
#include "platform/forms.h"

namespace pictavo {

class TBitmap;
class TFont;
enum TMsgLanguage : uint8_t;  // dialogs/: msSystem (0), msEnglish, ...

enum TIOPreviewsParamsItems : uint8_t { ioppDefaultLockPreview };
using TIOPreviewsParams = TSet<TIOPreviewsParamsItems>;

// The pages DoPreviews asks for: every format, the format of
// IOParams.FileType, or the named formats.
enum TPreviewParamsItems : uint8_t { ppALL, ppAUTO, ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA };
using TPreviewParams = TSet<TPreviewParamsItems>;

using TPVIOPreviewEvent = std::function<void(TObject* Sender, TForm* PreviewForm)>;

// What the component hands the form before showing it.
struct TPVIOPreviewsSetup {
  bool lockPreview = false;  // ioppDefaultLockPreview of PreviewsParams
  TMsgLanguage language = TMsgLanguage(0);
  const TFont* font = nullptr;     // PreviewFont (the form keeps a copy)
  std::vector<int32_t> fileTypes;  // one page per file type (ftJPEG, ...), in this order
};

class IPVIOPreviewsForm {
 public:
  virtual ~IPVIOPreviewsForm() = default;
  // The form handed to OnIOPreview.
  virtual TForm* Form() = 0;
  virtual void Setup(const TPVIOPreviewsSetup& setup) = 0;
  // The 24-bit copy of the target that the previews are made from.
  virtual TBitmap& SourceBitmap() = 0;
  // The parameters the form edits: a copy of IOParams before it is shown,
  // taken back after OK.
  virtual TIOParamsVals& Params() = 0;
  virtual TModalResult ShowModal() = 0;
};

using TPVIOPreviewsFormFactory =
    std::function<std::unique_ptr<IPVIOPreviewsForm>(TComponent* owner)>;

// Installs the factory (an empty function removes it); returns the previous one.
TPVIOPreviewsFormFactory PVSetIOPreviewsFormFactory(TPVIOPreviewsFormFactory factory);

// The file types of the pages `pages` asks for, in display order (JPEG,
// TIFF, GIF, BMP, PCX, PNG, TGA); ppAUTO adds `fileType` when it is one of
// them.
std::vector<int32_t> PVIOPreviewPages(TPreviewParams pages, int32_t fileType);

}  // namespace pictavo
