#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "behaviortree_cpp_v3/utils/callback_timer.h"

using namespace std::chrono_literals;

TEST(CallbackTimer, RunsCallbacksInDeadlineOrderAndNeverCancelledOnes)
{
  BT::CallbackTimer timer;
  std::mutex mutex;
  std::vector<int> order;
  std::promise<void> last;
  std::atomic<bool> cancelled_ran{false};

  timer.add(40ms, [&] {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(3);
    last.set_value();
  });
  const auto dropped = timer.add(10ms, [&] { cancelled_ran = true; });
  timer.add(20ms, [&] {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(2);
  });
  timer.add(0ms, [&] {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(1);
  });
  timer.cancel(dropped);

  last.get_future().wait();
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(cancelled_ran);
}

TEST(CallbackTimer, CancelWaitsForRunningCallback)
{
  BT::CallbackTimer timer;
  std::promise<void> started;
  std::promise<void> release;
  std::atomic<bool> finished{false};
  auto release_future = release.get_future();
  const auto id = timer.add(0ms, [&] {
    started.set_value();
    release_future.wait();
    finished = true;
  });
  started.get_future().wait();

  std::thread releaser([&release] {
    std::this_thread::sleep_for(10ms);
    release.set_value();
  });
  timer.cancel(id);
  EXPECT_TRUE(finished);
  releaser.join();
}

TEST(CallbackTimer, TimerAddedAfterCancellingAWaitedTimerRuns)
{
  BT::CallbackTimer timer;
  for (int i = 0; i < 20; i++) {
    timer.add(1h, [] {});
    std::this_thread::sleep_for(1ms);
    timer.cancelAll();
    std::promise<void> ran;
    timer.add(0ms, [&ran] { ran.set_value(); });
    ran.get_future().wait();
  }
}
