// Loading in the background: a TPVIOThread that reads the file into its
// private component and bitmap, then runs the viewer's step on the main
// thread with the outcome.  The thread delivers nothing by itself (it has
// no caller): the viewer's step takes the bitmap and parameters only when
// the load succeeded, so a file that cannot be read leaves the shown image
// as it was.
#pragma once

#include <functional>
#include <string>

#include "io/iothread.h"

namespace pictavo::viewer {

// Which image of a multi-image file to read.
struct TFramePick {
  int index = 0;
  bool gif = false;
  bool tiff = false;
};
TFramePick FramePickFor(const std::string& fileName, int index);

class ViewerLoadThread : public TPVIOThread {
 public:
  // `done` runs on the main thread once the load has ended; it receives the
  // thread, whose PrivateIO and PrivateBitmap hold the outcome.
  using TDone = std::function<void(ViewerLoadThread& thread)>;
  ViewerLoadThread(const std::string& fileName, const TFramePick& frame, TDone done);
  // Stops a running load and waits for it here, while `done` still exists
  // (the base destructor would wait only after this class's members are
  // gone).  A pending step runs on the way, so call it from the main thread
  // with `done` made harmless (the viewer checks a load generation).
  ~ViewerLoadThread() override;

  // True when the file was read without failure.
  bool Succeeded();
  // Why the load failed, for the user.
  std::string FailureText();
  // Number of images in the file (1 for single-image formats).
  int FrameCount();

 protected:
  void Execute() override;
  // The load, with a file that cannot be opened turned into a failure.
  void Load() override;

 private:
  std::string exception_text_;
  TFramePick frame_;
  TDone done_;
};

}  // namespace pictavo::viewer
