// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// The whole start-up runs in this process, with the installed deployment tree, and requests
// go through the real "execute_robot" service.

#include <gtest/gtest.h>
#include <rcutils/logging.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
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
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/action/planner.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace
{

using namespace std::chrono_literals;
using RobotCommon = velmarin_protocol::srv::RobotCommon;

// What the nodes write through their ROS loggers, kept as well as printed.
class RosLogCapture
{
public:
  static void Install() { rcutils_logging_set_output_handler(&Handle); }

  static void Clear()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

  // True once a line holding `text` was written, false after `timeout`.
  static bool WaitFor(const std::string & text, std::chrono::milliseconds timeout)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return written_.wait_for(lock, timeout, [&text] {
      for (const std::string & line : lines_) {
        if (line.find(text) != std::string::npos) {
          return true;
        }
      }
      return false;
    });
  }

private:
  static void Handle(
    const rcutils_log_location_t * location, int severity, const char * name,
    rcutils_time_point_value_t timestamp, const char * format, va_list * args)
  {
    char line[1024];
    va_list copy;
    va_copy(copy, *args);
    std::vsnprintf(line, sizeof(line), format, copy);
    va_end(copy);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.emplace_back(line);
    }
    written_.notify_all();
    rcutils_logging_console_output_handler(location, severity, name, timestamp, format, args);
  }

  static inline std::mutex mutex_;
  static inline std::condition_variable written_;
  static inline std::vector<std::string> lines_;
};

class ExecuteRobotTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    log_ = engine_test::CaptureProgramLog();
    // Start-up then finds its logger name taken and keeps logging into the capture, so the
    // tests neither read nor write the robot's log directory.
    spdlog::register_logger(std::make_shared<spdlog::logger>("execute_engine"));
  }

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

  static std::shared_ptr<RobotCommon::Request> MakeRequest(int model_id, int cmd)
  {
    auto request = std::make_shared<RobotCommon::Request>();
    request->command.model_id = model_id;
    request->command.cmd = cmd;
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

TEST_F(ExecuteRobotTest, ModelWithoutHandlerIsAnsweredAsConstructed)
{
  for (int model_id : {0, 7, -1}) {
    SCOPED_TRACE(model_id);
    const auto response = Call(model_id, 1);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(response->result, 0);
    EXPECT_EQ(response->message, "");
    EXPECT_EQ(response->error_code, 0);
    EXPECT_EQ(
      log_->Count(
        "ScheduleRequest don't find func match model ID " + std::to_string(model_id), false),
      1u);
  }
}

TEST_F(ExecuteRobotTest, RequestsSentAtOnceAreHandledOneAfterTheOther)
{
  // Commands that the device model refuses: each request logs its Sentinel's line and then
  // the end of its tick, so interleaved handling would show in the log's order.
  std::vector<rclcpp::Client<RobotCommon>::FutureAndRequestId> pending;
  for (int cmd : {900, 901, 902, 903}) {
    pending.push_back(client_->async_send_request(MakeRequest(3, cmd)));
  }
  for (auto & future : pending) {
    ASSERT_EQ(future.wait_for(30s), std::future_status::ready);
  }
  const std::vector<std::string> messages = log_->Messages();
  std::vector<std::string> events;
  for (const std::string & message : messages) {
    if (message.rfind("cmd:90", 0) == 0) {
      events.push_back("refused");
    } else if (message == "behavior_tree action finished") {
      events.push_back("finished");
    }
  }
  ASSERT_EQ(events.size(), 8u);
  for (size_t i = 0; i < events.size(); i += 2) {
    EXPECT_EQ(events[i], "refused");
    EXPECT_EQ(events[i + 1], "finished");
  }
}

TEST_F(ExecuteRobotTest, EachModelReachesItsOwnBranch)
{
  // Every Sentinel of another model fails silently; only the branch of the request's model
  // reports the command it does not accept.
  struct Case
  {
    int model_id;
    int cmd;
  };
  for (const Case & request :
       {Case{1, 999}, Case{2, 201}, Case{3, 999}, Case{5, 999}, Case{6, 999}}) {
    SCOPED_TRACE(request.model_id);
    log_->Clear();
    const auto response = Call(request.model_id, request.cmd);
    ASSERT_NE(response, nullptr);
    const std::string refusal = "cmd:" + std::to_string(request.cmd) +
                                " is not support by model:" + std::to_string(request.model_id);
    EXPECT_EQ(log_->Count(refusal, false), 1u);
    EXPECT_EQ(log_->Count("is not support by model", false), 1u);
  }
}

TEST_F(ExecuteRobotTest, LocationRequestLoadsTheMapAndPublishesThePose)
{
  auto request = MakeRequest(1, 1);
  request->initial_pose.x = 1.0;
  request->initial_pose.y = 2.0;
  request->map_path = "/maps/a.pbstream";
  const auto response = Call(request);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->message, "Success");

  ASSERT_EQ(map_server_->Requests().size(), 1u);
  EXPECT_EQ(map_server_->Requests().front().map_url, "/maps/a.yaml");
  ASSERT_TRUE(pose_recorder_->WaitFor(1, 10s));
  const auto published = pose_recorder_->Messages().front();
  EXPECT_EQ(published.map_path, "/maps/a.pbstream");
  EXPECT_EQ(published.pose.header.frame_id, "map");
  EXPECT_EQ(published.pose.pose.pose.position.x, 1.0);
  EXPECT_EQ(published.pose.pose.pose.position.y, 2.0);
}

TEST_F(ExecuteRobotTest, DeviceRequestsReachTheControllerFromBothModelsThatCarryThem)
{
  for (int model_id : {3, 4}) {
    SCOPED_TRACE(model_id);
    auto request = MakeRequest(model_id, 201);
    request->devices.main_swp.cmd = model_id;
    request->devices.aux_pair.second = -5;
    const auto accepted = Call(request);
    ASSERT_NE(accepted, nullptr);
    EXPECT_EQ(accepted->result, 0);
    EXPECT_EQ(accepted->message, "Success");
    ASSERT_FALSE(device_controller_->Requests().empty());
    EXPECT_EQ(device_controller_->Requests().back().devices, request->devices);
  }

  device_controller_->SetErrorCode(7);
  const auto refused = Call(MakeRequest(3, 201));
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->result, 1);
  EXPECT_EQ(refused->message, "Failure");
  EXPECT_EQ(refused->error_code, 7);
  EXPECT_EQ(device_controller_->Requests().size(), 3u);
}

TEST_F(ExecuteRobotTest, MappingRequestsDriveTheMappingAndLocalizationPeers)
{
  mapping_peers_->SetLocTrajectories({4}, {0});
  const auto started = Call(MakeRequest(5, 301));
  ASSERT_NE(started, nullptr);
  EXPECT_EQ(started->message, "Success");

  mapping_peers_->SetMapTrajectories({9}, {0});
  auto save = MakeRequest(5, 302);
  save->map_id = 12;
  const auto saved = Call(save);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->message, "Success");

  EXPECT_EQ(
    mapping_peers_->Calls(),
    (std::vector<std::string>{
      "loc_get_trajectory_states", "loc_finish_trajectory", "map_start_trajectory",
      "map_get_trajectory_states", "map_finish_trajectory", "map_write_state"}));
  const auto writes =
    mapping_peers_->Requests<execute_engine_test_support::SimulatedMappingPeers::MapWriteState>();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes.front().filename, "/opt/velmarin/maps/12.pbstream");
}

TEST_F(ExecuteRobotTest, NavigationRunsOnTheTickingThreadAndPublishesItsOutcome)
{
  auto move = MakeRequest(2, 101);
  move->nav_control = 3;
  move->navigation_points.resize(2);
  move->navigation_points[1].x = 4.0;
  const auto accepted = Call(move);
  ASSERT_NE(accepted, nullptr);
  EXPECT_EQ(accepted->message, "Success");

  ASSERT_TRUE(planner_->WaitForGoals(1, 10s));
  const auto goal = planner_->Goals().front();
  EXPECT_EQ(goal.task_type, 2);
  EXPECT_EQ(goal.control, 3);
  ASSERT_EQ(goal.poses.size(), 2u);
  EXPECT_EQ(goal.poses[1].pose.position.x, 4.0);
  EXPECT_TRUE(g_execute_engine->IsTicking());

  velmarin_protocol::action::Planner::Result result;
  result.index = 3;
  result.state = 1;
  ASSERT_TRUE(planner_->Finish(0, rclcpp_action::ResultCode::SUCCEEDED, result, 10s));
  ASSERT_TRUE(reach_recorder_->WaitFor(1, 10s));
  const auto outcome = reach_recorder_->Messages().front();
  EXPECT_EQ(outcome.index, 3);
  EXPECT_TRUE(outcome.state);
  EXPECT_EQ(outcome.errnum, 0);
}

TEST_F(ExecuteRobotTest, LaterRequestsCancelARunningNavigationGoal)
{
  auto work = MakeRequest(4, 102);
  work->navigation_points.resize(1);
  ASSERT_NE(Call(work), nullptr);
  ASSERT_TRUE(planner_->WaitForGoals(1, 10s));
  EXPECT_EQ(planner_->Goals().front().task_type, 1);
  // Only a goal whose acceptance the node has taken can be cancelled; the line is written
  // inside the tick that takes it, and the cancel request waits for that tick to end.
  ASSERT_TRUE(RosLogCapture::WaitFor("Goal accepted by server, waiting for result", 10s));

  const auto cancel = Call(4, 4);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->message, "Success");
  EXPECT_TRUE(planner_->WaitForCancelRequests(1, 10s));
}

TEST_F(ExecuteRobotTest, ObstacleRequestSendsTheSecurityGoal)
{
  auto stop = MakeRequest(6, 401);
  stop->security_value = 0.5f;
  const auto response = Call(stop);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->message, "Success");
  ASSERT_TRUE(security_->WaitForGoals(1, 10s));
  EXPECT_EQ(security_->Goals().front().value, 0.5f);
}

}  // namespace
