#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"
#include "test_interfaces.hpp"

using namespace std::chrono_literals;

class NodeTest : public RclcppTest
{
};

TEST_F(NodeTest, NamesResolveInTheNodesNamespace)
{
  auto root = std::make_shared<rclcpp::Node>("execute_engine_topic");
  EXPECT_STREQ("execute_engine_topic", root->get_name());
  EXPECT_STREQ("/", root->get_namespace());
  EXPECT_STREQ("/execute_engine_topic", root->get_fully_qualified_name());
  EXPECT_STREQ("execute_engine_topic", root->get_logger().get_name());

  auto nested = std::make_shared<rclcpp::Node>("planner", "robot/nav");
  EXPECT_STREQ("/robot/nav", nested->get_namespace());
  EXPECT_STREQ("/robot/nav/planner", nested->get_fully_qualified_name());
  EXPECT_STREQ("robot.nav.planner", nested->get_logger().get_name());
  auto base = nested->get_node_base_interface();
  EXPECT_EQ("/robot/nav/goal", base->resolve_topic_or_service_name("goal", false));
  EXPECT_EQ("/goal", base->resolve_topic_or_service_name("/goal", false));
  EXPECT_EQ("/robot/nav/planner/status", base->resolve_topic_or_service_name("~/status", true));
  EXPECT_EQ("/robot/nav/planner", base->resolve_topic_or_service_name("~", true));
}

TEST_F(NodeTest, QosProfilesHaveHumblesValues)
{
  for (const rmw_qos_profile_t & profile :
       {rmw_qos_profile_services_default, rmw_qos_profile_default}) {
    EXPECT_EQ(RMW_QOS_POLICY_HISTORY_KEEP_LAST, profile.history);
    EXPECT_EQ(10u, profile.depth);
    EXPECT_EQ(RMW_QOS_POLICY_RELIABILITY_RELIABLE, profile.reliability);
    EXPECT_EQ(RMW_QOS_POLICY_DURABILITY_VOLATILE, profile.durability);
    EXPECT_EQ(0u, profile.deadline.sec + profile.deadline.nsec);
    EXPECT_EQ(0u, profile.lifespan.sec + profile.lifespan.nsec);
    EXPECT_EQ(RMW_QOS_POLICY_LIVELINESS_SYSTEM_DEFAULT, profile.liveliness);
    EXPECT_EQ(0u, profile.liveliness_lease_duration.sec + profile.liveliness_lease_duration.nsec);
    EXPECT_FALSE(profile.avoid_ros_namespace_conventions);
  }

  const rclcpp::QoS depth_one(1);
  EXPECT_EQ(rclcpp::HistoryPolicy::KeepLast, depth_one.history());
  EXPECT_EQ(1u, depth_one.depth());
  EXPECT_EQ(rclcpp::ReliabilityPolicy::Reliable, depth_one.reliability());
  EXPECT_EQ(rclcpp::DurabilityPolicy::Volatile, depth_one.durability());
  EXPECT_EQ(rclcpp::QoS(rclcpp::KeepLast(1)), depth_one);
  EXPECT_NE(rclcpp::QoS(1).transient_local(), depth_one);
  EXPECT_EQ(rclcpp::HistoryPolicy::KeepAll, rclcpp::QoS(rclcpp::KeepAll()).history());
  EXPECT_EQ(rclcpp::QoS(rclcpp::KeepLast(10)), rclcpp::ServicesQoS());
}

namespace
{

/// A waitable fed from outside, as a library built on rclcpp would add one.
class FedWaitable : public rclcpp::Waitable
{
public:
  void feed(int value)
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      values_.push_back(value);
    }
    notify_callback_group();
  }

  bool is_ready() override
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return !values_.empty();
  }

  std::shared_ptr<void> take_data() override
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (values_.empty()) {
      return nullptr;
    }
    auto value = std::make_shared<int>(values_.front());
    values_.pop_front();
    return value;
  }

  void execute(std::shared_ptr<void> & data) override
  {
    sum += *std::static_pointer_cast<int>(data);
  }

  std::atomic_int sum{0};

private:
  std::mutex mutex_;
  std::deque<int> values_;
};

}  // namespace

TEST_F(NodeTest, WaitableFedFromAnotherThreadWakesItsExecutor)
{
  auto node = std::make_shared<rclcpp::Node>("host");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  auto waitable = std::make_shared<FedWaitable>();
  node->get_node_waitables_interface()->add_waitable(waitable, group);

  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_callback_group(group, node->get_node_base_interface());
  auto feeder = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(10ms);
    waitable->feed(40);
    waitable->feed(2);
  });
  while (waitable->sum.load() != 42) {
    executor.spin_once(5s);
  }
  feeder.get();

  auto other = std::make_shared<rclcpp::Node>("other");
  EXPECT_THROW(
    node->get_node_waitables_interface()->add_waitable(
      std::make_shared<FedWaitable>(),
      other->create_callback_group(rclcpp::CallbackGroupType::Reentrant)),
    std::runtime_error);
}

TEST_F(NodeTest, SpinOnceWaitsAtMostItsTimeoutAndSpinSomeTakesOnlyReadyWork)
{
  auto node = std::make_shared<rclcpp::Node>("spinner");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  // Adding the node wakes the next wait once; a wait that does not sleep takes that wake-up.
  executor.spin_some();
  const auto start = std::chrono::steady_clock::now();
  executor.spin_once(20ms);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
  // A cancel or a group's wake-up that comes before a wait is not lost: the wait ends at once.
  const auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  executor.spin_some();
  for (const auto & wake : std::vector<std::function<void()>>{
         [&] { executor.cancel(); }, [&] { group->trigger_notify_guard_condition(); }}) {
    wake();
    const auto woken = std::chrono::steady_clock::now();
    executor.spin_once(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - woken, 5s);
  }

  // A callback that publishes to its own topic leaves the new message for the next spin.
  int received = 0;
  rclcpp::Publisher<test_interfaces::Text>::SharedPtr publisher;
  auto echo = node->create_subscription<test_interfaces::Text>(
    "echo", 10, [&](const test_interfaces::Text & message) {
      ++received;
      publisher->publish(message);
    });
  publisher = node->create_publisher<test_interfaces::Text>("echo", 10);
  publisher->publish(test_interfaces::Text());
  executor.spin_some();
  EXPECT_EQ(1, received);
  executor.spin_some();
  EXPECT_EQ(2, received);

  // A timer callback may take the timer itself.
  int ticks = 0;
  auto timer = node->create_wall_timer(1ms, [&ticks](rclcpp::TimerBase & self) {
    if (++ticks == 2) {
      self.cancel();
    }
  });
  while (!timer->is_canceled()) {
    executor.spin_once(1s);
  }
  EXPECT_EQ(2, ticks);
}

TEST_F(NodeTest, EveryServerAnswersButTheClientTakesTheFirstReplyOnly)
{
  auto node = std::make_shared<rclcpp::Node>("duplicated");
  int served = 0;
  auto serve = [&served](
                 const std::shared_ptr<test_interfaces::AddTwoInts::Request>,
                 std::shared_ptr<test_interfaces::AddTwoInts::Response> response) {
    response->sum = ++served;
  };
  auto first = node->create_service<test_interfaces::AddTwoInts>("twice", serve);
  auto second = node->create_service<test_interfaces::AddTwoInts>("twice", serve);
  auto client = node->create_client<test_interfaces::AddTwoInts>("twice");
  int callbacks = 0;
  auto future = client->async_send_request(
    std::make_shared<test_interfaces::AddTwoInts::Request>(),
    [&callbacks](rclcpp::Client<test_interfaces::AddTwoInts>::SharedFuture) { ++callbacks; });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  for (int i = 0; i < 4; ++i) {
    executor.spin_some();
  }
  EXPECT_EQ(2, served);
  EXPECT_EQ(1, callbacks);
  EXPECT_EQ(1, future.get()->sum);
}
