// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef ACTION_NODE_FIXTURE_HPP_
#define ACTION_NODE_FIXTURE_HPP_

#include <rcutils/logging.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/ros2_action_node.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"

namespace action_node_test
{

using namespace std::chrono_literals;

// Bound of every wait that only a fault would exhaust.
constexpr std::chrono::milliseconds kPatience = 5s;
// Action timeout of the nodes whose tests wait for it to pass.
constexpr std::chrono::milliseconds kShortTimeout = 200ms;

// Counts the lines written through ROS loggers, by severity and formatted text.
class RosLog
{
public:
  static void Capture()
  {
    rcutils_logging_set_output_handler([](
                                         const rcutils_log_location_t *, int severity, const char *,
                                         rcutils_time_point_value_t, const char * format,
                                         va_list * args) {
      va_list copy;
      va_copy(copy, *args);
      char text[1024];
      std::vsnprintf(text, sizeof(text), format, copy);
      va_end(copy);
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.emplace_back(severity, text);
    });
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

  static size_t Count(int severity, const std::string & text)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::count(lines_.begin(), lines_.end(), std::make_pair(severity, text));
  }

private:
  static inline std::mutex mutex_;
  static inline std::vector<std::pair<int, std::string>> lines_;
};

// What `action` raised as an E, or "<nothing raised>".
template <typename E>
std::string MessageOf(const std::function<void()> & action)
{
  try {
    action();
  } catch (const E & error) {
    return error.what();
  }
  return "<nothing raised>";
}

// Action nodes on a client node that no other executor spins.
class ActionNodeTest : public engine_test::NodeTest
{
protected:
  void SetUp() override
  {
    NodeTest::SetUp();
    RosLog::Capture();
    client_node_ = std::make_shared<rclcpp::Node>("action_node_test_client");
  }

  execute_engine::Ros2Params Params(std::chrono::milliseconds action_timeout) const
  {
    execute_engine::Ros2Params params;
    params.node = client_node_;
    params.action_timeout = action_timeout;
    return params;
  }

  static BT::NodeConfiguration Config(const std::string & action_name)
  {
    BT::NodeConfiguration config;
    config.input_ports["action_name"] = action_name;
    return config;
  }

  BT::NodeStatus Tick(BT::TreeNode & node, int cmd)
  {
    Use(Command(cmd));
    return node.executeTick();
  }

  // Program log lines that are exactly `text`.
  size_t Lines(const std::string & text) const
  {
    const auto messages = log_->Messages();
    return std::count(messages.begin(), messages.end(), text);
  }

  // Ticks until `done` holds; false if it does not within kPatience.
  static bool TickUntil(BT::TreeNode & node, const std::function<bool()> & done)
  {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      node.executeTick();
      std::this_thread::sleep_for(1ms);
    }
    return done();
  }

  // Ticks until a tick returns anything but RUNNING and returns that (RUNNING after kPatience).
  static BT::NodeStatus TickWhileRunning(BT::TreeNode & node)
  {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    BT::NodeStatus status = node.executeTick();
    while (status == BT::NodeStatus::RUNNING && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
      status = node.executeTick();
    }
    return status;
  }

  // A server answers a result request on its own thread; this gives it time to have answered
  // one the client sent before.
  static void LetServerAnswer() { std::this_thread::sleep_for(100ms); }

  rclcpp::Node::SharedPtr client_node_;
};

// Action nodes with a Security server on "security_test" to talk to.
class SecurityActionTest : public ActionNodeTest
{
protected:
  void SetUp() override
  {
    ActionNodeTest::SetUp();
    server_ =
      std::make_unique<execute_engine_test_support::SimulatedSecurityServer>(*peers_, kServer);
  }

  void TearDown() override
  {
    server_.reset();
    ActionNodeTest::TearDown();
  }

  static constexpr char kServer[] = "security_test";
  std::unique_ptr<execute_engine_test_support::SimulatedSecurityServer> server_;
};

}  // namespace action_node_test

#endif  // ACTION_NODE_FIXTURE_HPP_
