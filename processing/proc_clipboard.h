// The clipboard as the processing component reaches it: one slot holding a
// packed DIB (CF_DIB).  By default an in-process slot; the platform
// clipboard (and the desktop host's bridge to the system clipboard) plugs
// in through PVSetProcClipboard, and tests install a clipboard that cannot
// be opened.
#pragma once

#include "platform/memory.h"

namespace pictavo {

class TPVProcClipboard {
 public:
  virtual ~TPVProcClipboard() = default;
  // False when the clipboard cannot be opened; Close follows a true Open.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool HasDIB() const = 0;
  // A copy of the DIB (null when there is none).
  virtual HGLOBAL GetDIB() const = 0;
  // Empties the clipboard and stores the DIB.
  virtual void SetDIB(HGLOBAL dib) = 0;
};

TPVProcClipboard& PVProcClipboard();
// Installs a clipboard (not owned); null restores the in-process slot.
void PVSetProcClipboard(TPVProcClipboard* clipboard);

}  // namespace pictavo
