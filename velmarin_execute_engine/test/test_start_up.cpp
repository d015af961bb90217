// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// Start-up runs in this process with the installed deployment tree, once per case, and is
// ended the ways the robot ends it while a navigation goal runs.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <memory>
#include <string>

#include "engine_fixture.hpp"
#include "execute_engine/start_up.hpp"
#include "execute_engine_test_support/background_executor.hpp"
#include "execute_engine_test_support/ros_log_capture.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace
{

using namespace std::chrono_literals;
using execute_engine_test_support::RosLogCapture;
using RobotCommon = velmarin_protocol::srv::RobotCommon;

// Well below the action nodes' 5 s cancel timeout, which a cancel that went unanswered waits.
constexpr auto kAnsweredShutdown = 3s;

enum class Stop
{
  kShutdownCall,
  kInterrupt,
  kTermination
};

class StartUpTest : public ::testing::TestWithParam<Stop>
{
protected:
  static void SetUpTestSuite() { engine_test::CaptureStartUpLog(); }

  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    RosLogCapture::Install();
    RosLogCapture::Clear();
    peers_ = std::make_unique<execute_engine_test_support::BackgroundExecutor>(2);
    planner_ =
      std::make_unique<execute_engine_test_support::SimulatedPlannerServer>(*peers_, "planner");
    security_ =
      std::make_unique<execute_engine_test_support::SimulatedSecurityServer>(*peers_, "security");
    served_ = std::async(std::launch::async, [] { return execute_engine::ServeExecuteRobot(); });
    caller_ = std::make_shared<rclcpp::Node>("start_up_caller");
    client_ = caller_->create_client<RobotCommon>("execute_robot");
    peers_->AddNode(caller_);
    ASSERT_TRUE(client_->wait_for_service(30s));
  }

  // The peers are gone before anything of them could answer after the shutdown.
  void TearDown() override
  {
    if (rclcpp::ok()) {
      rclcpp::shutdown();
    }
    if (served_.valid()) {
      served_.wait();
    }
    client_.reset();
    security_.reset();
    planner_.reset();
    peers_.reset();
    caller_.reset();
  }

  // Starts a navigation goal and waits until the node follows it and the server has taken it
  // on (a server answers a goal before it knows it, and ignores a cancel that comes between).
  void Navigate()
  {
    auto move = std::make_shared<RobotCommon::Request>();
    move->command.model_id = 2;
    move->command.cmd = 101;
    move->navigation_points.resize(1);
    auto answer = client_->async_send_request(move);
    ASSERT_EQ(answer.wait_for(30s), std::future_status::ready);
    ASSERT_TRUE(planner_->WaitForGoals(1, 10s));
    ASSERT_TRUE(RosLogCapture::WaitFor("Goal accepted by server, waiting for result", 10s));
    ASSERT_TRUE(planner_->PublishFeedback(0, velmarin_protocol::action::Planner::Feedback(), 10s));
  }

  static void StopTheWay(Stop stop)
  {
    switch (stop) {
      case Stop::kShutdownCall:
        rclcpp::shutdown();
        break;
      case Stop::kInterrupt:
        std::raise(SIGINT);
        break;
      case Stop::kTermination:
        std::raise(SIGTERM);
        break;
    }
  }

  std::future<int> served_;
  std::unique_ptr<execute_engine_test_support::BackgroundExecutor> peers_;
  std::unique_ptr<execute_engine_test_support::SimulatedPlannerServer> planner_;
  std::unique_ptr<execute_engine_test_support::SimulatedSecurityServer> security_;
  rclcpp::Node::SharedPtr caller_;
  rclcpp::Client<RobotCommon>::SharedPtr client_;
};

TEST_P(StartUpTest, RunningGoalIsCancelledAtItsServerBeforeROSGoesDown)
{
  Navigate();
  StopTheWay(GetParam());
  ASSERT_EQ(served_.wait_for(kAnsweredShutdown), std::future_status::ready);
  EXPECT_EQ(served_.get(), 0);
  EXPECT_EQ(planner_->CancelRequests(), 1u);
  EXPECT_FALSE(RosLogCapture::WaitFor("Failed to cancel", 0ms));
}

INSTANTIATE_TEST_SUITE_P(
  EveryWayOfStopping, StartUpTest,
  ::testing::Values(Stop::kShutdownCall, Stop::kInterrupt, Stop::kTermination));

using StartUpSilentServerTest = StartUpTest;

TEST_F(StartUpSilentServerTest, ShutdownWaitsNoLongerThanTheCancelTimeout)
{
  Navigate();
  planner_.reset();
  rclcpp::shutdown();
  ASSERT_EQ(served_.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(served_.get(), 0);
  EXPECT_TRUE(RosLogCapture::WaitFor("Failed to cancel action server for [planner]", 0ms));
}

}  // namespace
