// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// The whole start-up runs in this process, once per case, with the installed deployment tree,
// and requests go through the real "execute_robot" service.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <tuple>

#include "engine_fixture.hpp"
#include "execute_engine/start_up.hpp"
#include "execute_engine_test_support/ros_log_capture.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace
{

namespace fs = std::filesystem;
namespace support = execute_engine_test_support;
using namespace std::chrono_literals;
using RobotCommon = velmarin_protocol::srv::RobotCommon;
using support::RosLogCapture;

// What a deployer may get wrong ends start-up before the service, with ROS shut down and -1.
TEST(StartUpFailure, MissingOrBadTreeEndsStartUp)
{
  engine_test::CaptureProgramLog();
  const std::string installed = ::getenv("AMENT_PREFIX_PATH");
  // Package not installed, no tree file, a tree naming no known node.
  for (const std::string tree : {"-", "", "<root><BehaviorTree ID=\"Main\"><NoSuchNode/>"}) {
    std::string prefix = (fs::temp_directory_path() / "engine_prefix_XXXXXX").string();
    ASSERT_NE(::mkdtemp(prefix.data()), nullptr);
    const fs::path share = fs::path(prefix) / "share";
    if (tree != "-") {
      fs::create_directories(share / "ament_index/resource_index/packages");
      std::ofstream(share / "ament_index/resource_index/packages/velmarin_execute_engine");
      fs::create_directories(share / "velmarin_execute_engine/xml");
    }
    if (!tree.empty() && tree != "-") {
      std::ofstream(share / "velmarin_execute_engine/xml/tree.xml") << tree;
    }
    ::setenv("AMENT_PREFIX_PATH", prefix.c_str(), 1);
    rclcpp::init(0, nullptr);
    EXPECT_EQ(execute_engine::ServeExecuteRobot(), -1) << tree;
    EXPECT_FALSE(rclcpp::ok());
    ::setenv("AMENT_PREFIX_PATH", installed.c_str(), 1);
    fs::remove_all(prefix);
  }
}

// The peers that the deployment tree's nodes call, up before start-up since the action nodes
// find their servers while the tree is built.
struct Peers
{
  support::BackgroundExecutor executor{2};
  support::SimulatedMapServer map_server{executor};
  support::LocalizationMapAndPoseRecorder poses{executor};
  support::SimulatedDeviceController devices{executor};
  support::SimulatedMappingPeers mapping{executor};
  support::SimulatedSecurityServer security{executor, "security"};
  support::ReachDestPoseRecorder reached{executor};
};

// What the peers received: device settings, map loads, poses, mapping calls, planner goals,
// planner cancels, obstacle goals.
using Calls = std::array<size_t, 7>;
constexpr Calls kNo{}, kDev{1}, kLoc{0, 1, 1}, kMap{0, 0, 0, 2}, kPause{0, 0, 0, 0, 1},
  kCancel{0, 0, 0, 0, 0, 1}, kObst{0, 0, 0, 0, 0, 0, 1}, kTakeOver{0, 0, 0, 0, 0, 1, 1};

// What a row leaves on "reachdestpose".
enum Outcome
{
  kNone,    // nothing
  kResult,  // the goal went on, and the planner's result is published once
  kPaused,  // the goal went on paused: nothing, until a cancel ends it
  kEnded,   // the goal ended without a result: one {-1, false, 0}
};

// With a goal of model `goal` running (0: none), `model_id`/`cmd` gets `result`, reaches the
// peers as `calls` says (beyond the goal's own start), and leaves `outcome`.
struct Row
{
  int goal, model_id, cmd, result;
  Calls calls;
  Outcome outcome;
};

class ExecuteRobotTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    engine_test::CaptureProgramLog();
    rclcpp::init(0, nullptr);
    RosLogCapture::Install();
    peers_ = std::make_unique<Peers>();
    planner_ = std::make_unique<support::SimulatedPlannerServer>(peers_->executor, "planner");
    served_ = std::async(std::launch::async, [] { return execute_engine::ServeExecuteRobot(); });
    caller_ = std::make_shared<rclcpp::Node>("execute_robot_caller");
    client_ = caller_->create_client<RobotCommon>("execute_robot");
    peers_->executor.AddNode(caller_);
    ASSERT_TRUE(client_->wait_for_service(30s));
  }

  // Running goals are cancelled while their servers still answer, and the peers stop before
  // ROS goes down, so that none of them acts on ROS after the shutdown.
  void TearDown() override
  {
    g_execute_engine->Release();
    planner_.reset();
    peers_.reset();
    rclcpp::shutdown();
    ASSERT_EQ(served_.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(served_.get(), 0);
  }

  // The answer to a request with the payload any command needs.
  std::shared_ptr<RobotCommon::Response> Call(int model_id, int cmd)
  {
    auto request = std::make_shared<RobotCommon::Request>();
    request->command.model_id = model_id;
    request->command.cmd = cmd;
    request->navigation_points.resize(1);
    request->map_path = "/maps/a.pbstream";
    request->devices.main_swp.cmd = 1;
    request->security_value = 0.5f;
    auto future = client_->async_send_request(request);
    return future.wait_for(30s) == std::future_status::ready ? future.get() : nullptr;
  }

  // Starts a navigation (model 2) or sweeping (model 4) goal; returns once the node follows it.
  void StartGoal(int model_id)
  {
    RosLogCapture::Clear();
    const size_t goals = planner_->Goals().size();
    const auto response = Call(model_id, model_id == 2 ? 101 : 102);
    ASSERT_TRUE(response && response->result == 0);
    ASSERT_TRUE(planner_->WaitForGoals(goals + 1, 10s));
    ASSERT_TRUE(RosLogCapture::WaitFor("Goal accepted by server, waiting for result", 10s));
  }

  Calls Received(const Calls & since = {}) const
  {
    Calls calls{peers_->devices.Requests().size(), peers_->map_server.Requests().size(),
                peers_->poses.Messages().size(),   peers_->mapping.Calls().size(),
                planner_->Goals().size(),          planner_->CancelRequests(),
                peers_->security.Goals().size()};
    for (size_t i = 0; i < calls.size(); ++i) {
      calls[i] -= since[i];
    }
    return calls;
  }

  void Check(const Row & row)
  {
    SCOPED_TRACE(::testing::Message() << row.goal << ": " << row.model_id << "/" << row.cmd);
    if (row.goal != 0) {
      StartGoal(row.goal);
    }
    const Calls before = Received();
    const bool publishes = row.outcome == kResult || row.outcome == kEnded;
    const size_t published = peers_->reached.Messages().size() + (publishes ? 1 : 0);
    const auto response = Call(row.model_id, row.cmd);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(response->result, row.result);
    if (row.outcome == kResult) {
      EXPECT_TRUE(g_execute_engine->IsTicking());  // still followed: its result ends it
      EXPECT_TRUE(planner_->Finish(
        planner_->Goals().size() - 1, rclcpp_action::ResultCode::SUCCEEDED,
        velmarin_protocol::action::Planner::Result().set__index(7).set__state(1), 10s));
    }
    EXPECT_TRUE(peers_->reached.WaitFor(published, 10s));
    EXPECT_TRUE(engine_test::Eventually([&] {
      return Received(before) == row.calls &&
             g_execute_engine->IsTicking() == (row.outcome == kPaused);
    }));
    EXPECT_EQ(Received(before), row.calls);
    const auto messages = peers_->reached.Messages();
    ASSERT_EQ(messages.size(), published);
    if (publishes) {
      EXPECT_EQ(
        std::make_tuple(messages.back().index, messages.back().state, messages.back().errnum),
        row.outcome == kResult ? std::make_tuple(7, true, 0) : std::make_tuple(-1, false, 0));
    }
    if (row.outcome == kPaused) {
      ASSERT_NE(Call(row.model_id, 4), nullptr);
      ASSERT_TRUE(engine_test::WaitUntilIdle());
    }
  }

  std::future<int> served_;
  std::unique_ptr<Peers> peers_;
  std::unique_ptr<support::SimulatedPlannerServer> planner_;
  rclcpp::Node::SharedPtr caller_;
  rclcpp::Client<RobotCommon>::SharedPtr client_;
};

TEST_F(ExecuteRobotTest, EveryRequestIsCarriedOutAtMostOnceOrAnsweredFailure)
{
  // clang-format off
  const Row rows[] = {
    // Idle.
    {0, 7, 1, 1, kNo, kNone},        {0, 3, 999, 1, kNo, kNone},      {0, 2, 4, 1, kNo, kNone},
    {0, 4, 5, 1, kNo, kNone},        {0, 1, 2, 1, kNo, kNone},        {0, 5, 8, 1, kNo, kNone},
    {0, 4, 202, 1, kNo, kNone},      {0, 1, 1, 0, kLoc, kNone},       {0, 3, 201, 0, kDev, kNone},
    {0, 4, 201, 0, kDev, kNone},     {0, 5, 301, 0, kMap, kNone},     {0, 6, 401, 0, kObst, kNone},
    // Navigating: steering commands of its own model, then everything else.
    {2, 2, 4, 0, kCancel, kEnded},   {2, 2, 8, 0, kCancel, kEnded},   {2, 2, 5, 0, kPause, kPaused},
    {2, 2, 403, 0, kNo, kResult},    {2, 2, 101, 1, kNo, kResult},    {2, 2, 999, 1, kNo, kResult},
    {2, 4, 102, 1, kNo, kResult},    {2, 4, 4, 1, kNo, kResult},      {2, 0, 1, 1, kNo, kResult},
    {2, 3, 201, 0, kDev, kResult},   {2, 3, 4, 0, kNo, kResult},      {2, 4, 201, 0, kDev, kResult},
    {2, 1, 1, 1, kNo, kResult},      {2, 5, 301, 1, kNo, kResult},    {2, 6, 401, 0, kTakeOver, kEnded},
    // Sweeping.
    {4, 4, 201, 0, kDev, kResult},   {4, 4, 202, 1, kNo, kResult},    {4, 4, 5, 0, kPause, kPaused},
    {4, 4, 4, 0, kCancel, kEnded},   {4, 2, 4, 1, kNo, kResult},      {4, 6, 402, 0, kTakeOver, kEnded}};
  // clang-format on
  for (const Row & row : rows) {
    Check(row);
  }
  peers_->map_server.SetResult(nav2_msgs::srv::LoadMap::Response::RESULT_MAP_DOES_NOT_EXIST);
  Check({0, 1, 1, 1, {0, 1}, kNone});
  peers_->devices.SetErrorCode(7);
  const auto refused = Call(3, 201);
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(std::make_pair(refused->result, refused->error_code), std::make_pair(1, 7));
}

enum Stop
{
  kShutdownCall,
  kInterrupt = SIGINT,
  kTermination = SIGTERM,
  kSilentServer = -1,  // the shutdown call, with the planner gone
};

class ShutdownTest : public ExecuteRobotTest, public ::testing::WithParamInterface<Stop>
{
};

// However ROS goes down, a running goal is cancelled at its server first, well within the
// action nodes' 5 s cancel timeout; a server gone silent holds the shutdown for that timeout.
TEST_P(ShutdownTest, CancelsTheRunningGoalFirst)
{
  StartGoal(2);
  ASSERT_TRUE(planner_->PublishFeedback(
    0, velmarin_protocol::action::Planner::Feedback(),
    10s));  // known to the server, so cancellable
  if (GetParam() == kSilentServer) {
    planner_.reset();
  }
  if (GetParam() > 0) {
    std::raise(GetParam());
  } else {
    rclcpp::shutdown();
  }
  ASSERT_EQ(served_.wait_for(planner_ ? 3s : 10s), std::future_status::ready);
  EXPECT_EQ(RosLogCapture::WaitFor("Failed to cancel action server for [planner]", 0ms), !planner_);
  EXPECT_TRUE(!planner_ || planner_->CancelRequests() == 1u);
}

INSTANTIATE_TEST_SUITE_P(
  EveryWay, ShutdownTest,
  ::testing::Values(kShutdownCall, kInterrupt, kTermination, kSilentServer));

}  // namespace
