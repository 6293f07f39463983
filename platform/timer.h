// TTimer of the framework stand-in: fires OnTimer every Interval
// milliseconds on the application's queue (ProcessMessages), while Enabled
// and while OnTimer is assigned.  Under the manual clock, advancing the
// desktop's clock runs each tick at its due time.
#pragma once

#include <functional>

#include "platform/component.h"

namespace pictavo {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner = nullptr);
  ~TTimer() override;

  int GetInterval() const { return interval_; }
  // 0 stops the timer (as on the platform); a change restarts the count.
  void SetInterval(int ms);
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  void SetOnTimer(std::function<void(TObject* Sender)> handler);
  const std::function<void(TObject* Sender)>& GetOnTimer() const { return on_timer_; }
  // True while a tick is scheduled on the application.
  bool Running() const { return timer_id_ != 0; }

  // Runs OnTimer once (what the application calls at each tick).
  virtual void Timer();

 private:
  void Restart();

  int interval_ = 1000;
  bool enabled_ = true;
  std::function<void(TObject* Sender)> on_timer_;
  int timer_id_ = 0;
};

}  // namespace pictavo
