// Background loading: TPVIOThread loads through a registered reader on its
// own thread while the main thread pumps the application's queue.
#include "io/iothread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "formats/registry.h"
#include "platform/app.h"

namespace pictavo {
namespace {

std::atomic<std::thread::id> g_readerThread;
std::atomic<bool> g_releaseReader{true};

// "SLOW" + one byte: a 3x2 image filled with that byte, read after a pause.
void SlowRead(TStream& s, TBitmap& bmp, TIOParamsVals& params, TProgressRec& progress, bool) {
  g_readerThread = std::this_thread::get_id();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Like a codec, it learns of an abort through its progress reports.
  while (!g_releaseReader && !progress.Report(0))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  uint8_t head[5];
  if (s.Read(head, 5) != 5 || std::memcmp(head, "SLOW", 4) != 0) {
    progress.Abort();
    return;
  }
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(3, 2);
  for (int y = 0; y < 2; ++y) std::memset(bmp.ScanLine(y), head[4], 9);
  params.Width = 3;
  params.Height = 2;
  params.JPEG_Quality = 77;
}

class IOThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TPVFileFormatInfo info;
    info.FileType = 6001;
    info.Description = "Slow test format";
    info.Extensions = "slow";
    info.ReadFunction = SlowRead;
    PVFileFormatAdd(info);
    file_ = (std::filesystem::temp_directory_path() /
             ("pictavo_thread_" + std::to_string(::getpid()) + ".slow"))
                .string();
    TFileStream f(file_, fmCreate);
    f.WriteBuffer("SLOW\x5A", 5);
    g_releaseReader = true;
  }
  void TearDown() override {
    PVFileFormatRemove(6001);
    std::filesystem::remove(file_);
  }
  std::string file_;
};

// Counts destructions, so the test knows when a self-freeing thread is gone.
std::atomic<int> g_destroyed{0};
class CountingThread : public TPVIOThread {
 public:
  using TPVIOThread::TPVIOThread;
  ~CountingThread() override { ++g_destroyed; }
};

TEST_F(IOThreadTest, LoadsInTheBackgroundAndDeliversOnTheMainThread) {
  TBitmap target;
  TPictavoIO caller;
  caller.SetAttachedBitmap(&target);
  caller.IOParams().GIF_DelayTime = 33;  // copied into the private component
  g_destroyed = 0;
  auto* thread = new CountingThread(&caller, file_);
  EXPECT_EQ(thread->PrivateIO().IOParams().GIF_DelayTime, 33);
  thread->Start();  // frees itself when done
  int pumps = 0;
  while (g_destroyed == 0 && pumps < 20000) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++pumps;
  }
  ASSERT_EQ(g_destroyed, 1);
  EXPECT_NE(g_readerThread.load(), std::this_thread::get_id());
  ASSERT_EQ(target.GetWidth(), 3);
  ASSERT_EQ(target.GetHeight(), 2);
  EXPECT_EQ(target.ScanLine(1)[8], 0x5A);
  EXPECT_EQ(caller.IOParams().FileType, 6001);
  EXPECT_EQ(caller.IOParams().JPEG_Quality, 77);
  EXPECT_EQ(caller.IOParams().FileName, file_);
}

TEST_F(IOThreadTest, OnTerminateRunsOnTheMainThreadAfterDelivery) {
  TBitmap target;
  TPictavoIO caller;
  caller.SetAttachedBitmap(&target);
  auto* thread = new TPVIOThread(&caller, file_);
  int widthWhenTerminated = -1;
  std::thread::id terminatedOn;
  thread->OnTerminate = [&](TThread*) {
    widthWhenTerminated = target.GetWidth();
    terminatedOn = std::this_thread::get_id();
  };
  thread->Start();
  for (int pumps = 0; widthWhenTerminated < 0 && pumps < 20000; ++pumps) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(widthWhenTerminated, 3);  // the image was delivered first
  EXPECT_EQ(terminatedOn, std::this_thread::get_id());
}

TEST_F(IOThreadTest, DeletingWhileItWaitsForTheMainThreadAbandonsDelivery) {
  TBitmap target;
  TPictavoIO caller;
  caller.SetAttachedBitmap(&target);
  auto* thread = new TPVIOThread(&caller, file_);
  thread->SetFreeOnTerminate(false);
  thread->Start();
  // Wait (without pumping) until the thread blocks in Synchronize.
  for (int i = 0; i < 20000 && Application().PendingCount() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_GT(Application().PendingCount(), 0);
  delete thread;  // must return
  EXPECT_EQ(Application().PendingCount(), 0);
  EXPECT_EQ(target.GetWidth(), 0);
  EXPECT_EQ(caller.IOParams().FileType, 0);
}

TEST_F(IOThreadTest, DeletingWhileLoadingStopsTheReader) {
  TBitmap target;
  TPictavoIO caller;
  caller.SetAttachedBitmap(&target);
  g_releaseReader = false;  // the reader waits until aborted
  auto* thread = new TPVIOThread(&caller, file_);
  thread->SetFreeOnTerminate(false);
  thread->Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  delete thread;
  EXPECT_EQ(target.GetWidth(), 0);
}

// Runs the thread to its end while pumping the main thread's queue.
void PumpUntil(const std::atomic<int>& counter, int value) {
  for (int pumps = 0; counter < value && pumps < 20000; ++pumps) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// A 4x4 target filled with 0x11 and parameters the test recognises.
void PrepareTarget(TBitmap& target, TPictavoIO& caller) {
  target.SetPixelFormat(pf24bit);
  target.SetSize(4, 4);
  for (int y = 0; y < 4; ++y) std::memset(target.ScanLine(y), 0x11, 12);
  caller.SetAttachedBitmap(&target);
  caller.IOParams().FileName = "before";
  caller.IOParams().JPEG_Quality = 12;
}

void ExpectTargetUntouched(TBitmap& target, TPictavoIO& caller) {
  ASSERT_EQ(target.GetWidth(), 4);
  ASSERT_EQ(target.GetHeight(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(target.ScanLine(y)[x], 0x11);
  EXPECT_EQ(caller.IOParams().FileName, "before");
  EXPECT_EQ(caller.IOParams().JPEG_Quality, 12);
}

TEST_F(IOThreadTest, FailedLoadLeavesTheTargetAndReportsWhy) {
  {
    TFileStream f(file_, fmCreate);
    f.WriteBuffer("BAD!\x5A", 5);  // the reader refuses it
  }
  TBitmap target;
  TPictavoIO caller;
  PrepareTarget(target, caller);
  g_destroyed = 0;
  (new CountingThread(&caller, file_))->Start();
  PumpUntil(g_destroyed, 1);
  ASSERT_EQ(g_destroyed, 1);
  EXPECT_TRUE(caller.Aborting);
  EXPECT_EQ(caller.LastError().Code, TPVErrorCode::Corrupt);
  EXPECT_EQ(caller.LastError().Message, "the image could not be loaded from " + file_);
  ExpectTargetUntouched(target, caller);
}

TEST_F(IOThreadTest, MissingFileLeavesTheTargetAndSaysSo) {
  TBitmap target;
  TPictavoIO caller;
  PrepareTarget(target, caller);
  const std::string missing = file_ + ".absent.slow";
  g_destroyed = 0;
  (new CountingThread(&caller, missing))->Start();
  PumpUntil(g_destroyed, 1);
  ASSERT_EQ(g_destroyed, 1);
  EXPECT_TRUE(caller.Aborting);
  EXPECT_EQ(caller.LastError().Code, TPVErrorCode::FileNotFound);
  EXPECT_EQ(caller.LastError().Message, "No such file or directory: " + missing);
  ExpectTargetUntouched(target, caller);
}

TEST_F(IOThreadTest, SuccessClearsAnEarlierFailure) {
  TBitmap target;
  TPictavoIO caller;
  PrepareTarget(target, caller);
  caller.Aborting = true;
  caller.Diagnostics().Fail(TPVErrorCode::Corrupt, "old");
  g_destroyed = 0;
  (new CountingThread(&caller, file_))->Start();
  PumpUntil(g_destroyed, 1);
  ASSERT_EQ(g_destroyed, 1);
  EXPECT_FALSE(caller.Aborting);
  EXPECT_FALSE(caller.LastError());
  EXPECT_EQ(target.GetWidth(), 3);
  EXPECT_EQ(target.ScanLine(0)[0], 0x5A);
}

// A subclass whose own Load uses the subclass's members until it is asked
// to stop, and a while after: deleting it must wait for the worker before
// those members are destroyed.
std::atomic<bool> g_subclassDestroyed{false};
std::atomic<bool> g_usedAfterDestroy{false};
std::atomic<int> g_loadsStarted{0};
class BusySubclass : public TPVIOThread {
 public:
  BusySubclass(TPictavoIO* caller, const std::string& name)
      : TPVIOThread(caller, name), scratch_(4096, 0) {}
  ~BusySubclass() override { g_subclassDestroyed = true; }

 protected:
  void Load() override {
    ++g_loadsStarted;
    for (size_t i = 0; !AbortRequested(); ++i) {
      scratch_[i % scratch_.size()]++;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (g_subclassDestroyed) g_usedAfterDestroy = true;
    scratch_.assign(scratch_.size(), 7);  // members still in use after the request
    label_ = "done";
    PrivateIO().LoadFromFile(FileName());
  }

 private:
  std::vector<uint8_t> scratch_;
  std::string label_;
};

// GCC 12 takes the destroying operator delete for a mismatch with new when it
// devirtualises the delete below; it is the matching deallocation.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
TEST_F(IOThreadTest, DeletingASubclassWhileItsLoadRunsWaitsBeforeItsMembersGo) {
  for (bool freeOnTerminate : {false, true}) {
    TBitmap target;
    TPictavoIO caller;
    PrepareTarget(target, caller);
    g_subclassDestroyed = false;
    g_usedAfterDestroy = false;
    g_loadsStarted = 0;
    auto* thread = new BusySubclass(&caller, file_);
    thread->SetFreeOnTerminate(freeOnTerminate);
    thread->Start();
    for (int i = 0; i < 20000 && g_loadsStarted == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(g_loadsStarted, 1);
    TThread* asBase = thread;  // deleted through the platform's base class
    delete asBase;
    EXPECT_TRUE(g_subclassDestroyed);
    EXPECT_FALSE(g_usedAfterDestroy);
    ExpectTargetUntouched(target, caller);  // the delivery was abandoned
  }
}
#pragma GCC diagnostic pop

TEST_F(IOThreadTest, NeverStartedThreadIsDeletedAtOnce) {
  TPictavoIO caller;
  auto* thread = new TPVIOThread(&caller, file_);
  thread->SetFreeOnTerminate(false);
  delete thread;
  SUCCEED();
}

}  // namespace
}  // namespace pictavo
