// Background loading: TPVIOThread loads through a registered reader on its
// own thread while the main thread pumps the application's queue.
#include "io/iothread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

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
  while (!g_releaseReader && !progress.Aborted())
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

TEST_F(IOThreadTest, NeverStartedThreadIsDeletedAtOnce) {
  TPictavoIO caller;
  auto* thread = new TPVIOThread(&caller, file_);
  thread->SetFreeOnTerminate(false);
  delete thread;
  SUCCEED();
}

}  // namespace
}  // namespace pictavo
