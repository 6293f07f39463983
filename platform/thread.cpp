#include "platform/thread.h"

#include <chrono>

#include "platform/app.h"

namespace pictavo {

TThread::TThread(bool createSuspended) {
  if (!createSuspended) Start();
}

TThread::~TThread() {
  PrepareDestroy();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();  // deleting itself at the end of its own run
    } else {
      Terminate();
      // A thread blocked in Synchronize needs the main thread: run its
      // pending steps while waiting instead of dead-locking.
      if (Application().IsMainThread()) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!finished_) {
          lock.unlock();
          Application().CheckSynchronize();
          lock.lock();
          finished_cv_.wait_for(lock, std::chrono::milliseconds(1),
                                [&] { return finished_.load(); });
        }
      }
      thread_.join();
    }
  }
}

void TThread::Start() {
  bool expected = false;
  if (!started_.compare_exchange_strong(expected, true)) return;
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  try {
    Execute();
  } catch (...) {
    // An exception ends the thread; there is nobody to report it to.
  }
  try {
    DoTerminate();
  } catch (...) {
  }
  bool selfFree;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    selfFree = free_on_terminate_ && !external_destroy_;
  }
  finished_cv_.notify_all();
  if (selfFree) delete this;
}

void TThread::WaitFor() {
  if (!started_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  finished_cv_.wait(lock, [&] { return finished_.load(); });
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Synchronize(const std::function<void()>& step) {
  Application().Synchronize(step);
}

void TThread::PrepareDestroy() {
  std::lock_guard<std::mutex> lock(mutex_);
  external_destroy_ = true;
}

}  // namespace pictavo
