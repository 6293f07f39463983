#include "platform/timer.h"

#include "platform/app.h"

namespace pictavo {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  if (timer_id_) Application().RemoveTimer(timer_id_);
}

void TTimer::SetInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms < 0 ? 0 : ms;
  Restart();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void TTimer::SetOnTimer(std::function<void(TObject* Sender)> handler) {
  on_timer_ = std::move(handler);
  Restart();
}

void TTimer::Restart() {
  if (timer_id_) Application().RemoveTimer(timer_id_);
  timer_id_ = 0;
  if (enabled_ && interval_ > 0 && on_timer_)
    timer_id_ = Application().AddTimer(interval_, [this] { Timer(); });
}

void TTimer::Timer() {
  if (on_timer_) on_timer_(this);
}

}  // namespace pictavo
