// TPVIOThread: loads one file on a background thread into a private
// TPictavoIO and bitmap, then hands the result to the caller's component on
// the main thread through Synchronize.  The application creates it (the
// library creates none); it starts suspended, frees itself when it ends,
// and must be started with Start().
//
// Delivery: a successful load gives the caller the parameters and the
// image (a view by Assign, a TImage through its picture, a bare bitmap by
// copy) and its warnings.  A failed or cancelled load, or one that produced
// no image, leaves the caller's target and parameters untouched and sets
// the caller's Aborting and LastError() instead.
//
// Stopping: deleting a running thread object is safe whatever class derives
// from it.  The class has a destroying operator delete, so `delete` first
// stops the load (the abort request is raised and the worker is waited for,
// running a pending synchronised step with delivery abandoned) and only then
// runs the destructors: a subclass's members are never destroyed while its
// overridden Load() may still use them.  Objects must therefore live on the
// heap (new) and be deleted through delete, as a self-freeing thread must
// anyway.  With FreeOnTerminate set (the default) the application either
// lets the thread finish, or deletes it while it certainly still runs (for
// example from a handler before it delivered); deleting it after it freed
// itself is a double delete, as for any self-freeing thread.
//
// Abort flag: the private component's Aborting is a plain flag that only the
// worker touches.  The owner's request (DoTerminate, delete) goes to an
// atomic flag, which the worker copies into Aborting at each progress report
// of the reader, so no flag is shared between threads without atomics.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <string>

#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/thread.h"

namespace pictavo {

class TPVIOThread : public TThread {
 public:
  TPVIOThread(TPictavoIO* caller, const std::string& fileName);
  ~TPVIOThread() override;

  // Stops the load and waits for the worker before any destructor runs.
  static void operator delete(TPVIOThread* thread, std::destroying_delete_t);
  // The plain pair, used by new (and by a constructor that throws).
  static void* operator new(std::size_t size) { return ::operator new(size); }
  static void operator delete(void* memory) { ::operator delete(memory); }

  TPictavoIO& PrivateIO() { return *io_; }
  TBitmap& PrivateBitmap() { return *bitmap_; }
  const std::string& FileName() const { return file_name_; }
  // True once the owner asked the load to stop.
  bool AbortRequested() const { return abort_requested_; }

 protected:
  void Execute() override;
  // The load itself, on the worker thread; overridable (the default is the
  // private component's LoadFromFile).
  virtual void Load();
  // Asks the running load to stop (any thread).
  void DoTerminate() override;

 private:
  // Raises the abort request and waits until the worker has finished; safe
  // to call more than once and from the worker itself (which does not wait).
  void Stop();
  void Deliver();
  // Whether the private load produced an image; otherwise records why.
  bool Succeeded();

  TPictavoIO* caller_;
  std::unique_ptr<TPictavoIO> io_;
  std::unique_ptr<TBitmap> bitmap_;
  std::string file_name_;
  std::atomic<bool> abort_requested_{false};
  std::atomic<bool> abandoned_{false};
};

}  // namespace pictavo
