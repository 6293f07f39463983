// TApplication of the framework stand-in: the one main-thread message queue.
// Other threads post work to it (PostMessage) or run a step on the main
// thread and wait for it (Synchronize); the main thread runs both, and the
// due timers, in ProcessMessages.  Timers use a real monotonic clock by
// default; tests switch to a manual clock and advance it by hand.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace pictavo {

class TApplication {
 public:
  TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The thread that runs ProcessMessages; by default the one that first used
  // the application object.
  bool IsMainThread() const;
  void SetMainThread(std::thread::id id);

  // Queues work for the main thread (any thread may call it).
  void PostMessage(std::function<void()> message);
  // Runs the pending synchronised steps, then the posted messages that were
  // queued before the call, then the timers that are due.  Main thread only.
  void ProcessMessages();
  // Runs only the pending synchronised steps; true when one ran.
  bool CheckSynchronize();
  // Runs `step` on the main thread: directly when called there, otherwise it
  // is queued and the caller blocks until ProcessMessages (or
  // CheckSynchronize) has run it.  An exception of the step is rethrown in
  // the calling thread.
  void Synchronize(const std::function<void()>& step);
  // Number of pending posted messages and synchronised steps.
  int PendingCount() const;

  // Timers: `tick` runs from ProcessMessages every `intervalMs` milliseconds.
  int AddTimer(int intervalMs, std::function<void()> tick);
  void RemoveTimer(int id);

  // Due time of the earliest timer (INT64_MAX without timers).
  int64_t NextTimerDue() const;

  // Run at the end of every ProcessMessages on the main thread (the window
  // layer paints pending windows there).
  void SetIdleHandler(std::function<void()> handler);
  // Called from any thread after work was queued or a timer was added, so
  // that a host event loop can run ProcessMessages soon.
  void SetWakeHandler(std::function<void()> handler);

  // Clock in milliseconds used by the timers.
  int64_t NowMs() const;
  void UseManualClock(bool manual);
  void AdvanceClock(int64_t ms);

 private:
  struct SyncRequest {
    std::function<void()> step;
    bool done = false;
    std::exception_ptr error;
  };
  struct Timer {
    int interval;
    int64_t next;
    std::function<void()> tick;
  };

  mutable std::mutex mutex_;
  std::condition_variable sync_done_;
  std::deque<std::function<void()>> messages_;
  std::deque<std::shared_ptr<SyncRequest>> sync_;
  std::map<int, Timer> timers_;
  int next_timer_ = 1;
  std::thread::id main_thread_;
  bool manual_clock_ = false;
  std::function<void()> idle_handler_;
  std::function<void()> wake_handler_;
  void Wake();
  int64_t manual_now_ = 0;
};

// The process's application object.
TApplication& Application();

}  // namespace pictavo
