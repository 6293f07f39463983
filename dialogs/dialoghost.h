// The dialog host: how a modal dialog model is shown.  The library's dialogs
// are toolkit-free models; a desktop host (the Qt host) installs one
// function that shows the real form over a model and returns true for OK,
// and tests install one that answers the model directly.  Without a host a
// dialog is cancelled at once, so a program without a display never blocks.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/component.h"

namespace pictavo {

enum TPVDialogKind : uint8_t { dkOpenPicture, dkSavePicture, dkProcessingPreview, dkIOPreview };

// Base of every modal dialog model.
class TPVDialogModel : public TComponent {
 public:
  using TComponent::TComponent;
  virtual TPVDialogKind DialogKind() const = 0;
};

// Shows `dialog` modally; true when the user accepted it.
using TPVDialogHost = std::function<bool(TPVDialogModel& dialog)>;

// Installs the host (an empty function removes it) and returns the previous one.
TPVDialogHost PVSetDialogHost(TPVDialogHost host);
bool PVHasDialogHost();
// Runs the installed host on the dialog; false at once when there is none.
bool PVRunDialog(TPVDialogModel& dialog);

// Installs a host for the lifetime of the object and restores the previous
// one afterwards (tests, nested hosts).
class TPVDialogHostScope {
 public:
  explicit TPVDialogHostScope(TPVDialogHost host) : previous_(PVSetDialogHost(std::move(host))) {}
  ~TPVDialogHostScope() { PVSetDialogHost(std::move(previous_)); }
  TPVDialogHostScope(const TPVDialogHostScope&) = delete;
  TPVDialogHostScope& operator=(const TPVDialogHostScope&) = delete;

 private:
  TPVDialogHost previous_;
};

}  // namespace pictavo
