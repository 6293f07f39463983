// TThread of the framework stand-in over std::thread.  A thread is created
// suspended or started at once; Execute runs on the new thread, followed by
// DoTerminate.  With FreeOnTerminate the object deletes itself when
// Execute ends (the application must not delete it then).  Synchronize runs
// a step on the main thread through the application's queue.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace pictavo {

class TThread {
 public:
  explicit TThread(bool createSuspended);
  // Deleting a running thread asks it to terminate and waits for it.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a suspended thread (once; later calls do nothing).
  void Start();
  void Resume() { Start(); }
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool GetFreeOnTerminate() const { return free_on_terminate_; }
  void SetFreeOnTerminate(bool on) { free_on_terminate_ = on; }
  bool Started() const { return started_; }
  // True once Execute and DoTerminate have returned.
  bool Finished() const { return finished_; }
  // Blocks until the thread has finished (not for FreeOnTerminate threads).
  void WaitFor();

  // Called after Execute on the thread.
  std::function<void(TThread* Sender)> OnTerminate;

 protected:
  virtual void Execute() = 0;
  // Runs on the thread after Execute; calls OnTerminate on the main thread.
  virtual void DoTerminate();
  void Synchronize(const std::function<void()>& step);
  // A derived destructor that may run while the thread is still working
  // calls this first, so that a FreeOnTerminate thread does not delete
  // itself as well.
  void PrepareDestroy();

 private:
  void Run();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable finished_cv_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> free_on_terminate_{false};
  bool external_destroy_ = false;
};

}  // namespace pictavo
