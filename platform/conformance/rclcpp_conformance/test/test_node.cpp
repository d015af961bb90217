#include <cmath>
#include <regex>

#include "rclcpp_fixture.hpp"

class NodeTest : public RclcppTest
{
};

TEST_F(NodeTest, NamesAndLoggerNamesFollowTheNamespace)
{
  struct Row
  {
    const char * name;
    const char * name_space;
    const char * fully_qualified;
    const char * logger;
  };
  for (const auto & row :
       {Row{"execute_engine_topic", "", "/execute_engine_topic", "execute_engine_topic"},
        Row{"planner", "robot/nav", "/robot/nav/planner", "robot.nav.planner"}}) {
    auto node = std::make_shared<rclcpp::Node>(row.name, row.name_space);
    EXPECT_STREQ(row.name, node->get_name());
    EXPECT_STREQ(row.fully_qualified, node->get_fully_qualified_name());
    EXPECT_STREQ(row.logger, node->get_logger().get_name());
  }
}

TEST_F(NodeTest, ServicesAndDepthOneProfilesHaveHumblesValues)
{
  for (const auto & [profile, depth] :
       {std::make_pair(rmw_qos_profile_services_default, 10u),
        std::make_pair(rclcpp::QoS(1).get_rmw_qos_profile(), 1u)}) {
    EXPECT_EQ(RMW_QOS_POLICY_HISTORY_KEEP_LAST, profile.history);
    EXPECT_EQ(depth, profile.depth);
    EXPECT_EQ(RMW_QOS_POLICY_RELIABILITY_RELIABLE, profile.reliability);
    EXPECT_EQ(RMW_QOS_POLICY_DURABILITY_VOLATILE, profile.durability);
  }
}

TEST_F(NodeTest, SubscriptionsOfTheResolvedTopicEachKeepTheirOwnDepth)
{
  auto node = std::make_shared<rclcpp::Node>("talker", "robot");
  std::vector<std::string> shallow;
  std::vector<std::string> deep;
  int elsewhere = 0;
  auto depth_one = node->create_subscription<Text>(
    "counts", rclcpp::QoS(1), [&](const Text & message) { shallow.push_back(message.data); });
  auto depth_three = node->create_subscription<Text>(
    "/robot/counts", rclcpp::QoS(3), [&](const Text & message) { deep.push_back(message.data); });
  auto other_topic =
    node->create_subscription<Text>("/counts", 10, [&](const Text &) { ++elsewhere; });
  auto publisher = node->create_publisher<Text>("counts", 10);
  EXPECT_STREQ("/robot/counts", publisher->get_topic_name());
  for (const char * data : {"1", "2", "3", "4"}) {
    Text message;
    message.data = data;
    publisher->publish(message);
  }
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  // Each spin_some takes one message per ready subscription.
  for (int i = 0; i < 4; ++i) {
    executor.spin_some();
  }
  EXPECT_EQ((std::vector<std::string>{"4"}), shallow);
  EXPECT_EQ((std::vector<std::string>{"2", "3", "4"}), deep);
  EXPECT_EQ(0, elsewhere);
}

TEST_F(NodeTest, LogLinesHaveHumblesConsoleFormatAndDebugIsHidden)
{
  auto node = std::make_shared<rclcpp::Node>("execute_engine_topic", "robot");
  testing::internal::CaptureStderr();
  RCLCPP_ERROR(node->get_logger(), "Failed to cancel action server for [%s]", "navigate");
  RCLCPP_DEBUG(node->get_logger(), "result_callback");
  RCLCPP_INFO(node->get_logger(), "Goal accepted by server, waiting for result");
  const std::string output = testing::internal::GetCapturedStderr();

  EXPECT_TRUE(std::regex_match(
    output, std::regex(R"(\[ERROR\] \[\d+\.\d{9}\] \[robot\.execute_engine_topic\]: )"
                       R"(Failed to cancel action server for \[navigate\]\n)"
                       R"(\[INFO\] \[\d+\.\d{9}\] \[robot\.execute_engine_topic\]: )"
                       R"(Goal accepted by server, waiting for result\n)")))
    << output;
}

TEST_F(NodeTest, NodeTimeIsRosTimeNearTheWallClockAndClockTypesDoNotMix)
{
  auto node = std::make_shared<rclcpp::Node>("clocked");
  const auto now = node->now();
  EXPECT_EQ(RCL_ROS_TIME, now.get_clock_type());
  EXPECT_GE((node->now() - now).nanoseconds(), 0);
  EXPECT_LT(std::abs(now.seconds() - rclcpp::Clock(RCL_SYSTEM_TIME).now().seconds()), 5.0);

  rclcpp::Time sent(0, 0u, RCL_SYSTEM_TIME);
  EXPECT_THROW(node->now() - sent, std::runtime_error);
  // Assigning takes the other time's clock type along.
  sent = node->now();
  EXPECT_GE((node->now() - sent).nanoseconds(), 0);
}
