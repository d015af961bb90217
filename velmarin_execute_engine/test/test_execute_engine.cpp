// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// Start-up runs in this process, once per case, with the installed deployment tree, and
// requests go through the real "execute_robot" service; then the engine alone, with trees of
// the tests' own.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>

#include "engine_fixture.hpp"
#include "execute_engine/start_up.hpp"
#include "execute_engine_test_support/ros_log_capture.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"
#include "execute_engine_test_support/simulated_service.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"
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
  const auto log = engine_test::CaptureProgramLog();
  const std::string installed = ::getenv("AMENT_PREFIX_PATH");
  const fs::path prefix =
    fs::temp_directory_path() / ("engine_prefix_" + std::to_string(::getpid()));
  fs::create_directories(prefix / "share/velmarin_execute_engine/xml");
  ::setenv("AMENT_PREFIX_PATH", prefix.c_str(), 1);
  const auto fails = [] {
    rclcpp::init(0, nullptr);
    return execute_engine::ServeExecuteRobot() == -1 && !rclcpp::ok();
  };
  EXPECT_TRUE(fails()) << "package not installed";
  fs::create_directories(prefix / "share/ament_index/resource_index/packages");
  std::ofstream(prefix / "share/ament_index/resource_index/packages/velmarin_execute_engine");
  EXPECT_TRUE(fails()) << "no tree file";
  std::ofstream(prefix / "share/velmarin_execute_engine/xml/tree.xml") << "<root><Bad";
  EXPECT_TRUE(fails()) << "truncated tree";
  // A directory opens as a file, but cannot be read, unlike a file without permission for root.
  fs::remove(prefix / "share/velmarin_execute_engine/xml/tree.xml");
  fs::create_directory(prefix / "share/velmarin_execute_engine/xml/tree.xml");
  EXPECT_TRUE(fails()) << "unreadable tree";
  EXPECT_EQ(log->Count("/xml/tree.xml is unreadable"), 1u);
  ::setenv("AMENT_PREFIX_PATH", installed.c_str(), 1);
  fs::remove_all(prefix);
}

// The peers that the deployment tree's nodes call, up before start-up since the action nodes
// find their servers while the tree is built; and the caller of "execute_robot".
struct Peers
{
  support::BackgroundExecutor executor{2};
  support::SimulatedMapServer map_server{executor};
  support::LocalizationMapAndPoseRecorder poses{executor};
  support::SimulatedDeviceController devices{executor};
  support::SimulatedMappingPeers mapping{executor};
  support::SimulatedSecurityServer security{executor, "security"};
  support::ReachDestPoseRecorder reached{executor};
  rclcpp::Node::SharedPtr caller = std::make_shared<rclcpp::Node>("execute_robot_caller");
  rclcpp::Client<RobotCommon>::SharedPtr client =
    caller->create_client<RobotCommon>("execute_robot");
};

// What the peers received: device settings, map loads, poses, mapping calls, planner goals,
// planner cancels, obstacle goals, obstacle cancels. kOust: an obstacle goal that ousts the
// running goal; kNext: one that replaces the obstacle goal held, or one accepted too late and
// cancelled; kTakeOver: a goal that replaces the obstacle goal held.
using Calls = std::array<size_t, 8>;
constexpr size_t kObstacleCancels = 7;
constexpr Calls kNo{}, kDev{1}, kLoc{0, 1, 1}, kMap{0, 0, 0, 2}, kPause{0, 0, 0, 0, 1},
  kCancel{0, 0, 0, 0, 0, 1}, kObst{0, 0, 0, 0, 0, 0, 1}, kOust{0, 0, 0, 0, 0, 1, 1},
  kNext{0, 0, 0, 0, 0, 0, 1, 1}, kTakeOver{0, 0, 0, 0, 1, 0, 0, 1};

// A row's `goal`: the goal started before it (model 2 or 4, or an obstacle goal: 6), 0 for
// none, kOn for the one the previous row left running. Then `model_id`/`cmd` gets `result`,
// reaches the peers as `calls` says and leaves `outcome` on "reachdestpose": nothing (kNone;
// kPaused: the goal went on paused), the planner's result published once (kResult: the goal
// went on; kPausedResult: the paused goal ended), or index -1 (kEnded: the goal ended). An
// obstacle goal that the row leaves uncancelled must still be held: the next obstacle request
// cancels it. `peer`: how the peers behave after the goal started: as asked (0), the planner
// refuses cancels (kRefusesCancel), the planner leaves once the request is carried out and
// comes back once the goal ended (kLeaves), the obstacle server answers goals after the action
// timeout (kAnswersLate).
constexpr int kOn = -1, kNone = 0, kPaused = 1, kResult = 2, kPausedResult = 3, kEnded = 4;
constexpr int kRefusesCancel = 1, kLeaves = 2, kAnswersLate = 3;
struct Row
{
  int goal, model_id, cmd, result;
  Calls calls;
  int outcome;
  int peer = 0;
};

// Another server of "execute_robot" keeps start-up from serving, clients of it do not (the
// peers' caller); an interrupt while start-up waits for absent action servers ends it at once,
// and is no failure.
TEST(StartUpFailure, AnotherServerEndsStartUpAnInterruptStopsIt)
{
  const auto log = engine_test::CaptureProgramLog();
  rclcpp::init(0, nullptr);
  {
    Peers peers;
    support::SimulatedPlannerServer planner(peers.executor, "planner");
    support::SimulatedService<RobotCommon> other(peers.executor, "other_engine", "execute_robot");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(execute_engine::ServeExecuteRobot(), -1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("after advertiseService"), std::string::npos) << out;
    EXPECT_EQ(log->Count("\"execute_robot\" is already served by another engine"), 1u);
  }
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    rclcpp::init(0, nullptr);
    log->Clear();
    ::testing::internal::CaptureStdout();
    auto served =
      std::async(std::launch::async, [] { return execute_engine::ServeExecuteRobot(); });
    EXPECT_TRUE(engine_test::Eventually([&] { return log->Count("create action[", false) > 0; }));
    std::raise(signal);
    const bool ended = served.wait_for(2s) == std::future_status::ready;
    const std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ended) << "not ended well before the action servers' timeout";
    EXPECT_EQ(served.get(), 0);
    EXPECT_NE(out.find("start-up interrupted"), std::string::npos) << out;
    EXPECT_EQ(out.find("failed"), std::string::npos) << out;
    EXPECT_EQ(log->Count("failed", false), 0u);
  }
}

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
    // Nothing else serves "execute_robot" here: a short look is enough.
    served_ =
      std::async(std::launch::async, [] { return execute_engine::ServeExecuteRobot(100ms); });
    peers_->executor.AddNode(peers_->caller);
    ASSERT_TRUE(peers_->client->wait_for_service(30s));
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
    request->command.set__model_id(model_id).set__cmd(cmd);
    request->navigation_points.resize(1);
    request->map_path = "/maps/a.pbstream";
    request->devices.main_swp.cmd = 1;
    request->security_value = 0.5f;
    auto future = peers_->client->async_send_request(request);
    return future.wait_for(30s) == std::future_status::ready ? future.get() : nullptr;
  }

  // Starts a navigation (model 2), sweeping (model 4) or obstacle (model 6) goal; returns once
  // the node follows it.
  void StartGoal(int model_id)
  {
    RosLogCapture::Clear();
    if (model_id == 6) {
      const size_t goals = peers_->security.Goals().size();
      const auto response = Call(6, 401);
      ASSERT_TRUE(response && response->result == 0);
      ASSERT_EQ(peers_->security.Goals().size(), goals + 1);
      return;
    }
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
                peers_->security.Goals().size(),   peers_->security.CancelRequests()};
    std::transform(calls.begin(), calls.end(), since.begin(), calls.begin(), std::minus<>());
    return calls;
  }

  void Check(const Row & row)
  {
    SCOPED_TRACE(::testing::Message() << row.goal << ": " << row.model_id << "/" << row.cmd);
    if (row.goal > 0) {
      StartGoal(row.goal);
    }
    planner_->SetCancelDecision(
      row.peer == kRefusesCancel ? rclcpp_action::CancelResponse::REJECT
                                 : rclcpp_action::CancelResponse::ACCEPT);
    peers_->security.SetGoalAnswerDelay(row.peer == kAnswersLate ? 30s : 0s);
    const Calls before = Received();
    const size_t published = peers_->reached.Messages().size() + (row.outcome >= kResult);
    const auto response = Call(row.model_id, row.cmd);
    EXPECT_EQ(response ? response->result : -1, row.result);
    // Accepted now, after the request was answered.
    peers_->security.SetGoalAnswerDelay(0s);
    EXPECT_TRUE(engine_test::Eventually([&] { return Received(before) == row.calls; }));
    // The goal ends at the planner once the request has reached it.
    if (row.outcome == kResult || row.outcome == kPausedResult) {
      EXPECT_TRUE(planner_->Finish(
        planner_->Goals().size() - (row.outcome == kPausedResult ? 2 : 1),
        rclcpp_action::ResultCode::SUCCEEDED,
        velmarin_protocol::action::Planner::Result().set__index(7).set__state(1), 10s));
    }
    if (row.peer == kLeaves) {
      planner_.reset();
      EXPECT_TRUE(peers_->reached.WaitFor(published, 10s));
      planner_ = std::make_unique<support::SimulatedPlannerServer>(peers_->executor, "planner");
      EXPECT_FALSE(RosLogCapture::WaitFor("Failed to cancel", 0ms));
    } else {
      EXPECT_TRUE(peers_->reached.WaitFor(published, 10s));
      EXPECT_EQ(Received(before), row.calls);
    }
    EXPECT_TRUE(engine_test::Eventually(
      [&] { return g_execute_engine->IsTicking() == (row.outcome == kPaused); }));
    const auto messages = peers_->reached.Messages();
    ASSERT_EQ(messages.size(), published);
    EXPECT_TRUE(row.outcome < kResult || messages.back().index == (row.outcome == kEnded ? -1 : 7));
    if (row.goal == 6 && row.calls[kObstacleCancels] == 0) {
      const Calls held = Received();
      const auto next = Call(6, 403);
      EXPECT_TRUE(next && next->result == 0);
      EXPECT_TRUE(engine_test::Eventually([&] { return Received(held) == kNext; }));
    }
  }

  std::future<int> served_;
  std::unique_ptr<Peers> peers_;
  std::unique_ptr<support::SimulatedPlannerServer> planner_;
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
    {0, 6, 402, 1, kNext, kNone, kAnswersLate},
    // Navigating: steering commands of its own model, then everything else.
    {2, 2, 4, 0, kCancel, kEnded},   {2, 2, 8, 0, kCancel, kEnded},   {2, 2, 5, 0, kPause, kPaused},
    {kOn, 2, 4, 0, kCancel, kEnded}, {2, 2, 403, 0, kNo, kResult},    {2, 2, 101, 1, kNo, kResult},
    {2, 2, 999, 1, kNo, kResult},    {2, 4, 102, 1, kNo, kResult},    {2, 4, 4, 1, kNo, kResult},
    {2, 3, 201, 0, kDev, kResult},   {2, 4, 201, 0, kDev, kResult},   {2, 1, 1, 1, kNo, kResult},
    {2, 5, 301, 1, kNo, kResult},    {2, 0, 1, 1, kNo, kResult},      {2, 3, 4, 0, kNo, kResult},
    {2, 6, 401, 0, kOust, kEnded},
    // What the planner holds: a cancel it refuses, a goal that ends while paused (a recovery
    // then finds no goal), a planner that leaves (the next goal is followed at once).
    {2, 2, 4, 0, kCancel, kResult, kRefusesCancel},   {2, 2, 5, 0, kPause, kPausedResult},
    {kOn, 2, 403, 1, kNo, kNone},                     {2, 2, 5, 0, kPause, kEnded, kLeaves},
    {2, 2, 8, 0, kCancel, kEnded},
    // Sweeping.
    {4, 4, 201, 0, kDev, kResult},   {4, 6, 402, 0, kOust, kEnded},   {4, 4, 5, 0, kPause, kPaused},
    {kOn, 4, 4, 0, kCancel, kEnded}, {4, 4, 202, 1, kNo, kResult},    {4, 2, 4, 1, kNo, kResult},
    // Obstacle goal held: only a later obstacle request or a new goal ends it.
    {6, 0, 1, 1, kNo, kNone},        {6, 3, 999, 1, kNo, kNone},      {6, 2, 8, 1, kNo, kNone},
    {6, 4, 5, 1, kNo, kNone},        {6, 3, 201, 0, kDev, kNone},     {6, 3, 4, 0, kNo, kNone},
    {6, 4, 201, 0, kDev, kNone},     {6, 4, 202, 1, kNo, kNone},      {6, 1, 1, 0, kLoc, kNone},
    {6, 1, 8, 1, kNo, kNone},        {6, 5, 301, 0, kMap, kNone},     {6, 5, 5, 1, kNo, kNone},
    {6, 5, 8, 1, kNo, kNone},        {6, 6, 402, 0, kNext, kNone},
    {6, 2, 101, 0, kTakeOver, kResult}, {6, 4, 102, 0, kTakeOver, kResult}};
  // clang-format on
  for (const Row & row : rows) {
    Check(row);
  }
  // A one-shot request during a followed goal ends the ticking thread's sleep rather than
  // waiting it out (unless it comes during a tick, which the thread ends without sleeping).
  StartGoal(2);
  const uint64_t wake_ups = g_execute_engine->RequestWakeUps();
  for (int i = 0; i < 20 && g_execute_engine->RequestWakeUps() == wake_ups; ++i) {
    ASSERT_TRUE(Call(3, 201));
  }
  EXPECT_GT(g_execute_engine->RequestWakeUps(), wake_ups);
  Check({kOn, 2, 4, 0, kCancel, kEnded});
  peers_->devices.SetErrorCode(7);
  const auto refused = Call(3, 201);
  ASSERT_TRUE(refused);
  EXPECT_EQ(std::make_pair(refused->result, refused->error_code), std::make_pair(1, 7));
}

// However ROS goes down (rclcpp::shutdown, SIGINT, SIGTERM), a running goal is cancelled at
// its server first, well within the action nodes' 5 s cancel timeout, and waited for when the
// server answers late but within it (-2); a server gone (-1) is not asked and holds nothing up.
// Each way on a start-up of its own.
TEST_F(ExecuteRobotTest, ShutdownCancelsTheRunningGoalFirst)
{
  for (const int stop : {0, SIGINT, SIGTERM, -1, -2}) {
    SCOPED_TRACE(stop);
    if (stop != 0) {
      TearDown();
      SetUp();
    }
    StartGoal(2);
    // Known to the server, so cancellable.
    ASSERT_TRUE(planner_->PublishFeedback(0, velmarin_protocol::action::Planner::Feedback(), 10s));
    // Lets the node's result request, which the feedback brings, reach the planner: one that
    // the planner takes after the shutdown fails there, in this shared process.
    std::this_thread::sleep_for(200ms);
    stop == -1 ? planner_.reset() : planner_->SetCancelAnswerDelay(stop == -2 ? 2s : 0s);
    stop > 0 ? std::raise(stop) : rclcpp::shutdown();
    ASSERT_EQ(served_.wait_for(4s), std::future_status::ready);
    EXPECT_FALSE(RosLogCapture::WaitFor("Failed to cancel", 0ms));
    EXPECT_TRUE(!planner_ || planner_->CancelRequests() == 1u);
  }
  // An obstacle goal held is cancelled the same way.
  TearDown();
  SetUp();
  StartGoal(6);
  rclcpp::shutdown();
  ASSERT_EQ(served_.wait_for(4s), std::future_status::ready);
  EXPECT_EQ(peers_->security.CancelRequests(), 1u);
}

using engine_test::EngineTest;

// Last, as ROS stays up for them. A goal is answered "Success" and ends on its thread's first
// tick; anything else is answered "Failure", from a status block cleared first.
TEST_F(EngineTest, RequestsAreRefusedTickedOnceOrRunAsGoalsOnOneThreadAtMost)
{
  // Every tick raises, its port naming a blackboard entry that does not exist; so the log tells
  // which requests reach the tree, and on which thread.
  InitTree(R"(<Repeat num_cycles="{missing}"><AlwaysSuccess/></Repeat>)");
  constexpr int kNothing = 0, kOneTick = 1, kGoal = 2;
  // clang-format off
  const std::tuple<int, int, int> rows[] = {
    {0, 1, kNothing},   {7, 1, kNothing},   {-1, 1, kNothing},  {3, 999, kNothing},
    {6, 4, kNothing},   {2, 201, kNothing}, {2, 4, kNothing},   {4, 403, kNothing},
    {4, 2, kNothing},   {1, 1, kOneTick},   {3, 201, kOneTick}, {4, 201, kOneTick},
    {4, 202, kOneTick}, {5, 301, kOneTick}, {6, 401, kOneTick}, {2, 101, kGoal},  {4, 102, kGoal}};
  // clang-format on
  const auto check = [](const std::shared_ptr<Request> & request, int reach) {
    log_->Clear();
    const auto before = engine()->GetRequest();
    engine()->SetErrorCode(7);
    const auto response = std::make_shared<Response>();
    engine()->ScheduleRequest(request, response);
    EXPECT_EQ(
      std::tie(response->result, response->message, response->error_code),
      std::make_tuple(reach == kGoal ? 0 : 1, reach == kGoal ? "Success" : "Failure", 0));
    ASSERT_TRUE(engine_test::Eventually(engine_test::Idle));
    EXPECT_EQ(engine()->GetRequest(), reach == kNothing ? before : request);
    EXPECT_EQ(log_->Count("behavior_tree tick failed: "), reach == kOneTick ? 1u : 0u);
    EXPECT_EQ(log_->Count("behavior_tree tick failed: ", false), reach == kGoal ? 1u : 0u);
  };
  for (const auto & [model_id, cmd, reach] : rows) {
    SCOPED_TRACE(::testing::Message() << model_id << "/" << cmd);
    check(Command(cmd, model_id), reach);
  }
  // A goal's route and a location request's pose: a NaN or infinite coordinate is refused with
  // the field logged; a huge finite one passes.
  using Set = void (*)(Request &, double);
  const std::tuple<int, int, const char *, Set> fields[] = {
    {2, 101, "navigation_points[1].x", [](Request & r, double v) { r.navigation_points[1].x = v; }},
    {4, 102, "navigation_points[1].y", [](Request & r, double v) { r.navigation_points[1].y = v; }},
    {2, 102, "navigation_points[1].yaw",
     [](Request & r, double v) { r.navigation_points[1].yaw = v; }},
    {1, 1, "initial_pose.x", [](Request & r, double v) { r.initial_pose.x = v; }},
    {1, 1, "initial_pose.y", [](Request & r, double v) { r.initial_pose.y = v; }},
    {1, 1, "initial_pose.angle", [](Request & r, double v) { r.initial_pose.angle = v; }}};
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  for (const auto & [model_id, cmd, field, set] : fields) {
    for (const double value : {std::nan(""), kInfinity, -kInfinity, 1e300}) {
      SCOPED_TRACE(::testing::Message() << field << " = " << value);
      const auto request = Command(cmd, model_id);
      request->navigation_points.resize(2);
      set(*request, value);
      const bool finite = std::isfinite(value);
      check(request, !finite ? kNothing : model_id == 1 ? kOneTick : kGoal);
      EXPECT_EQ(log_->Count(std::string(field) + " ("), finite ? 0u : 1u);
    }
  }
  // Mixed requests from several callers never start a second thread. The tree runs while the
  // current request is for model 2 or 4; only an obstacle request ends a goal.
  InitTree(
    "<KeepRunningUntilFailure><Fallback><NavigationSentinel/><SweepSentinel/></Fallback>"
    "</KeepRunningUntilFailure>");
  const auto count_threads = [] {
    return std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator());
  };
  const auto threads_before = count_threads();
  const auto call = [] {
    for (int i = 0; i < 40; ++i) {
      for (const auto & [model_id, cmd] :
           {std::pair{2, 101}, {2, 5}, {3, 4}, {4, 102}, {4, 4}, {6, 401}, {4, 201}, {0, 1}}) {
        const std::string message = Send(model_id, cmd).second->message;
        EXPECT_TRUE(message == "Success" || message == "Failure") << message;
      }
    }
  };
  std::thread callers[] = {std::thread(call), std::thread(call), std::thread(call)};
  call();
  for (auto & caller : callers) {
    caller.join();
  }
  // At most the ticking thread, once threads whose work is done have exited.
  EXPECT_TRUE(engine_test::Eventually([&] { return count_threads() <= threads_before + 1; }));
  Send(6, 401);
  EXPECT_TRUE(engine_test::Eventually(engine_test::Idle));
}

}  // namespace
