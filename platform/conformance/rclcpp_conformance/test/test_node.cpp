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

#include "example_interfaces/msg/string.hpp"
#include "example_interfaces/srv/add_two_ints.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

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

  const rmw_qos_profile_t depth_one = rclcpp::QoS(1).get_rmw_qos_profile();
  EXPECT_EQ(RMW_QOS_POLICY_HISTORY_KEEP_LAST, depth_one.history);
  EXPECT_EQ(1u, depth_one.depth);
  EXPECT_EQ(RMW_QOS_POLICY_RELIABILITY_RELIABLE, depth_one.reliability);
  EXPECT_EQ(
    RMW_QOS_POLICY_HISTORY_KEEP_ALL, rclcpp::QoS(rclcpp::KeepAll()).get_rmw_qos_profile().history);
  const rclcpp::QoS from_profile(
    rclcpp::QoSInitialization::from_rmw(rmw_qos_profile_services_default),
    rmw_qos_profile_services_default);
  EXPECT_EQ(10u, from_profile.get_rmw_qos_profile().depth);
}

TEST_F(NodeTest, SpinSomeTakesOnlyReadyWorkSpinAllAlsoWhatFollowsAndATimerMayCancelItself)
{
  auto node = std::make_shared<rclcpp::Node>("spinner");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);

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

  // A callback that publishes to its own topic (five times) leaves the new message for the
  // next spin_some; spin_all takes it too, until nothing is ready.
  int received = 0;
  rclcpp::Publisher<example_interfaces::msg::String>::SharedPtr publisher;
  auto echo = node->create_subscription<example_interfaces::msg::String>(
    "echo", 10, [&](const example_interfaces::msg::String & message) {
      if (++received < 5) {
        publisher->publish(message);
      }
    });
  publisher = node->create_publisher<example_interfaces::msg::String>("echo", 10);
  publisher->publish(example_interfaces::msg::String());
  executor.spin_some();
  EXPECT_EQ(1, received);
  executor.spin_some();
  EXPECT_EQ(2, received);
  executor.spin_all(1s);
  EXPECT_EQ(5, received);

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
                 const std::shared_ptr<example_interfaces::srv::AddTwoInts::Request>,
                 std::shared_ptr<example_interfaces::srv::AddTwoInts::Response> response) {
    response->sum = ++served;
  };
  auto first = node->create_service<example_interfaces::srv::AddTwoInts>("twice", serve);
  auto second = node->create_service<example_interfaces::srv::AddTwoInts>("twice", serve);
  auto client = node->create_client<example_interfaces::srv::AddTwoInts>("twice");
  int callbacks = 0;
  auto future = client->async_send_request(
    std::make_shared<example_interfaces::srv::AddTwoInts::Request>(),
    [&callbacks](rclcpp::Client<example_interfaces::srv::AddTwoInts>::SharedFuture) {
      ++callbacks;
    });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  for (int i = 0; i < 4; ++i) {
    executor.spin_some();
  }
  EXPECT_EQ(2, served);
  EXPECT_EQ(1, callbacks);
  EXPECT_EQ(1, future.get()->sum);
}
