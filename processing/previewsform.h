// The processing preview form as the processing component sees it.
// TPictavoProc::DoPreviews fills the form's source bitmap with the selected
// area, shows the form modally, and on OK takes the source bitmap back as
// the result.  The form itself belongs to the dialogs layer, above this
// one, which provides it by installing a factory; without a factory
// DoPreviews answers False, as a cancelled dialog does.
#pragma once

#include <functional>
#include <memory>

#include "core/pvdefs.h"
#include "platform/forms.h"
#include "processing/pictavoproc.h"

namespace pictavo {

class TBitmap;
class TFont;

// What the host hands the form before showing it.
struct TPVPreviewsSetup {
  bool lockPreview = false;  // prppDefaultLockPreview of PreviewsParams
  TMsgLanguage language = TMsgLanguage(0);
  const TFont* font = nullptr;  // PreviewFont (the form keeps a copy)
  TPVProgressEvent onProgress;  // reported while OK applies the effect
  TComponent* host = nullptr;   // the progress sender of that final apply
  TPreviewEffectsSet effects;   // the pages to show
};

class IPVPreviewsForm {
 public:
  virtual ~IPVPreviewsForm() = default;
  // The form handed to OnPreview.
  virtual TForm* Form() = 0;
  virtual void Setup(const TPVPreviewsSetup& setup) = 0;
  // The bitmap of the form's source view: the selected area before the form
  // is shown, the processed image after OK.
  virtual TBitmap& SourceBitmap() = 0;
  virtual TModalResult ShowModal() = 0;
};

using TPVPreviewsFormFactory = std::function<std::unique_ptr<IPVPreviewsForm>(TComponent* owner)>;

// Installs the factory (an empty function removes it); returns the previous one.
TPVPreviewsFormFactory PVSetPreviewsFormFactory(TPVPreviewsFormFactory factory);

}  // namespace pictavo
