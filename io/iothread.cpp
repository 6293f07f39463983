#include "io/iothread.h"

#include <chrono>
#include <exception>
#include <thread>

#include "core/imagehost.h"
#include "platform/app.h"
#include "platform/image.h"

namespace pictavo {

namespace {

constexpr auto kStopPollInterval = std::chrono::milliseconds(1);

}  // namespace

TPVIOThread::TPVIOThread(TPictavoIO* caller, const std::string& fileName)
    : TThread(true), caller_(caller), file_name_(fileName) {
  SetFreeOnTerminate(true);
  // The private objects belong to the thread, so that they depend neither on
  // the caller's lifetime nor outlive the thread.
  io_ = std::make_unique<TPictavoIO>(nullptr);
  if (caller_) io_->IOParams().Assign(caller_->IOParams());
  bitmap_ = std::make_unique<TBitmap>();
  io_->SetAttachedBitmap(bitmap_.get());
  // Runs on the worker at each progress report: the owner's request becomes
  // the reader's abort flag there.
  io_->OnProgress = [this](TObject*, int) {
    if (abort_requested_) io_->Aborting = true;
  };
}

void TPVIOThread::operator delete(TPVIOThread* thread, std::destroying_delete_t) {
  // The most derived object's address, taken before its destructor runs.
  void* whole = dynamic_cast<void*>(thread);
  thread->Stop();
  thread->~TPVIOThread();
  ::operator delete(whole);
}

TPVIOThread::~TPVIOThread() {
  // Already done by delete; kept for a thread that ends some other way.
  Stop();
}

void TPVIOThread::Stop() {
  PrepareDestroy();
  if (!Started() || Finished()) return;
  abandoned_ = true;
  const bool mainThread = Application().IsMainThread();
  while (!Finished()) {
    abort_requested_ = true;
    // The worker may wait for its synchronised step, which runs here.
    if (mainThread) Application().CheckSynchronize();
    std::this_thread::sleep_for(kStopPollInterval);
  }
  WaitFor();
}

void TPVIOThread::Execute() {
  try {
    if (abort_requested_)
      io_->Aborting = true;
    else
      Load();
  } catch (const std::exception& e) {
    // The file could not be opened: the reason is recorded already, unless
    // an overridden Load threw something else.
    io_->Aborting = true;
    io_->Diagnostics().Fail(TPVErrorCode::Internal, e.what());
  } catch (...) {
    io_->Aborting = true;
    io_->Diagnostics().Fail(TPVErrorCode::Internal, "unknown exception");
  }
  Synchronize([this] { Deliver(); });
}

void TPVIOThread::Load() {
  io_->LoadFromFile(file_name_);
}

void TPVIOThread::DoTerminate() {
  abort_requested_ = true;
  // The base class then hands OnTerminate to the main thread.
  TThread::DoTerminate();
}

bool TPVIOThread::Succeeded() {
  if (abort_requested_ && !io_->Aborting) io_->Aborting = true;
  if (io_->Aborting) {
    // Kept when the reader said why; otherwise the most likely reason.
    if (abort_requested_)
      io_->Diagnostics().Fail(TPVErrorCode::Cancelled, "cancelled");
    else
      io_->Diagnostics().Fail(TPVErrorCode::Corrupt,
                              "the image could not be loaded from " + file_name_);
    return false;
  }
  if (bitmap_->GetWidth() <= 0 || bitmap_->GetHeight() <= 0) {
    io_->Aborting = true;
    io_->Diagnostics().Fail(TPVErrorCode::UnknownFormat, "no image was loaded from " + file_name_);
    return false;
  }
  return true;
}

void TPVIOThread::Deliver() {
  if (abandoned_ || !caller_) return;
  TPVDiagnostics& diagnostics = caller_->Diagnostics();
  if (!Succeeded()) {
    // The caller's image and parameters stay as they were.
    caller_->Aborting = true;
    diagnostics.Error = io_->LastError();
    diagnostics.Warnings = io_->Warnings();
    return;
  }
  caller_->Aborting = false;
  diagnostics = io_->Diagnostics();
  caller_->IOParams().Assign(io_->IOParams());
  // A view target takes the bitmap by Assign and a TImage by its picture;
  // a bare target bitmap receives a copy.
  if (IPVImageHost* view = caller_->GetAttachedPictavo())
    view->Assign(bitmap_.get());
  else if (TImage* image = caller_->GetAttachedTImage())
    image->Picture().SetBitmap(bitmap_.get());
  else if (TBitmap* target = caller_->GetAttachedBitmap())
    target->Assign(*bitmap_);
}

}  // namespace pictavo
