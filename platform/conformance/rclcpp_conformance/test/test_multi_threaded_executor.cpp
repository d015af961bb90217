#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "example_interfaces/msg/string.hpp"
#include "example_interfaces/srv/add_two_ints.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

using namespace std::chrono_literals;
using example_interfaces::srv::AddTwoInts;
using Text = example_interfaces::msg::String;

namespace
{

/// Counts how many callbacks run at once and remembers the most seen.
class ConcurrencyProbe
{
public:
  /// Marks a callback running; with `wait_for_company` it lingers (up to a bound) until another
  /// callback runs beside it, so that overlap shows whenever the executor allows it.
  void run(bool wait_for_company)
  {
    const int now_active = ++active_;
    record(now_active);
    const auto until = std::chrono::steady_clock::now() + (wait_for_company ? 500ms : 2ms);
    while (std::chrono::steady_clock::now() < until && !(wait_for_company && most_ >= 2)) {
      std::this_thread::sleep_for(100us);
    }
    --active_;
    ++calls;
  }

  int most() const { return most_.load(); }

  std::atomic_int calls{0};

private:
  void record(int now_active)
  {
    int seen = most_.load();
    while (now_active > seen && !most_.compare_exchange_weak(seen, now_active)) {
    }
  }

  std::atomic_int active_{0};
  std::atomic_int most_{0};
};

}  // namespace

class MultiThreadedExecutorTest : public RclcppTest
{
};

TEST_F(MultiThreadedExecutorTest, DefaultThreadCountIsAtLeastTwo)
{
  rclcpp::executors::MultiThreadedExecutor executor;
  EXPECT_EQ(
    std::max<size_t>(std::thread::hardware_concurrency(), 2), executor.get_number_of_threads());
}

TEST_F(MultiThreadedExecutorTest, MutuallyExclusiveCallbacksNeverOverlapReentrantOnesDo)
{
  auto node = std::make_shared<rclcpp::Node>("worker");
  auto exclusive = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto reentrant = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  ConcurrencyProbe exclusive_probe;
  ConcurrencyProbe reentrant_probe;

  // Several entity kinds share the exclusive group: subscriptions, a service and a timer.
  rclcpp::SubscriptionOptions exclusive_options;
  exclusive_options.callback_group = exclusive;
  auto first = node->create_subscription<Text>(
    "work", rclcpp::QoS(rclcpp::KeepAll()), [&](const Text &) { exclusive_probe.run(false); },
    exclusive_options);
  auto second = node->create_subscription<Text>(
    "work", rclcpp::QoS(rclcpp::KeepAll()), [&](const Text &) { exclusive_probe.run(false); },
    exclusive_options);
  auto service = node->create_service<AddTwoInts>(
    "work",
    [&](const std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {
      exclusive_probe.run(false);
    },
    rmw_qos_profile_services_default, exclusive);
  auto timer = node->create_wall_timer(
    1ms, [&] { exclusive_probe.run(false); }, exclusive);

  rclcpp::SubscriptionOptions reentrant_options;
  reentrant_options.callback_group = reentrant;
  auto parallel = node->create_subscription<Text>(
    "parallel", rclcpp::QoS(rclcpp::KeepAll()), [&](const Text &) { reentrant_probe.run(true); },
    reentrant_options);

  auto publisher = node->create_publisher<Text>("work", 10);
  auto parallel_publisher = node->create_publisher<Text>("parallel", 10);
  auto client = node->create_client<AddTwoInts>("work");
  for (int i = 0; i < 20; ++i) {
    publisher->publish(Text());
  }
  // The services profile keeps the last 10 requests.
  for (int i = 0; i < 10; ++i) {
    client->async_send_request(std::make_shared<AddTwoInts::Request>());
  }
  for (int i = 0; i < 4; ++i) {
    parallel_publisher->publish(Text());
  }

  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 4);
  executor.add_node(node);
  std::thread spinner([&executor] { executor.spin(); });
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while ((exclusive_probe.calls.load() < 60 || reentrant_probe.calls.load() < 4) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  executor.cancel();
  spinner.join();

  EXPECT_GE(exclusive_probe.calls.load(), 60);
  EXPECT_EQ(1, exclusive_probe.most());
  EXPECT_EQ(4, reentrant_probe.calls.load());
  EXPECT_GE(reentrant_probe.most(), 2);
}

TEST_F(MultiThreadedExecutorTest, CancelledTimerStopsAndResetRestartsIt)
{
  auto node = std::make_shared<rclcpp::Node>("ticker");
  std::atomic_int ticks{0};
  auto timer = node->create_wall_timer(1ms, [&ticks] { ++ticks; });
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2);
  executor.add_node(node);
  std::thread spinner([&executor] { executor.spin(); });
  while (ticks.load() < 3) {
    std::this_thread::sleep_for(1ms);
  }
  timer->cancel();
  EXPECT_TRUE(timer->is_canceled());
  std::this_thread::sleep_for(5ms);
  const int after_cancel = ticks.load();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(after_cancel, ticks.load());
  timer->reset();
  while (ticks.load() == after_cancel) {
    std::this_thread::sleep_for(1ms);
  }
  executor.cancel();
  spinner.join();
}
