// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <stdexcept>

#include "engine_fixture.hpp"
#include "execute_engine/navigation_tree_node.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine/security_tree_node.hpp"
#include "execute_engine_test_support/ros_log_capture.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"

namespace
{

using namespace std::chrono_literals;
using BT::NodeStatus;
using engine_test::TickOutcome;
using Planner = velmarin_protocol::action::Planner;
using Point = velmarin_protocol::msg::NavigationPoint;
using Reached = std::tuple<int32_t, bool, int32_t>;  // index, state, errnum on "reachdestpose"
using rclcpp_action::ResultCode;
using std::chrono::steady_clock;
namespace support = execute_engine_test_support;

// Bound of every wait that only a fault would exhaust; action timeout of the nodes whose tests
// wait for it to pass.
constexpr std::chrono::milliseconds kPatience = 5s;
constexpr std::chrono::milliseconds kShortTimeout = 200ms;
const Reached kLost{-1, false, 0};
const Reached kResult{3, true, -5};

// The engine's action nodes with their goal state in view.
template <class Base>
struct Open : Base
{
  using Base::Base;
  using Base::goal_in_flight;
  using Base::result_asked;
  using BT::TreeNode::setStatus;
};
using Navigation = Open<execute_engine::NavigationTreeNode>;
using Security = Open<execute_engine::SecurityTreeNode>;

Point At(double x, double y, double z, double yaw)
{
  return Point().set__x(x).set__y(y).set__z(z).set__yaw(yaw);
}

// Action nodes on a client node that no executor spins, with their servers; the engine's node
// is the topic node, on which navigation outcomes go out.
class ActionNodesTest : public engine_test::NodeTest
{
protected:
  void SetUp() override
  {
    NodeTest::SetUp();
    ASSERT_TRUE(engine()->Init(topic_, TreeXml("<AlwaysSuccess/>"), true));
  }

  template <class T = Navigation>
  std::unique_ptr<T> Make(const std::string & server, std::chrono::milliseconds timeout = kPatience)
  {
    BT::NodeConfiguration config;
    config.input_ports["action_name"] = server;
    config.blackboard = board_;
    return std::make_unique<T>("node", config, execute_engine::Ros2Params{client_, "", timeout});
  }

  static std::shared_ptr<Request> Route(int cmd, const std::vector<Point> & points)
  {
    auto request = Command(cmd);
    request->set__navigation_points(points).set__nav_control(9);
    return request;
  }
  static std::shared_ptr<Request> Move() { return Route(101, {At(1, 1, 0, 0)}); }

  // Ticks `node` for `request`, from IDLE when `start`.
  template <class T>
  NodeStatus Tick(T & node, std::shared_ptr<Request> request, bool start = false)
  {
    if (start) {
      node.setStatus(NodeStatus::IDLE);
    }
    Use(request);
    return node.executeTick();
  }

  // Ticks while the node runs, for a while at most; the last status.
  static NodeStatus TickWhileRunning(BT::TreeNode & node)
  {
    NodeStatus status = NodeStatus::IDLE;
    engine_test::Eventually([&] { return (status = node.executeTick()) != NodeStatus::RUNNING; });
    return status;
  }

  // Starts a move goal and ticks until its goal response is taken and its result asked for,
  // unless not `followed`.
  void Follow(Navigation & node, bool followed = true)
  {
    Tick(node, Move(), true);
    engine_test::Eventually(
      [&] { return !followed || node.result_asked || (node.executeTick(), false); });
    ASSERT_EQ(node.goal_in_flight, followed);
  }

  // Sleeps between ticks, as the engine does, until the node's client has run a result.
  void SleepUntilResult(Navigation & node)
  {
    engine_test::Eventually([&] {
      return log_->Count("action get result back") || (node.waitForWork(kPatience), false);
    });
  }

  BT::Blackboard::Ptr board_ = BT::Blackboard::create();
  rclcpp::Node::SharedPtr client_ = std::make_shared<rclcpp::Node>("action_node_test_client");
  std::shared_ptr<execute_engine::Ros2Topic> topic_ = std::make_shared<execute_engine::Ros2Topic>();
  support::BackgroundExecutor servers_{4};
  support::SimulatedPlannerServer planner_{servers_, "planner_test"};
  support::SimulatedSecurityServer security_{servers_, "security_test"};
  support::ReachDestPoseRecorder reached_{servers_};
  std::unique_ptr<Navigation> nav_ = Make("planner_test");
  const Planner::Result result_ = Planner::Result().set__index(3).set__state(1).set__errnum(-5);
};

TEST_F(ActionNodesTest, NavigationGoalOfEachCommandAtGoalStart)
{
  // Work needs a route; neither Move nor Work sends a heading that is not a number.
  const auto route =
    Route(101, {At(1, 2, 0.5, 2 * M_PI), At(-3, 4, 0, 7), At(0, 0, 0, -7), At(0, 0, 0, 1e12)});
  // The goal's task type, control and poses (task -1: none sent, the tick fails), and the
  // failures counted.
  // clang-format off
  const std::vector<std::tuple<std::shared_ptr<Request>, int32_t, int32_t, size_t, uint32_t>> cases{
    {Route(101, {}), 2, 9, 0, 0},        {Route(102, {}), -1, 0, 0, 1},
    {Route(101, {At(1, 1, 0, 0), At(2, 2, 0, NAN)}), -1, 0, 0, 1},
    {Route(102, {At(1, 1, 0, INFINITY)}), -1, 0, 0, 1},
    {Command(5), 0, 1, 0, 0},            {Command(403), 0, 2, 0, 0},
    {Command(8), -1, 0, 0, 0},           {Command(4), -1, 0, 0, 1},
    {route, 2, 9, 4, 0},                 {Route(102, {At(1, 1, 0, 0)}), 1, 9, 1, 0}};
  // clang-format on
  for (const auto & [request, task_type, control, poses, failures] : cases) {
    const size_t sent = planner_.Goals().size();
    nav_->setStatus(NodeStatus::IDLE);
    EXPECT_EQ(
      Outcome(*nav_, request),
      TickOutcome(
        task_type < 0 ? NodeStatus::FAILURE : NodeStatus::RUNNING, task_type >= 0, failures, 0))
      << request->command.cmd << "/" << request->navigation_points.size();
    if (task_type >= 0) {
      ASSERT_TRUE(planner_.WaitForGoals(sent + 1, kPatience));
      const auto goal = planner_.Goals().back();
      EXPECT_EQ(
        std::make_tuple(goal.task_type, goal.control, goal.poses.size()),
        std::make_tuple(task_type, control, poses));
    }
  }
  // The route in the map frame, headings wrapped by whole turns (a full turn stays one).
  const auto move = planner_.Goals().at(3).poses;
  const auto & at = move[0].pose.position;
  EXPECT_EQ(std::make_tuple(at.x, at.y, at.z), std::make_tuple(1.0, 2.0, 0.5));
  const double yaws[] = {2 * M_PI, 7 - 2 * M_PI, -7 + 2 * M_PI, std::fmod(1e12, 2 * M_PI)};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(move[i].header.frame_id, "map");
    EXPECT_NEAR(move[i].pose.orientation.z, std::sin(yaws[i] / 2), 1e-9) << i;
    EXPECT_NEAR(move[i].pose.orientation.w, std::cos(yaws[i] / 2), 1e-9) << i;
  }
}

TEST_F(ActionNodesTest, EveryMoveOrWorkGoalHasOneOutcomeAndNoneIsLeftRunning)
{
  // A goal followed, not yet accepted, or finished, ended by command 4, 8 or a halt (0): a
  // cancel reaches the server (6 in all) unless the goal has finished, whose result is its
  // outcome then.
  std::vector<Reached> expected;
  for (const std::string goal : {"followed", "unanswered", "finished"}) {
    for (const int end : {4, 8, 0}) {
      planner_.SetGoalAnswerDelay(goal == "unanswered" ? 100ms : 0ms);
      Follow(*nav_, goal != "unanswered");
      // The goal the row before cancelled ends while this one is followed.
      if ((goal == "followed" && end != 4) || goal == "finished") {
        const size_t index = planner_.Goals().size() - (goal == "finished" ? 1 : 2);
        ASSERT_TRUE(planner_.Finish(index, ResultCode::ABORTED, result_));
        SleepUntilResult(*nav_);
      }
      if (end == 0) {
        nav_->halt();
      } else {
        EXPECT_EQ(Tick(*nav_, Command(end)), NodeStatus::SUCCESS) << goal << end;
      }
      expected.push_back(goal == "finished" ? kResult : kLost);
    }
  }
  planner_.SetGoalAnswerDelay(0ms);
  // A result, whatever its code, also of a goal that ended before the node took its goal
  // response; goals that never ran.
  Follow(*nav_, false);
  ASSERT_TRUE(planner_.Finish(9, ResultCode::SUCCEEDED, result_));
  EXPECT_EQ(TickWhileRunning(*nav_), NodeStatus::SUCCESS);
  EXPECT_EQ(Tick(*Make("planner_absent", 1ms), Move(), true), NodeStatus::FAILURE);
  EXPECT_EQ(Tick(*nav_, Route(102, {}), true), NodeStatus::FAILURE);
  // A cancel the server does not answer is waited for once, up to the action timeout.
  const auto node = Make("planner_test", kShortTimeout);
  Follow(*node);
  planner_.SetCancelAnswerDelay(kPatience);
  const auto asked = steady_clock::now();
  EXPECT_EQ(Tick(*node, Command(4)), NodeStatus::SUCCESS);
  EXPECT_GE(steady_clock::now() - asked, kShortTimeout);
  planner_.SetCancelAnswerDelay(0ms);
  // A goal accepted once its response was overdue is cancelled once the node sees the
  // acceptance: at its next goal start, when it is destroyed, or when waited on between
  // requests, as the engine does while the node watches goals it let go of.
  size_t cancels = 7;
  for (const std::string seen_at : {"goal start", "destruction", "wait"}) {
    auto late = Make("planner_test", kShortTimeout);
    planner_.SetGoalAnswerDelay(kShortTimeout + 100ms);
    const auto sent = steady_clock::now();
    Tick(*late, Move(), true);
    EXPECT_EQ(TickWhileRunning(*late), NodeStatus::FAILURE);
    EXPECT_GE(steady_clock::now() - sent, kShortTimeout);
    EXPECT_TRUE(late->watchesLeftGoals());
    planner_.SetGoalAnswerDelay(0ms);
    if (seen_at == "destruction") {
      late.reset();
    } else if (seen_at == "wait") {
      EXPECT_TRUE(engine_test::Eventually(
        [&] { return !late->watchesLeftGoals() || (late->waitForWork(kPatience), false); }));
    } else {
      ASSERT_TRUE(planner_.PublishFeedback(planner_.Goals().size() - 1, Planner::Feedback()));
      std::this_thread::sleep_for(100ms);  // lets the server answer
      EXPECT_EQ(Tick(*late, Command(6), true), NodeStatus::RUNNING);
    }
    EXPECT_TRUE(planner_.WaitForCancelRequests(++cancels, kPatience)) << seen_at;
  }
  // A refused goal raises, and the next tick ends it.
  planner_.SetGoalDecision(rclcpp_action::GoalResponse::REJECT);
  EXPECT_EQ(Tick(*nav_, Move(), true), NodeStatus::RUNNING);
  EXPECT_THROW(TickWhileRunning(*nav_), std::runtime_error);
  EXPECT_EQ(nav_->executeTick(), NodeStatus::FAILURE);
  expected.insert(expected.end(), {kResult, kLost, kLost, kLost, kLost, kLost, kLost, kLost});
  ASSERT_TRUE(reached_.WaitFor(expected.size(), kPatience));
  std::vector<Reached> published;
  for (const auto & message : reached_.Messages()) {
    published.emplace_back(message.index, message.state, message.errnum);
  }
  EXPECT_EQ(published, expected);
}

TEST_F(ActionNodesTest, PauseAndRecoveryGoalsLeaveTheFirstGoalFollowed)
{
  Follow(*nav_);
  EXPECT_EQ(Tick(*nav_, Command(5)), NodeStatus::RUNNING);
  // A lasting pause sends nothing more.
  EXPECT_EQ(nav_->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(Tick(*nav_, Command(403)), NodeStatus::RUNNING);
  ASSERT_TRUE(planner_.Finish(0, ResultCode::SUCCEEDED, result_));
  EXPECT_EQ(TickWhileRunning(*nav_), NodeStatus::SUCCESS);
  EXPECT_TRUE(planner_.WaitForGoals(3, kPatience));
  ASSERT_TRUE(reached_.WaitFor(1, kPatience));
}

// What the node believes about a goal is what its server holds: a cancel the server refuses
// leaves the goal followed (also after a halt), a cancel answered "unknown goal" is asked again
// until the server knows the goal or the timeout passes, a goal the server no longer knows or a
// server gone ends the goal lost, a goal that ends while paused is taken when it ends.
TEST_F(ActionNodesTest, AGoalEndsAsItsServerSays)
{
  enum Script
  {
    kRefusesCancel,
    kRefusesHaltsCancel,
    kUnknownFirst,
    kRestarts,
    kLeaves,
    kLeavesPaused,
    kEndsPaused
  };
  // The script, what the ticks that end the goal return (IDLE: ended by a halt), and the
  // goal's outcome.
  // clang-format off
  const std::vector<std::tuple<Script, NodeStatus, Reached>> rows{
    {kRefusesCancel, NodeStatus::SUCCESS, kResult},  {kRefusesHaltsCancel, NodeStatus::IDLE, kResult},
    {kUnknownFirst, NodeStatus::SUCCESS, kLost},     {kRestarts, NodeStatus::SUCCESS, kLost},
    {kLeaves, NodeStatus::FAILURE, kLost},
    {kLeavesPaused, NodeStatus::FAILURE, kLost},     {kEndsPaused, NodeStatus::SUCCESS, kResult}};
  // clang-format on
  support::RosLogCapture::Install();
  auto server = std::make_unique<support::SimulatedPlannerServer>(servers_, "planner_script");
  const auto node = Make("planner_script", 1s);
  for (const auto & [script, ended, outcome] : rows) {
    SCOPED_TRACE(script);
    const size_t published = reached_.Messages().size();
    support::RosLogCapture::Clear();
    log_->Clear();
    server->SetCancelDecision(rclcpp_action::CancelResponse::ACCEPT);
    Follow(*node);
    const auto goal = server->Goals().size() - 1;
    NodeStatus status = NodeStatus::RUNNING;
    if (script == kRefusesCancel || script == kRefusesHaltsCancel) {
      const size_t cancels = server->CancelRequests();
      server->SetCancelDecision(rclcpp_action::CancelResponse::REJECT);
      if (script == kRefusesHaltsCancel) {
        node->halt();
        ASSERT_TRUE(server->Finish(goal, ResultCode::SUCCEEDED, result_));
        EXPECT_TRUE(engine_test::Eventually(
          [&] { return !node->watchesLeftGoals() || (node->waitForWork(kPatience), false); }));
        status = node->status();
      } else {
        // Logged, the goal followed, and the same request not sent again.
        EXPECT_EQ(Tick(*node, Command(4)), NodeStatus::RUNNING);
        EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
        EXPECT_EQ(log_->Count("action cancel refused by server [planner_script]"), 1u);
        ASSERT_TRUE(server->Finish(goal, ResultCode::SUCCEEDED, result_));
        status = TickWhileRunning(*node);
      }
      EXPECT_EQ(server->CancelRequests(), cancels + 1);
    } else if (script == kUnknownFirst) {
      // A second server of the name, which does not hold the goal, answers each cancel first,
      // as a server does that has answered the goal but not registered it yet; the planner's
      // answers are held until that server is gone.
      support::BackgroundExecutor elsewhere{2};
      auto unaware = std::make_unique<support::SimulatedPlannerServer>(elsewhere, "planner_script");
      const size_t cancels = server->CancelRequests();
      server->SetCancelAnswerDelay(kPatience);
      auto cancelled = std::async(std::launch::async, [&] { return Tick(*node, Command(4)); });
      EXPECT_TRUE(server->WaitForCancelRequests(cancels + 2, kPatience));
      unaware.reset();
      server->SetCancelAnswerDelay(0ms);
      // The planner's answer to the retry that reaches it alone: cancelled, or (when one of
      // the held cancels came first) already being cancelled, when its result is the outcome.
      status = cancelled.get();
      EXPECT_EQ(log_->Count("action goal unknown to server", false), 0u);
      EXPECT_FALSE(support::RosLogCapture::WaitFor("Failed to cancel", 0ms));
      if (status == NodeStatus::RUNNING) {
        ASSERT_TRUE(server->Finish(goal, ResultCode::ABORTED, result_));
        status = TickWhileRunning(*node);
      }
    } else if (script == kRestarts) {
      // The new server does not know the goal: the cancel is asked again up to the timeout.
      server = std::make_unique<support::SimulatedPlannerServer>(servers_, "planner_script");
      status = Tick(*node, Command(8));
      EXPECT_EQ(log_->Count("action goal unknown to server [planner_script]"), 1u);
    } else if (script == kEndsPaused) {
      EXPECT_EQ(Tick(*node, Command(5)), NodeStatus::RUNNING);
      ASSERT_TRUE(server->Finish(goal, ResultCode::SUCCEEDED, result_));
      status = TickWhileRunning(*node);
    } else {
      if (script == kLeavesPaused) {
        EXPECT_EQ(Tick(*node, Command(5)), NodeStatus::RUNNING);
      }
      server.reset();
      status = TickWhileRunning(*node);
      EXPECT_FALSE(support::RosLogCapture::WaitFor("Failed to cancel", 0ms));
      // A goal sent once the server is back is followed at once.
      server = std::make_unique<support::SimulatedPlannerServer>(servers_, "planner_script");
      EXPECT_EQ(Tick(*node, Move(), true), NodeStatus::RUNNING);
      EXPECT_TRUE(server->WaitForGoals(1, kPatience));
      // That goal's outcome follows this row's.
      node->halt();
      ASSERT_TRUE(reached_.WaitFor(published + 2, kPatience));
    }
    EXPECT_EQ(status, ended);
    ASSERT_TRUE(reached_.WaitFor(published + 1, kPatience));
    const auto message = reached_.Messages().at(published);
    EXPECT_TRUE(
      script == kUnknownFirst || Reached(message.index, message.state, message.errnum) == outcome);
  }
  std::this_thread::sleep_for(100ms);  // lets a second outcome come, if any
  EXPECT_EQ(reached_.Messages().size(), rows.size() + 2);
}

TEST_F(ActionNodesTest, EachObstacleRequestsTickTellsWhetherItsOwnGoalWasAcceptedByTheNamedServer)
{
  // The request, then its tick's status and counts.
  // Command 5 does not pause an obstacle goal: it is cancelled.
  // clang-format off
  const std::vector<std::tuple<int, float, NodeStatus, uint32_t, uint32_t>> rows{
    {401, 0.75f, NodeStatus::RUNNING, 1, 0}, {401, -2, NodeStatus::RUNNING, 1, 0},
    {5, 1, NodeStatus::FAILURE, 0, 1},       {402, NAN, NodeStatus::RUNNING, 1, 0}};
  // clang-format on
  board_->set("server", std::string("security_test"));
  const auto node = Make<Security>("{server}", kShortTimeout);
  for (const auto & [cmd, value, expected, successes, failures] : rows) {
    const auto request = Command(cmd);
    request->security_value = value;
    EXPECT_EQ(Outcome(*node, request), TickOutcome(expected, successes, failures, 0)) << cmd;
    // Each request's value goes out unchanged (compared as text, so that NaN matches).
    const float sent = successes == 1 ? security_.Goals().back().value : value;
    EXPECT_EQ(std::to_string(sent), std::to_string(value)) << cmd;
  }
  // Whatever the server decided, a result gives SUCCESS.
  ASSERT_TRUE(
    security_.Finish(2, ResultCode::ABORTED, velmarin_protocol::action::Security::Result()));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::SUCCESS);
  // A refused goal raises from its own tick; one not answered in time fails, counted so.
  // (It stays refused: the goal held back is refused once let go, after the node gave up.)
  security_.SetGoalDecision(rclcpp_action::GoalResponse::REJECT);
  EXPECT_THROW(Tick(*node, Command(403)), std::runtime_error);
  security_.SetGoalAnswerDelay(kPatience);
  EXPECT_EQ(Outcome(*node, Command(401)), TickOutcome(NodeStatus::FAILURE, 0, 1, 0));
  EXPECT_EQ(security_.Goals().size(), 5u);
  EXPECT_EQ(security_.CancelRequests(), 2u);
  security_.SetGoalAnswerDelay(0ms);
  // The server is the one the blackboard names when a goal starts, also while another executor
  // spins the client node; one not found is looked for again at the next goal start.
  peers_->AddNode(client_);
  board_->set("server", std::string("security_late"));
  EXPECT_EQ(Tick(*node, Command(401)), NodeStatus::FAILURE);
  support::SimulatedSecurityServer late(*peers_, "security_late");
  EXPECT_EQ(Tick(*node, Command(402)), NodeStatus::RUNNING);
  EXPECT_EQ(late.Goals().size(), 1u);
}

}  // namespace
