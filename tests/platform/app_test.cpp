// The main-thread queue: posted messages, Synchronize from a worker, timers
// on the manual clock, and TThread's life cycle.
#include "platform/app.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/thread.h"

namespace pictavo {
namespace {

TEST(ApplicationTest, PostedMessagesRunInOrderOnProcessMessages) {
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) Application().PostMessage([&order, i] { order.push_back(i); });
  });
  worker.join();
  EXPECT_TRUE(order.empty());
  Application().ProcessMessages();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(ApplicationTest, SynchronizeBlocksUntilTheMainThreadRunsIt) {
  std::atomic<bool> returned{false};
  std::thread::id ranOn;
  std::thread worker([&] {
    Application().Synchronize([&] { ranOn = std::this_thread::get_id(); });
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(returned);
  while (!returned) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  // On the main thread it runs at once.
  int n = 0;
  Application().Synchronize([&] { ++n; });
  EXPECT_EQ(n, 1);
}

TEST(ApplicationTest, SynchronizeRethrowsInTheCaller) {
  bool caught = false;
  std::thread worker([&] {
    try {
      Application().Synchronize([] { throw std::runtime_error("step failed"); });
    } catch (const std::runtime_error&) {
      caught = true;
    }
  });
  while (Application().PendingCount() == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  Application().ProcessMessages();
  worker.join();
  EXPECT_TRUE(caught);
}

TEST(ApplicationTest, TimersOnTheManualClock) {
  Application().UseManualClock(true);
  int ticks = 0;
  int id = Application().AddTimer(150, [&] { ++ticks; });
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 0);
  Application().AdvanceClock(149);
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 0);
  Application().AdvanceClock(1);
  Application().ProcessMessages();
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 1);
  Application().AdvanceClock(150);
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 2);
  Application().RemoveTimer(id);
  Application().AdvanceClock(1000);
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 2);
  Application().UseManualClock(false);
}

class CountThread : public TThread {
 public:
  CountThread() : TThread(true) {}
  std::atomic<int> runs{0};
  std::atomic<bool> sawTerminate{false};

 protected:
  void Execute() override {
    ++runs;
    while (!Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sawTerminate = true;
  }
};

TEST(ThreadTest, SuspendedUntilStartedAndStopsOnTerminate) {
  CountThread t;
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(t.runs, 0);
  t.Start();
  t.Start();
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(t.runs, 1);
  EXPECT_TRUE(t.sawTerminate);
}

std::atomic<int> g_freed{0};
class SelfFreeing : public TThread {
 public:
  SelfFreeing() : TThread(true) { SetFreeOnTerminate(true); }
  ~SelfFreeing() override { ++g_freed; }

 protected:
  void Execute() override {}
};

TEST(ThreadTest, FreeOnTerminateDeletesItselfAndOnTerminateRunsOnTheMainThread) {
  g_freed = 0;
  auto* t = new SelfFreeing;
  std::thread::id terminatedOn;
  t->OnTerminate = [&](TThread*) { terminatedOn = std::this_thread::get_id(); };
  t->Start();
  for (int i = 0; i < 20000 && g_freed == 0; ++i) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(g_freed, 1);
  EXPECT_EQ(terminatedOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace pictavo
