#include "io/iothread.h"

#include "platform/image.h"
#include "view/pvview.h"

#include <chrono>

#include "platform/app.h"

namespace pictavo {

TPVIOThread::TPVIOThread(TPictavoIO* caller, const std::string& fileName)
    : TThread(true), caller_(caller), file_name_(fileName) {
  SetFreeOnTerminate(true);
  // The private objects belong to the thread, so that they outlive neither
  // the thread nor depend on the caller's lifetime.
  io_ = std::make_unique<TPictavoIO>(nullptr);
  if (caller_) io_->IOParams().Assign(caller_->IOParams());
  bitmap_ = std::make_unique<TBitmap>();
  io_->SetAttachedBitmap(bitmap_.get());
}

TPVIOThread::~TPVIOThread() {
  PrepareDestroy();
  if (Started() && !Finished()) {
    abandoned_ = true;
    bool mainThread = Application().IsMainThread();
    while (!Finished()) {
      DoTerminate();
      if (mainThread) Application().CheckSynchronize();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  // The base destructor joins the (finished) thread before the private
  // objects go away with the members.
  WaitFor();
}

void TPVIOThread::Execute() {
  finished_load_ = false;
  Load();
  Synchronize([this] { Deliver(); });
  finished_load_ = true;
}

void TPVIOThread::Load() {
  io_->LoadFromFile(file_name_);
}

void TPVIOThread::DoTerminate() {
  io_->Aborting = true;
}

void TPVIOThread::Deliver() {
  if (abandoned_ || !caller_) return;
  caller_->IOParams().Assign(io_->IOParams());
  // A view target takes the bitmap by Assign and a TImage by its picture;
  // a bare target bitmap receives a copy.
  if (TPVView* view = caller_->GetAttachedPictavo())
    view->Assign(bitmap_.get());
  else if (TImage* image = caller_->GetAttachedTImage())
    image->Picture().SetBitmap(bitmap_.get());
  else if (TBitmap* target = caller_->GetAttachedBitmap())
    target->Assign(*bitmap_);
}

}  // namespace pictavo
