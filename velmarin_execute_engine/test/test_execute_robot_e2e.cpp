// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// The whole start-up runs in this process, with the installed deployment tree, and requests
// go through the real "execute_robot" service.

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine/start_up.hpp"
#include "execute_engine_test_support/background_executor.hpp"
#include "execute_engine_test_support/ros_log_capture.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/action/planner.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace
{

using namespace std::chrono_literals;
using RobotCommon = velmarin_protocol::srv::RobotCommon;

using execute_engine_test_support::RosLogCapture;

class ExecuteRobotTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite() { log_ = engine_test::CaptureStartUpLog(); }

  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    RosLogCapture::Install();
    RosLogCapture::Clear();
    peers_ = std::make_unique<execute_engine_test_support::BackgroundExecutor>(2);
    map_server_ = std::make_unique<execute_engine_test_support::SimulatedMapServer>(*peers_);
    pose_recorder_ =
      std::make_unique<execute_engine_test_support::LocalizationMapAndPoseRecorder>(*peers_);
    device_controller_ =
      std::make_unique<execute_engine_test_support::SimulatedDeviceController>(*peers_);
    mapping_peers_ = std::make_unique<execute_engine_test_support::SimulatedMappingPeers>(*peers_);
    // The deployment tree's action nodes find their servers while the tree is built.
    planner_ =
      std::make_unique<execute_engine_test_support::SimulatedPlannerServer>(*peers_, "planner");
    security_ =
      std::make_unique<execute_engine_test_support::SimulatedSecurityServer>(*peers_, "security");
    reach_recorder_ = std::make_unique<execute_engine_test_support::ReachDestPoseRecorder>(*peers_);
    served_ = std::async(std::launch::async, [] { return execute_engine::ServeExecuteRobot(); });
    caller_ = std::make_shared<rclcpp::Node>("execute_robot_caller");
    client_ = caller_->create_client<RobotCommon>("execute_robot");
    peers_->AddNode(caller_);
    ASSERT_TRUE(client_->wait_for_service(30s));
    log_->Clear();
  }

  // Running goals are cancelled while their servers still answer, and the peers stop before
  // ROS goes down, so that none of them acts on ROS after the shutdown.
  void TearDown() override
  {
    g_execute_engine->Release();
    client_.reset();
    reach_recorder_.reset();
    security_.reset();
    planner_.reset();
    mapping_peers_.reset();
    device_controller_.reset();
    pose_recorder_.reset();
    map_server_.reset();
    peers_.reset();
    caller_.reset();
    rclcpp::shutdown();
    ASSERT_EQ(served_.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(served_.get(), 0);
  }

  // A request with the payload its command needs: one navigation point, a map, device
  // settings and an obstacle value.
  static std::shared_ptr<RobotCommon::Request> MakeRequest(int model_id, int cmd)
  {
    auto request = std::make_shared<RobotCommon::Request>();
    request->command.model_id = model_id;
    request->command.cmd = cmd;
    request->navigation_points.resize(1);
    request->navigation_points[0].x = 1.0;
    request->map_path = "/maps/a.pbstream";
    request->devices.main_swp.cmd = 1;
    request->security_value = 0.5f;
    return request;
  }

  std::shared_ptr<RobotCommon::Response> Call(std::shared_ptr<RobotCommon::Request> request)
  {
    auto future = client_->async_send_request(request);
    if (future.wait_for(30s) != std::future_status::ready) {
      ADD_FAILURE() << "no response for model " << request->command.model_id << " command "
                    << request->command.cmd;
      return nullptr;
    }
    return future.get();
  }

  std::shared_ptr<RobotCommon::Response> Call(int model_id, int cmd)
  {
    return Call(MakeRequest(model_id, cmd));
  }

  static inline std::shared_ptr<engine_test::LogCapture> log_;
  std::future<int> served_;
  std::unique_ptr<execute_engine_test_support::BackgroundExecutor> peers_;
  std::unique_ptr<execute_engine_test_support::SimulatedMapServer> map_server_;
  std::unique_ptr<execute_engine_test_support::LocalizationMapAndPoseRecorder> pose_recorder_;
  std::unique_ptr<execute_engine_test_support::SimulatedDeviceController> device_controller_;
  std::unique_ptr<execute_engine_test_support::SimulatedMappingPeers> mapping_peers_;
  std::unique_ptr<execute_engine_test_support::SimulatedPlannerServer> planner_;
  std::unique_ptr<execute_engine_test_support::SimulatedSecurityServer> security_;
  std::unique_ptr<execute_engine_test_support::ReachDestPoseRecorder> reach_recorder_;
  rclcpp::Node::SharedPtr caller_;
  rclcpp::Client<RobotCommon>::SharedPtr client_;
};

// What the peers have received so far.
struct PeerCalls
{
  size_t devices;
  size_t map_loads;
  size_t poses;
  size_t mapping_calls;
  size_t planner_goals;
  size_t planner_cancels;
  size_t security_goals;
};

enum class Goal
{
  kNone,
  kNavigation,
  kSweeping
};

// What becomes of the navigation outcome a row leaves.
enum class Outcome
{
  kNone,           // nothing on "reachdestpose"
  kPlannerResult,  // the goal went on, and the planner's result is published once
  kPaused,         // the goal went on paused (a paused goal's result waits for a recovery)
  kEnded,          // the goal ended without a result: one {-1, false, 0}
};

// One row of the routing table of the deployment tree: with `goal` running, `model_id`/`cmd`
// gets `result`, reaches the peers as `calls` says (counts beyond the goal's own start), and
// leaves `outcome` on "reachdestpose".
struct Row
{
  const char * what;
  Goal goal;
  int model_id;
  int cmd;
  int result;
  PeerCalls calls;
  Outcome outcome;
};

// The routing table's rows, one after the other on one running node.
class RoutingTest : public ExecuteRobotTest
{
protected:
  PeerCalls Received() const
  {
    return {
      device_controller_->Requests().size(),
      map_server_->Requests().size(),
      pose_recorder_->Messages().size(),
      mapping_peers_->Calls().size(),
      planner_->Goals().size(),
      planner_->CancelRequests(),
      security_->Goals().size()};
  }

  // Starts a navigation or sweeping goal and waits until the node follows it.
  void StartGoal(Goal goal)
  {
    RosLogCapture::Clear();
    const size_t goals = planner_->Goals().size();
    const auto response =
      Call(goal == Goal::kNavigation ? 2 : 4, goal == Goal::kNavigation ? 101 : 102);
    ASSERT_NE(response, nullptr);
    ASSERT_EQ(response->message, "Success");
    ASSERT_TRUE(planner_->WaitForGoals(goals + 1, 10s));
    EXPECT_EQ(planner_->Goals().back().task_type, goal == Goal::kNavigation ? 2 : 1);
    ASSERT_TRUE(RosLogCapture::WaitFor("Goal accepted by server, waiting for result", 10s));
  }

  static bool WaitUntilIdle()
  {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (g_execute_engine->IsTicking() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    return !g_execute_engine->IsTicking();
  }

  void Check(const Row & row)
  {
    SCOPED_TRACE(row.what);
    if (row.goal != Goal::kNone) {
      StartGoal(row.goal);
    }
    const size_t goal_index = planner_->Goals().size() - 1;
    const PeerCalls before = Received();
    const size_t outcomes = reach_recorder_->Messages().size();

    const auto response = Call(row.model_id, row.cmd);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(response->result, row.result);
    EXPECT_EQ(response->message, row.result == 0 ? "Success" : "Failure");
    if (row.calls.planner_cancels != 0) {
      EXPECT_TRUE(planner_->WaitForCancelRequests(before.planner_cancels + 1, 10s));
    }
    EXPECT_TRUE(security_->WaitForGoals(before.security_goals + row.calls.security_goals, 10s));
    EXPECT_TRUE(planner_->WaitForGoals(before.planner_goals + row.calls.planner_goals, 10s));
    EXPECT_TRUE(pose_recorder_->WaitFor(before.poses + row.calls.poses, 10s));
    if (row.outcome == Outcome::kPlannerResult) {
      // Still followed: its result is what ends it.
      EXPECT_TRUE(g_execute_engine->IsTicking());
      velmarin_protocol::action::Planner::Result result;
      result.index = 7;
      result.state = 1;
      EXPECT_TRUE(planner_->Finish(goal_index, rclcpp_action::ResultCode::SUCCEEDED, result, 10s));
      EXPECT_TRUE(reach_recorder_->WaitFor(outcomes + 1, 10s));
    } else if (row.outcome == Outcome::kEnded) {
      EXPECT_TRUE(reach_recorder_->WaitFor(outcomes + 1, 10s));
    }
    if (row.outcome != Outcome::kPaused) {
      ASSERT_TRUE(WaitUntilIdle());
    }

    const PeerCalls after = Received();
    EXPECT_EQ(after.devices - before.devices, row.calls.devices);
    EXPECT_EQ(after.map_loads - before.map_loads, row.calls.map_loads);
    EXPECT_EQ(after.poses - before.poses, row.calls.poses);
    EXPECT_EQ(after.mapping_calls - before.mapping_calls, row.calls.mapping_calls);
    EXPECT_EQ(after.planner_goals - before.planner_goals, row.calls.planner_goals);
    EXPECT_EQ(after.planner_cancels - before.planner_cancels, row.calls.planner_cancels);
    EXPECT_EQ(after.security_goals - before.security_goals, row.calls.security_goals);
    if (row.calls.security_goals != 0) {
      EXPECT_EQ(security_->Goals().back().value, 0.5f);
    }
    const auto messages = reach_recorder_->Messages();
    const std::vector<velmarin_protocol::msg::ReachDestinationPose> published(
      messages.begin() + static_cast<std::ptrdiff_t>(outcomes), messages.end());
    switch (row.outcome) {
      case Outcome::kNone:
        EXPECT_TRUE(published.empty());
        break;
      case Outcome::kPlannerResult:
        ASSERT_EQ(published.size(), 1u);
        EXPECT_EQ(published[0].index, 7);
        EXPECT_TRUE(published[0].state);
        break;
      case Outcome::kPaused:
        EXPECT_TRUE(published.empty());
        EXPECT_TRUE(g_execute_engine->IsTicking());
        ASSERT_NE(Call(row.model_id, 4), nullptr);  // ends it
        ASSERT_TRUE(WaitUntilIdle());
        break;
      case Outcome::kEnded:
        ASSERT_EQ(published.size(), 1u);
        EXPECT_EQ(published[0].index, -1);
        EXPECT_FALSE(published[0].state);
        EXPECT_EQ(published[0].errnum, 0);
        break;
    }
  }
};

constexpr Goal kIdle = Goal::kNone;
constexpr Goal kNav = Goal::kNavigation;
constexpr Goal kSweep = Goal::kSweeping;
//                  devices, map loads, poses, mapping, planner goals, cancels, security goals
constexpr PeerCalls kNothing{0, 0, 0, 0, 0, 0, 0};
constexpr PeerCalls kDevice{1, 0, 0, 0, 0, 0, 0};
constexpr PeerCalls kLocation{0, 1, 1, 0, 0, 0, 0};
constexpr PeerCalls kMappingStart{0, 0, 0, 2, 0, 0, 0};
constexpr PeerCalls kPauseGoal{0, 0, 0, 0, 1, 0, 0};
constexpr PeerCalls kCancel{0, 0, 0, 0, 0, 1, 0};
constexpr PeerCalls kObstacle{0, 0, 0, 0, 0, 0, 1};
constexpr PeerCalls kObstacleTakesOver{0, 0, 0, 0, 0, 1, 1};

TEST_F(RoutingTest, EveryRequestIsCarriedOutAtMostOnceOrAnsweredFailure)
{
  const Row rows[] = {
    {"unknown model", kIdle, 7, 1, 1, kNothing, Outcome::kNone},
    {"command the model refuses", kIdle, 3, 999, 1, kNothing, Outcome::kNone},
    {"cancel without a goal", kIdle, 2, 4, 1, kNothing, Outcome::kNone},
    {"pause without a goal", kIdle, 4, 5, 1, kNothing, Outcome::kNone},
    {"command no node handles", kIdle, 1, 2, 1, kNothing, Outcome::kNone},
    {"mapping command no node handles", kIdle, 5, 8, 1, kNothing, Outcome::kNone},
    {"location", kIdle, 1, 1, 0, kLocation, Outcome::kNone},
    {"devices", kIdle, 3, 201, 0, kDevice, Outcome::kNone},
    {"devices of the sweeping model", kIdle, 4, 201, 0, kDevice, Outcome::kNone},
    {"sweeping command no node handles", kIdle, 4, 202, 1, kNothing, Outcome::kNone},
    {"mapping", kIdle, 5, 301, 0, kMappingStart, Outcome::kNone},
    {"obstacle", kIdle, 6, 401, 0, kObstacle, Outcome::kNone},

    {"cancel", kNav, 2, 4, 0, kCancel, Outcome::kEnded},
    {"other cancel", kNav, 2, 8, 0, kCancel, Outcome::kEnded},
    {"pause", kNav, 2, 5, 0, kPauseGoal, Outcome::kPaused},
    {"recovery while not paused", kNav, 2, 403, 0, kNothing, Outcome::kPlannerResult},
    {"second move", kNav, 2, 101, 1, kNothing, Outcome::kPlannerResult},
    {"second work of the other model", kNav, 4, 102, 1, kNothing, Outcome::kPlannerResult},
    {"cancel of the other model", kNav, 4, 4, 1, kNothing, Outcome::kPlannerResult},
    {"command the model refuses", kNav, 2, 999, 1, kNothing, Outcome::kPlannerResult},
    {"unknown model", kNav, 0, 1, 1, kNothing, Outcome::kPlannerResult},
    {"devices", kNav, 3, 201, 0, kDevice, Outcome::kPlannerResult},
    {"device cancel", kNav, 3, 4, 0, kNothing, Outcome::kPlannerResult},
    {"devices of the sweeping model", kNav, 4, 201, 0, kDevice, Outcome::kPlannerResult},
    {"location", kNav, 1, 1, 1, kNothing, Outcome::kPlannerResult},
    {"mapping", kNav, 5, 301, 1, kNothing, Outcome::kPlannerResult},
    {"obstacle", kNav, 6, 401, 0, kObstacleTakesOver, Outcome::kEnded},

    {"devices", kSweep, 4, 201, 0, kDevice, Outcome::kPlannerResult},
    {"command no node handles", kSweep, 4, 202, 1, kNothing, Outcome::kPlannerResult},
    {"pause", kSweep, 4, 5, 0, kPauseGoal, Outcome::kPaused},
    {"cancel", kSweep, 4, 4, 0, kCancel, Outcome::kEnded},
    {"cancel of the other model", kSweep, 2, 4, 1, kNothing, Outcome::kPlannerResult},
    {"obstacle", kSweep, 6, 402, 0, kObstacleTakesOver, Outcome::kEnded},
  };
  for (const Row & row : rows) {
    Check(row);
  }

  map_server_->SetResult(nav2_msgs::srv::LoadMap::Response::RESULT_MAP_DOES_NOT_EXIST);
  Check(
    {"location whose map is not loaded", kIdle, 1, 1, 1, {0, 1, 0, 0, 0, 0, 0}, Outcome::kNone});
}

TEST_F(ExecuteRobotTest, DeviceErrorCodeReachesTheAnswer)
{
  device_controller_->SetErrorCode(7);
  const auto refused = Call(MakeRequest(3, 201));
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->result, 1);
  EXPECT_EQ(refused->message, "Failure");
  EXPECT_EQ(refused->error_code, 7);
  EXPECT_EQ(device_controller_->Requests().size(), 1u);
}

}  // namespace
