#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

using namespace std::chrono_literals;

class SpinUntilFutureComplete : public RclcppTest
{
protected:
  void SetUp() override
  {
    RclcppTest::SetUp();
    node = std::make_shared<rclcpp::Node>("waiter");
    executor.add_node(node);
  }

  /// Waits until `executor` is inside a spin, then runs `action`.
  std::future<void> when_spinning(std::function<void()> action)
  {
    return std::async(std::launch::async, [this, action] {
      while (!executor.is_spinning()) {
        std::this_thread::yield();
      }
      std::this_thread::sleep_for(5ms);
      action();
    });
  }

  std::shared_ptr<rclcpp::Node> node;
  rclcpp::executors::SingleThreadedExecutor executor;
  std::promise<int> promise;
  std::shared_future<int> future = promise.get_future().share();
};

TEST_F(SpinUntilFutureComplete, SucceedsWhenACallbackCompletesTheFuture)
{
  auto timer = node->create_wall_timer(5ms, [this] { promise.set_value(7); });
  EXPECT_EQ(rclcpp::FutureReturnCode::SUCCESS, executor.spin_until_future_complete(future));
  EXPECT_EQ(7, future.get());
  EXPECT_FALSE(executor.is_spinning());
  // An already completed future succeeds without spinning, also on a zero timeout.
  EXPECT_EQ(rclcpp::FutureReturnCode::SUCCESS, executor.spin_until_future_complete(future, 0ms));
}

TEST_F(SpinUntilFutureComplete, TimesOutAndAZeroTimeoutStillRunsReadyWork)
{
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rclcpp::FutureReturnCode::TIMEOUT, executor.spin_until_future_complete(future, 30ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

  int calls = 0;
  auto timer = node->create_wall_timer(1ms, [&calls] { ++calls; });
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(rclcpp::FutureReturnCode::TIMEOUT, executor.spin_until_future_complete(future, 0ms));
  EXPECT_EQ(1, calls);
}

TEST_F(SpinUntilFutureComplete, ShutdownInterruptsAnUnboundedSpin)
{
  auto stopper = when_spinning([] { rclcpp::shutdown(); });
  EXPECT_EQ(rclcpp::FutureReturnCode::INTERRUPTED, executor.spin_until_future_complete(future));
  stopper.get();
  // With the context down there is nothing to spin for.
  EXPECT_EQ(rclcpp::FutureReturnCode::INTERRUPTED, executor.spin_until_future_complete(future, 1s));
}

TEST_F(SpinUntilFutureComplete, CancelInterruptsTheSpinOnAnotherThread)
{
  auto canceller = when_spinning([this] { executor.cancel(); });
  EXPECT_EQ(
    rclcpp::FutureReturnCode::INTERRUPTED, executor.spin_until_future_complete(future, 10s));
  canceller.get();
  EXPECT_FALSE(executor.is_spinning());
}

TEST_F(SpinUntilFutureComplete, ShutdownEndsSpinOfBothExecutorKinds)
{
  rclcpp::executors::MultiThreadedExecutor multi(rclcpp::ExecutorOptions(), 3);
  auto other = std::make_shared<rclcpp::Node>("other");
  multi.add_node(other);
  auto single_spin = std::async(std::launch::async, [this] { executor.spin(); });
  auto multi_spin = std::async(std::launch::async, [&multi] { multi.spin(); });
  while (!executor.is_spinning() || !multi.is_spinning()) {
    std::this_thread::yield();
  }
  rclcpp::shutdown();
  EXPECT_EQ(std::future_status::ready, single_spin.wait_for(5s));
  EXPECT_EQ(std::future_status::ready, multi_spin.wait_for(5s));
}
