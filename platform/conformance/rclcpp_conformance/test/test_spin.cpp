#include <algorithm>

#include "rclcpp_fixture.hpp"

class Spin : public RclcppTest
{
protected:
  void SetUp() override { executor.add_node(node); }

  /// Runs `action` on another thread once `executor` spins.
  std::future<void> when_spinning(std::function<void()> action)
  {
    return std::async(std::launch::async, [this, action] {
      wait_until([this] { return executor.is_spinning(); });
      action();
    });
  }

  std::shared_ptr<rclcpp::Node> node = std::make_shared<rclcpp::Node>("waiter");
  rclcpp::executors::SingleThreadedExecutor executor;
  std::promise<int> promise;
  std::shared_future<int> future = promise.get_future().share();
};

TEST_F(Spin, UntilFutureCompleteSucceedsTimesOutAndAZeroTimeoutStillRunsReadyWork)
{
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rclcpp::FutureReturnCode::TIMEOUT, executor.spin_until_future_complete(future, 30ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

  int calls = 0;
  auto timer = node->create_wall_timer(1ms, [&calls] { ++calls; });
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(rclcpp::FutureReturnCode::TIMEOUT, executor.spin_until_future_complete(future, 0ms));
  EXPECT_EQ(1, calls);

  auto completer = node->create_wall_timer(5ms, [this] { promise.set_value(7); });
  timer->cancel();
  EXPECT_EQ(rclcpp::FutureReturnCode::SUCCESS, executor.spin_until_future_complete(future, 5s));
  EXPECT_EQ(7, future.get());
  EXPECT_FALSE(executor.is_spinning());
  completer->cancel();
  // A completed future succeeds without spinning, also on a zero timeout.
  EXPECT_EQ(rclcpp::FutureReturnCode::SUCCESS, executor.spin_until_future_complete(future, 0ms));
}

TEST_F(Spin, CancelOrShutdownOnAnotherThreadInterruptsTheSpin)
{
  for (const auto & stop : std::vector<std::function<void()>>{
         [this] { executor.cancel(); }, [] { rclcpp::shutdown(); }}) {
    auto stopper = when_spinning(stop);
    EXPECT_EQ(
      rclcpp::FutureReturnCode::INTERRUPTED, executor.spin_until_future_complete(future, 10s));
    stopper.get();
    EXPECT_FALSE(executor.is_spinning());
  }
  // With the context down there is nothing to spin for.
  EXPECT_EQ(rclcpp::FutureReturnCode::INTERRUPTED, executor.spin_until_future_complete(future, 1s));
}

TEST_F(Spin, ShutdownEndsSpinOfBothExecutorKinds)
{
  rclcpp::executors::MultiThreadedExecutor multi(rclcpp::ExecutorOptions(), 3);
  auto other = std::make_shared<rclcpp::Node>("other");
  multi.add_node(other);
  BackgroundSpin single_spin(executor);
  BackgroundSpin multi_spin(multi);
  rclcpp::shutdown();
  EXPECT_TRUE(single_spin.ended());
  EXPECT_TRUE(multi_spin.ended());
}

TEST_F(Spin, WakeUpBeforeAWaitIsKeptSpinSomeTakesOnlyReadyWorkSpinAllAlsoWhatFollows)
{
  const auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  executor.spin_some();
  for (const auto & wake : std::vector<std::function<void()>>{
         [&] { executor.cancel(); }, [&] { group->trigger_notify_guard_condition(); }}) {
    wake();
    const auto woken = std::chrono::steady_clock::now();
    executor.spin_once(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - woken, 5s);
  }

  // A callback that publishes to its own topic (five times) leaves the new message for the
  // next spin_some; spin_all takes it too, until nothing is ready.
  int received = 0;
  rclcpp::Publisher<Text>::SharedPtr publisher;
  auto echo = node->create_subscription<Text>("echo", 10, [&](const Text & message) {
    if (++received < 5) {
      publisher->publish(message);
    }
  });
  publisher = node->create_publisher<Text>("echo", 10);
  publisher->publish(Text());
  executor.spin_some();
  EXPECT_EQ(1, received);
  executor.spin_some();
  EXPECT_EQ(2, received);
  executor.spin_all(1s);
  EXPECT_EQ(5, received);
}

namespace
{

/// Counts how many callbacks run at once and remembers the most seen.
struct ConcurrencyProbe
{
  /// With `wait_for_company` a callback lingers (up to a bound) until another runs beside it,
  /// so that overlap shows whenever the executor allows it.
  void run(bool wait_for_company)
  {
    const int now_active = ++active;
    int seen = most.load();
    while (now_active > seen && !most.compare_exchange_weak(seen, now_active)) {
    }
    const auto until = std::chrono::steady_clock::now() + (wait_for_company ? 500ms : 2ms);
    while (std::chrono::steady_clock::now() < until && !(wait_for_company && most >= 2)) {
      std::this_thread::sleep_for(100us);
    }
    --active;
    ++calls;
  }

  std::atomic_int active{0};
  std::atomic_int most{0};
  std::atomic_int calls{0};
};

}  // namespace

TEST_F(Spin, MultiThreadedMutuallyExclusiveCallbacksNeverOverlapReentrantOnesDo)
{
  auto exclusive = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto reentrant = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  ConcurrencyProbe exclusive_probe;
  ConcurrencyProbe reentrant_probe;

  // Several entity kinds share the exclusive group: subscriptions, a service and a timer.
  rclcpp::SubscriptionOptions exclusive_options;
  exclusive_options.callback_group = exclusive;
  std::vector<rclcpp::Subscription<Text>::SharedPtr> subscriptions;
  for (int i = 0; i < 2; ++i) {
    subscriptions.push_back(node->create_subscription<Text>(
      "work", rclcpp::QoS(rclcpp::KeepAll()), [&](const Text &) { exclusive_probe.run(false); },
      exclusive_options));
  }
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

  executor.remove_node(node);
  rclcpp::executors::MultiThreadedExecutor multi(rclcpp::ExecutorOptions(), 4);
  multi.add_node(node);
  {
    BackgroundSpin spin(multi);
    wait_until(
      [&] { return exclusive_probe.calls.load() >= 60 && reentrant_probe.calls.load() >= 4; }, 20s);
  }
  EXPECT_GE(exclusive_probe.calls.load(), 60);
  EXPECT_EQ(1, exclusive_probe.most.load());
  EXPECT_EQ(4, reentrant_probe.calls.load());
  EXPECT_GE(reentrant_probe.most.load(), 2);
}
