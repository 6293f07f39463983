// TPVIOThread: loads one file on a background thread into a private
// TPictavoIO and bitmap, then hands the result to the caller's component on
// the main thread through Synchronize.  The application creates it (the
// library creates none); it starts suspended, frees itself when it ends,
// and must be started with Start().
//
// Destroying it from the main thread while it waits for its synchronised
// step does not dead-lock: the destructor runs the pending step itself with
// delivery abandoned (the caller's component is left untouched), then
// frees the private objects.  With FreeOnTerminate set (the default) the
// application lets the thread finish and never deletes it itself.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/thread.h"

namespace pictavo {

class TPVIOThread : public TThread {
 public:
  TPVIOThread(TPictavoIO* caller, const std::string& fileName);
  ~TPVIOThread() override;

  TPictavoIO& PrivateIO() { return *io_; }
  TBitmap& PrivateBitmap() { return *bitmap_; }
  const std::string& FileName() const { return file_name_; }

 protected:
  void Execute() override;
  // The load itself; overridable (the default is LoadFromFile).
  virtual void Load();
  // Sets the private component's Aborting so that a running codec stops.
  void DoTerminate() override;

 private:
  void Deliver();

  TPictavoIO* caller_;
  std::unique_ptr<TPictavoIO> io_;
  std::unique_ptr<TBitmap> bitmap_;
  std::string file_name_;
  std::atomic<bool> finished_load_{true};
  std::atomic<bool> abandoned_{false};
};

}  // namespace pictavo
