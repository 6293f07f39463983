#include "apps/viewer/loader.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "platform/app.h"

namespace pictavo::viewer {
namespace {

std::string LowerExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

}  // namespace

TFramePick FramePickFor(const std::string& fileName, int index) {
  const std::string ext = LowerExtension(fileName);
  TFramePick pick;
  pick.index = index;
  pick.gif = ext == "gif";
  pick.tiff = ext == "tif" || ext == "tiff";
  return pick;
}

ViewerLoadThread::ViewerLoadThread(const std::string& fileName, const TFramePick& frame, TDone done)
    : TPVIOThread(nullptr, fileName), frame_(frame), done_(std::move(done)) {
  SetFreeOnTerminate(false);  // the viewer owns the thread and deletes it
  TIOParamsVals& params = PrivateIO().IOParams();
  if (frame_.gif) params.GIF_ImageIndex = frame_.index;
  if (frame_.tiff) params.TIFF_ImageIndex = frame_.index;
}

ViewerLoadThread::~ViewerLoadThread() {
  if (!Started()) return;
  PrepareDestroy();
  const bool mainThread = Application().IsMainThread();
  while (!Finished()) {
    PrivateIO().Aborting = true;  // a running codec stops at its next check
    if (mainThread) Application().CheckSynchronize();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void ViewerLoadThread::Execute() {
  TPVIOThread::Execute();
  Synchronize([this] {
    if (done_) done_(*this);
  });
}

void ViewerLoadThread::Load() {
  try {
    TPVIOThread::Load();
  } catch (const std::exception& e) {
    PrivateIO().Aborting = true;
    exception_text_ = e.what();
  }
}

bool ViewerLoadThread::Succeeded() {
  return !PrivateIO().Aborting && !PrivateBitmap().Empty();
}

std::string ViewerLoadThread::FailureText() {
  std::string reason = PrivateIO().LastError().Message;
  if (reason.empty()) reason = exception_text_;
  return "Cannot open \"" + FileName() + "\"" + (reason.empty() ? "." : ": " + reason);
}

int ViewerLoadThread::FrameCount() {
  const TIOParamsVals& params = PrivateIO().IOParams();
  if (frame_.gif) return std::max(1, int(params.GIF_ImageCount));
  if (frame_.tiff) return std::max(1, int(params.TIFF_ImageCount));
  return 1;
}

}  // namespace pictavo::viewer
