#include "platform/app.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <vector>

namespace pictavo {

TApplication& Application() {
  static TApplication app;
  return app;
}

namespace {
// The application object is created while the library loads, which happens
// on the program's main thread, so that thread is the main thread even when
// a worker is the first to ask for the application.
const bool application_created_at_load = (Application(), true);
}  // namespace

TApplication::TApplication() : main_thread_(std::this_thread::get_id()) {}

bool TApplication::IsMainThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::this_thread::get_id() == main_thread_;
}

void TApplication::SetMainThread(std::thread::id id) {
  std::lock_guard<std::mutex> lock(mutex_);
  main_thread_ = id;
}

void TApplication::PostMessage(std::function<void()> message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(std::move(message));
  }
  Wake();
}

void TApplication::Wake() {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake = wake_handler_;
  }
  if (wake) wake();
}

void TApplication::SetIdleHandler(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  idle_handler_ = std::move(handler);
}

void TApplication::SetWakeHandler(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_handler_ = std::move(handler);
}

int64_t TApplication::NextTimerDue() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int64_t due = INT64_MAX;
  for (const auto& [id, timer] : timers_) due = std::min(due, timer.next);
  return due;
}

bool TApplication::CheckSynchronize() {
  bool ran = false;
  for (;;) {
    std::shared_ptr<SyncRequest> request;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (sync_.empty()) break;
      request = sync_.front();
      sync_.pop_front();
    }
    try {
      request->step();
    } catch (...) {
      request->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      request->done = true;
    }
    sync_done_.notify_all();
    ran = true;
  }
  return ran;
}

void TApplication::ProcessMessages() {
  CheckSynchronize();
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(messages_);
  }
  for (auto& message : batch) message();
  // Timers that are due, each at most once per call.
  int64_t now = NowMs();
  std::vector<std::pair<int, std::function<void()>>> due;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, timer] : timers_) {
      if (timer.next <= now) {
        due.emplace_back(id, timer.tick);
        timer.next = now + timer.interval;
      }
    }
  }
  for (auto& [id, tick] : due) {
    bool alive;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      alive = timers_.count(id) != 0;  // an earlier tick may have removed it
    }
    if (alive) tick();
  }
  std::function<void()> idle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    idle = idle_handler_;
  }
  if (idle) idle();
}

void TApplication::Synchronize(const std::function<void()>& step) {
  if (IsMainThread()) {
    step();
    return;
  }
  auto request = std::make_shared<SyncRequest>();
  request->step = step;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sync_.push_back(request);
  }
  Wake();
  std::unique_lock<std::mutex> lock(mutex_);
  sync_done_.wait(lock, [&] { return request->done; });
  if (request->error) std::rethrow_exception(request->error);
}

int TApplication::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(messages_.size() + sync_.size());
}

int TApplication::AddTimer(int intervalMs, std::function<void()> tick) {
  if (intervalMs < 1) intervalMs = 1;
  int64_t now = NowMs();
  int id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = next_timer_++;
    timers_[id] = Timer{intervalMs, now + intervalMs, std::move(tick)};
  }
  Wake();
  return id;
}

void TApplication::RemoveTimer(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_.erase(id);
}

int64_t TApplication::NowMs() const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (manual_clock_) return manual_now_;
  }
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TApplication::UseManualClock(bool manual) {
  int64_t now = NowMs();
  std::lock_guard<std::mutex> lock(mutex_);
  if (manual && !manual_clock_) manual_now_ = now;
  manual_clock_ = manual;
}

void TApplication::AdvanceClock(int64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  manual_now_ += ms;
}

}  // namespace pictavo
