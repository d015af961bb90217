#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "example_interfaces/msg/string.hpp"
#include "example_interfaces/srv/add_two_ints.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

using Text = example_interfaces::msg::String;

namespace
{

Text text(const std::string & data)
{
  Text message;
  message.data = data;
  return message;
}

}  // namespace

class PublisherSubscription : public RclcppTest
{
protected:
  void SetUp() override
  {
    RclcppTest::SetUp();
    node = std::make_shared<rclcpp::Node>("talker", "robot");
  }

  std::shared_ptr<rclcpp::Node> node;
  rclcpp::executors::SingleThreadedExecutor executor;
};

TEST_F(PublisherSubscription, EveryMatchingSubscriptionReceivesInAnyCallbackForm)
{
  std::vector<std::string> received;
  auto shared_const =
    node->create_subscription<Text>("chatter", 10, [&](std::shared_ptr<const Text> message) {
      received.push_back("shared_const:" + message->data);
    });
  auto shared_mutable =
    node->create_subscription<Text>("chatter", 10, [&](std::shared_ptr<Text> message) {
      message->data += "!";
      received.push_back("shared:" + message->data);
    });
  auto by_reference = node->create_subscription<Text>(
    "/robot/chatter", 10, [&](const Text & message) { received.push_back("ref:" + message.data); });
  auto unique = node->create_subscription<Text>("chatter", 10, [&](std::unique_ptr<Text> message) {
    received.push_back("unique:" + message->data);
  });
  auto other_topic = node->create_subscription<Text>(
    "/chatter", 10, [&](const Text &) { received.push_back("wrong topic"); });
  auto publisher = node->create_publisher<Text>("chatter", rclcpp::QoS(rclcpp::KeepLast(10)));
  EXPECT_STREQ("/robot/chatter", publisher->get_topic_name());
  EXPECT_EQ(4u, publisher->get_subscription_count());

  publisher->publish(std::make_unique<Text>(text("hi")));
  executor.add_node(node);
  executor.spin_some();

  std::sort(received.begin(), received.end());
  EXPECT_EQ(
    (std::vector<std::string>{"ref:hi", "shared:hi!", "shared_const:hi", "unique:hi"}), received);
}

TEST_F(PublisherSubscription, DepthIsHonouredPerSubscription)
{
  std::vector<std::string> shallow;
  std::vector<std::string> deep;
  auto depth_one = node->create_subscription<Text>(
    "counts", rclcpp::QoS(1), [&](const Text & message) { shallow.push_back(message.data); });
  auto depth_three = node->create_subscription<Text>(
    "counts", rclcpp::QoS(rclcpp::KeepLast(3)),
    [&](const Text & message) { deep.push_back(message.data); });
  auto publisher = node->create_publisher<Text>("counts", 10);
  for (const char * data : {"1", "2", "3", "4"}) {
    publisher->publish(text(data));
  }
  executor.add_node(node);
  // Each spin_some takes one message per ready subscription.
  for (int i = 0; i < 4; ++i) {
    executor.spin_some();
  }
  EXPECT_EQ((std::vector<std::string>{"4"}), shallow);
  EXPECT_EQ((std::vector<std::string>{"2", "3", "4"}), deep);
}

TEST_F(PublisherSubscription, SameTopicWithAnotherTypeDoesNotMatch)
{
  int received = 0;
  auto subscription = node->create_subscription<builtin_interfaces::msg::Time>(
    "chatter", 10, [&](const builtin_interfaces::msg::Time &) { ++received; });
  auto publisher = node->create_publisher<Text>("chatter", 10);
  EXPECT_EQ(0u, publisher->get_subscription_count());
  publisher->publish(text("x"));
  executor.add_node(node);
  executor.spin_some();
  EXPECT_EQ(0, received);
}

TEST_F(PublisherSubscription, InvalidNamesAreRejected)
{
  EXPECT_THROW(
    std::make_shared<rclcpp::Node>("bad name"), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(std::make_shared<rclcpp::Node>(""), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(
    node->create_publisher<Text>("bad//topic", 10), rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(
    node->create_client<example_interfaces::srv::AddTwoInts>("trailing/"),
    rclcpp::exceptions::InvalidServiceNameError);
  auto other = std::make_shared<rclcpp::Node>("other");
  auto foreign_group = other->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  rclcpp::SubscriptionOptions options;
  options.callback_group = foreign_group;
  EXPECT_THROW(
    node->create_subscription<Text>(
      "chatter", 10, [](const Text &) {}, options),
    std::runtime_error);
}
