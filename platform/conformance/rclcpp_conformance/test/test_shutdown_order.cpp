#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"

using namespace std::chrono_literals;

// What holds on real Humble around a shutdown, which the system's own shutdown relies on.

TEST(ShutdownOrder, PreShutdownCallbacksRunWhileTheContextIsStillValid)
{
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  auto context = rclcpp::contexts::get_global_default_context();
  std::vector<std::string> order;
  auto on = context->add_on_shutdown_callback([&order] { order.push_back("on shutdown"); });
  auto pre = context->add_pre_shutdown_callback(
    [&order] { order.push_back(rclcpp::ok() ? "pre, valid" : "pre, invalid"); });
  auto removed = context->add_pre_shutdown_callback([&order] { order.push_back("removed"); });
  EXPECT_TRUE(context->remove_pre_shutdown_callback(removed));
  EXPECT_FALSE(context->remove_pre_shutdown_callback(removed));
  EXPECT_EQ(context->get_pre_shutdown_callbacks().size(), 1u);

  rclcpp::shutdown();
  EXPECT_EQ(order, (std::vector<std::string>{"pre, valid", "on shutdown"}));
  // Both kinds stay registered for later initialisations until removed.
  EXPECT_TRUE(context->remove_pre_shutdown_callback(pre));
  EXPECT_TRUE(context->remove_on_shutdown_callback(on));
}

TEST(ShutdownOrder, TemporaryExecutorsCannotBeMadeAfterShutdown)
{
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  auto node = std::make_shared<rclcpp::Node>("after_shutdown");
  rclcpp::shutdown();
  std::promise<void> never;
  const std::shared_future<void> future = never.get_future().share();
  EXPECT_THROW(
    rclcpp::spin_until_future_complete(node->get_node_base_interface(), future, 10ms),
    rclcpp::exceptions::RCLError);
  EXPECT_THROW(rclcpp::spin_some(node), rclcpp::exceptions::RCLError);
  EXPECT_THROW(std::make_shared<rclcpp::Node>("too_late"), rclcpp::exceptions::RCLError);
}
