// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/navigation_tree_node.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine/security_tree_node.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"
#include "geometry_msgs/msg/point.hpp"

namespace
{

using namespace std::chrono_literals;
using BT::NodeStatus;
using Planner = velmarin_protocol::action::Planner;
using Point = velmarin_protocol::msg::NavigationPoint;
using Reached = velmarin_protocol::msg::ReachDestinationPose;
using rclcpp_action::GoalResponse;
using rclcpp_action::ResultCode;
using std::chrono::steady_clock;

// Bound of every wait that only a fault would exhaust; action timeout of the nodes whose tests
// wait for it to pass.
constexpr std::chrono::milliseconds kPatience = 5s;
constexpr std::chrono::milliseconds kShortTimeout = 200ms;
constexpr char kPlanner[] = "planner_test";
constexpr char kSecurity[] = "security_test";
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTwoPi = 6.283185307179586;
const Reached kLost = velmarin_protocol::build<Reached>().index(-1).state(false).errnum(0);
const Reached kResult = velmarin_protocol::build<Reached>().index(3).state(true).errnum(-5);

// The engine's action nodes with their goal state in view.
template <class Base>
struct Open : Base
{
  using Base::Base;
  using Base::client_action_name;
  using Base::goal_in_flight;
  using BT::TreeNode::setStatus;
};
using Navigation = Open<execute_engine::NavigationTreeNode>;
using Security = Open<execute_engine::SecurityTreeNode>;

Point At(double x, double y, double z, double yaw)
{
  Point point;
  std::tie(point.x, point.y, point.z, point.yaw) = std::make_tuple(x, y, z, yaw);
  return point;
}

// Action nodes on a client node that no executor spins; the engine's node is the topic node,
// on which navigation outcomes go out.
class ActionNodesTest : public engine_test::NodeTest
{
protected:
  using ms = std::chrono::milliseconds;

  void SetUp() override
  {
    NodeTest::SetUp();
    ASSERT_TRUE(engine()->Init(topic_, TreeXml("<AlwaysSuccess/>"), true));
    planner_ =
      std::make_unique<execute_engine_test_support::SimulatedPlannerServer>(*peers_, kPlanner);
    security_ =
      std::make_unique<execute_engine_test_support::SimulatedSecurityServer>(*peers_, kSecurity);
    reached_ = std::make_unique<execute_engine_test_support::ReachDestPoseRecorder>(*peers_);
    nav_ = Make(kPlanner);
    result_.index = 3;
    result_.state = 1;
    result_.errnum = -5;
  }

  void TearDown() override
  {
    nav_.reset();
    planner_.reset();
    security_.reset();
    reached_.reset();
    NodeTest::TearDown();
  }

  template <class T = Navigation>
  std::unique_ptr<T> Make(
    const std::string & server, ms timeout = kPatience, BT::Blackboard::Ptr board = nullptr)
  {
    execute_engine::Ros2Params params;
    params.node = client_;
    params.action_timeout = timeout;
    BT::NodeConfiguration config;
    config.input_ports["action_name"] = server;
    config.blackboard = board;
    return std::make_unique<T>("node", config, params);
  }

  static std::shared_ptr<Request> Route(int cmd, const std::vector<Point> & points)
  {
    auto request = Command(cmd);
    request->navigation_points = points;
    request->nav_control = 9;
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
    Use(std::move(request));
    return node.executeTick();
  }

  // Ticks until `done` holds; false if it does not within kPatience.
  static bool TickUntil(BT::TreeNode & node, const std::function<bool()> & done)
  {
    const auto deadline = steady_clock::now() + kPatience;
    while (!done() && steady_clock::now() < deadline) {
      node.executeTick();
      std::this_thread::sleep_for(1ms);
    }
    return done();
  }

  // Ticks while the node answers RUNNING, up to kPatience; the last status.
  static NodeStatus TickWhileRunning(BT::TreeNode & node)
  {
    NodeStatus status = node.executeTick();
    for (const auto end = steady_clock::now() + kPatience;
         status == NodeStatus::RUNNING && steady_clock::now() < end; status = node.executeTick()) {
      std::this_thread::sleep_for(1ms);
    }
    return status;
  }

  // Starts a move goal and ticks until its goal response is taken.
  void Follow(Navigation & node)
  {
    ASSERT_EQ(Tick(node, Move(), true), NodeStatus::RUNNING);
    ASSERT_TRUE(TickUntil(node, [&node] { return node.goal_in_flight; }));
  }

  // Gives a server time to have answered a request the client sent before.
  static void LetServerAnswer() { std::this_thread::sleep_for(100ms); }

  rclcpp::Node::SharedPtr client_ = std::make_shared<rclcpp::Node>("action_node_test_client");
  std::shared_ptr<execute_engine::Ros2Topic> topic_ = std::make_shared<execute_engine::Ros2Topic>();
  std::unique_ptr<execute_engine_test_support::SimulatedPlannerServer> planner_;
  std::unique_ptr<execute_engine_test_support::SimulatedSecurityServer> security_;
  std::unique_ptr<execute_engine_test_support::ReachDestPoseRecorder> reached_;
  std::unique_ptr<Navigation> nav_;
  Planner::Result result_;
};

TEST_F(ActionNodesTest, NavigationGoalOfEachCommandAtGoalStart)
{
  // Work needs a route; neither Move nor Work sends a heading that is not a number.
  const double inf = std::numeric_limits<double>::infinity();
  // The goal's task type and control (-1: none sent, the tick fails), and the failures counted.
  const std::vector<std::tuple<std::shared_ptr<Request>, int32_t, int32_t, uint32_t>> cases{
    {Route(101, {}), 2, 9, 0},
    {Route(102, {}), -1, -1, 1},
    {Route(101, {At(1, 1, 0, 0), At(2, 2, 0, kNaN)}), -1, -1, 1},
    {Route(102, {At(1, 1, 0, inf)}), -1, -1, 1},
    {Command(5), 0, 1, 0},
    {Command(6), 0, 0, 0},
    {Command(403), 0, 2, 0},
    {Command(8), -1, -1, 0},
    {Command(201), -1, -1, 0},
    {Command(4), -1, -1, 1}};
  for (const auto & [request, task_type, control, failures] : cases) {
    const auto what = std::to_string(request->command.cmd) + "/" +
                      std::to_string(request->navigation_points.size());
    const size_t sent = planner_->Goals().size();
    EXPECT_EQ(Tick(*nav_, request, true), task_type < 0 ? NodeStatus::FAILURE : NodeStatus::RUNNING)
      << what;
    EXPECT_EQ(engine()->GetStatus()->failure_count, failures) << what;
    EXPECT_EQ(engine()->GetStatus()->success_count, task_type < 0 ? 0u : 1u) << what;
    if (task_type >= 0) {
      ASSERT_TRUE(planner_->WaitForGoals(sent + 1, kPatience)) << what;
      EXPECT_EQ(planner_->Goals().back().task_type, task_type) << what;
      EXPECT_EQ(planner_->Goals().back().control, control) << what;
      EXPECT_TRUE(planner_->Goals().back().poses.empty()) << what;
    }
  }
  EXPECT_EQ(planner_->Goals().size(), 4u);

  // The route in the map frame, headings wrapped by whole turns (a full turn stays one); a NaN
  // position is sent as given.
  Tick(
    *nav_, Route(101, {At(1, 2, 0.5, 0.5), At(-3, 4, 0, 7), At(0, 0, 0, -7), At(0, 0, 0, 1e12)}),
    true);
  Tick(*nav_, Route(102, {At(kNaN, 1, 0, kTwoPi)}), true);
  ASSERT_TRUE(planner_->WaitForGoals(6, kPatience));
  const auto move = planner_->Goals()[4].poses;
  ASSERT_EQ(move.size(), 4u);
  EXPECT_EQ(
    move[0].pose.position, geometry_msgs::build<geometry_msgs::msg::Point>().x(1).y(2).z(0.5));
  const double yaws[] = {0.5, 7 - kTwoPi, -7 + kTwoPi, std::fmod(1e12, kTwoPi)};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(move[i].header.frame_id, "map");
    EXPECT_NEAR(move[i].pose.orientation.z, std::sin(yaws[i] / 2), 1e-9) << i;
    EXPECT_NEAR(move[i].pose.orientation.w, std::cos(yaws[i] / 2), 1e-9) << i;
  }
  const auto work = planner_->Goals()[5].poses.at(0).pose;
  EXPECT_TRUE(std::isnan(work.position.x));
  EXPECT_EQ(work.orientation.w, -1.0);
}

TEST_F(ActionNodesTest, EveryMoveOrWorkGoalHasOneOutcomeAndNoneIsLeftRunning)
{
  std::vector<Reached> expected;
  const auto outcome = [&](const std::string & how, const Reached & reached, size_t cancels) {
    expected.push_back(reached);
    EXPECT_TRUE(reached_->WaitFor(expected.size(), kPatience)) << how;
    EXPECT_EQ(planner_->CancelRequests(), cancels) << how;
  };
  // A goal followed, not yet accepted, or finished, ended by command 4, 8 or a halt (0): a
  // cancel reaches the server unless the goal has finished, whose result is its outcome then.
  size_t cancels = 0;
  for (const std::string goal : {"followed", "unanswered", "finished"}) {
    for (const int end : {4, 8, 0}) {
      if (goal == "unanswered") {
        planner_->SetGoalAnswerDelay(100ms);
        EXPECT_EQ(Tick(*nav_, Move(), true), NodeStatus::RUNNING);
      } else {
        Follow(*nav_);
      }
      if (goal == "finished") {
        ASSERT_TRUE(planner_->Finish(planner_->Goals().size() - 1, ResultCode::ABORTED, result_));
        LetServerAnswer();
      }
      if (end == 0) {
        nav_->halt();
      } else {
        EXPECT_EQ(Tick(*nav_, Command(end)), NodeStatus::SUCCESS) << goal << end;
      }
      planner_->SetGoalAnswerDelay(0ms);
      cancels += goal != "finished";
      outcome(goal + std::to_string(end), goal == "finished" ? kResult : kLost, cancels);
    }
  }

  // A result, whatever its code, then goals that never ran.
  Follow(*nav_);
  ASSERT_TRUE(planner_->Finish(planner_->Goals().size() - 1, ResultCode::SUCCEEDED, result_));
  EXPECT_EQ(TickWhileRunning(*nav_), NodeStatus::SUCCESS);
  outcome("result", kResult, cancels);
  EXPECT_EQ(Tick(*Make("planner_absent", 1ms), Move(), true), NodeStatus::FAILURE);
  outcome("absent", kLost, cancels);
  EXPECT_EQ(Tick(*nav_, Route(102, {}), true), NodeStatus::FAILURE);
  outcome("work without points", kLost, cancels);
  // A refused goal raises, and the next tick ends it.
  planner_->SetGoalDecision(GoalResponse::REJECT);
  EXPECT_EQ(Tick(*nav_, Move(), true), NodeStatus::RUNNING);
  EXPECT_THROW(TickWhileRunning(*nav_), std::runtime_error);
  EXPECT_EQ(nav_->executeTick(), NodeStatus::FAILURE);
  outcome("refused", kLost, cancels);
  planner_->SetGoalDecision(GoalResponse::ACCEPT_AND_EXECUTE);

  // A cancel the server does not answer is waited for once, up to the action timeout.
  const auto node = Make(kPlanner, kShortTimeout);
  Follow(*node);
  planner_->SetCancelAnswerDelay(kPatience);
  const auto asked = steady_clock::now();
  EXPECT_EQ(Tick(*node, Command(4)), NodeStatus::SUCCESS);
  EXPECT_GE(steady_clock::now() - asked, kShortTimeout);
  planner_->SetCancelAnswerDelay(0ms);
  planner_->ReleaseHeldAnswers();
  outcome("cancel unanswered", kLost, cancels + 1);
  EXPECT_EQ(reached_->Messages(), expected);
}

TEST_F(ActionNodesTest, GoalAcceptedAfterItsResponseWasOverdueIsCancelledOnceSeen)
{
  // Each goal is accepted 100 ms after the node gave up on it; the node sees the acceptance at
  // its next goal start, or when it is destroyed.
  for (const bool at_destruction : {false, true}) {
    auto node = Make(kPlanner, kShortTimeout);
    planner_->SetGoalAnswerDelay(kShortTimeout + 100ms);
    const auto sent = steady_clock::now();
    EXPECT_EQ(Tick(*node, Move(), true), NodeStatus::RUNNING);
    EXPECT_EQ(TickWhileRunning(*node), NodeStatus::FAILURE);
    EXPECT_GE(steady_clock::now() - sent, kShortTimeout);
    EXPECT_TRUE(reached_->WaitFor(at_destruction ? 2 : 1, kPatience));
    planner_->SetGoalAnswerDelay(0ms);
    if (at_destruction) {
      node.reset();
    } else {
      ASSERT_TRUE(planner_->PublishFeedback(0, Planner::Feedback()));
      LetServerAnswer();
      EXPECT_EQ(Tick(*node, Command(6), true), NodeStatus::RUNNING);
    }
    EXPECT_TRUE(planner_->WaitForCancelRequests(at_destruction ? 2 : 1, kPatience));
  }
}

TEST_F(ActionNodesTest, PauseAndRecoveryGoalsLeaveTheFirstGoalFollowed)
{
  Follow(*nav_);
  EXPECT_EQ(Tick(*nav_, Command(403)), NodeStatus::RUNNING);  // not paused: nothing to recover
  EXPECT_EQ(Tick(*nav_, Command(5)), NodeStatus::RUNNING);
  // Each goal is waited for, so that they arrive in order.
  ASSERT_TRUE(planner_->WaitForGoals(2, kPatience));
  // While the pause lasts, the node neither sends nor takes anything in.
  ASSERT_TRUE(planner_->Finish(0, ResultCode::SUCCEEDED, result_));
  LetServerAnswer();
  EXPECT_EQ(nav_->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(Tick(*nav_, Command(403)), NodeStatus::RUNNING);
  ASSERT_TRUE(planner_->WaitForGoals(3, kPatience));
  EXPECT_EQ(planner_->Goals()[1].control, 1);
  EXPECT_EQ(planner_->Goals()[2].control, 2);
  EXPECT_EQ(TickWhileRunning(*nav_), NodeStatus::SUCCESS);
  EXPECT_TRUE(reached_->WaitFor(1, kPatience));
  EXPECT_EQ(reached_->Messages()[0], kResult);
  // Ticked again without a reset, it answers RUNNING and sends nothing; then, having no goal
  // to follow, it ends.
  EXPECT_EQ(nav_->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(nav_->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(planner_->Goals().size(), 3u);

  // An obstacle goal has no pause: its goal is cancelled and the tick fails.
  const auto obstacle = Make<Security>(kSecurity);
  EXPECT_EQ(Tick(*obstacle, Command(401)), NodeStatus::RUNNING);
  EXPECT_EQ(Tick(*obstacle, Command(5)), NodeStatus::FAILURE);
  EXPECT_EQ(engine()->GetStatus()->failure_count, 1u);
  EXPECT_EQ(security_->CancelRequests(), 1u);
}

TEST_F(ActionNodesTest, ObstacleRequestsOwnTickTellsWhetherItsGoalWasAccepted)
{
  struct Row
  {
    std::string server;
    int cmd;
    NodeStatus status;  // IDLE: the tick raised
    uint32_t successes;
    uint32_t failures;
  };
  // A finishing server ends the goal, ABORTED, after its first tick.
  const std::vector<Row> rows{
    {"accepting", 401, NodeStatus::RUNNING, 1, 0}, {"accepting", 404, NodeStatus::FAILURE, 0, 1},
    {"finishing", 402, NodeStatus::SUCCESS, 1, 0}, {"refusing", 401, NodeStatus::IDLE, 1, 0},
    {"silent", 403, NodeStatus::FAILURE, 1, 1},    {"absent", 401, NodeStatus::FAILURE, 0, 1}};
  for (const auto & row : rows) {
    security_->SetGoalDecision(
      row.server == "refusing" ? GoalResponse::REJECT : GoalResponse::ACCEPT_AND_EXECUTE);
    security_->SetGoalAnswerDelay(row.server == "silent" ? kPatience : 0ms);
    const auto node =
      Make<Security>(row.server == "absent" ? "security_absent" : kSecurity, kShortTimeout);
    NodeStatus status = NodeStatus::IDLE;
    try {
      status = Tick(*node, Command(row.cmd));
      if (row.server == "finishing") {
        ASSERT_TRUE(security_->Finish(
          security_->Goals().size() - 1, ResultCode::ABORTED,
          velmarin_protocol::action::Security::Result()));
        status = TickWhileRunning(*node);
      }
    } catch (const std::runtime_error & error) {
      EXPECT_STREQ(error.what(), "Goal was rejected by the action server");
    }
    EXPECT_EQ(status, row.status) << row.server << row.cmd;
    EXPECT_EQ(engine()->GetStatus()->success_count, row.successes) << row.server << row.cmd;
    EXPECT_EQ(engine()->GetStatus()->failure_count, row.failures) << row.server << row.cmd;
  }
  security_->ReleaseHeldAnswers();
}

TEST_F(ActionNodesTest, EachObstacleRequestSendsItsOwnGoalAfterCancellingTheOneHeld)
{
  ASSERT_TRUE(engine()->Init(
    client_,
    TreeXml("<ReactiveSequence><SecuritySentinel/><SecurityNode action_name=\"security_test\"/>"
            "</ReactiveSequence>"),
    true));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Each request's value goes out unchanged; the last goal is refused.
  const std::vector<std::tuple<int, float, std::string>> commands{
    {401, 0.75f, "Success"},
    {401, -2.0f, "Success"},
    {403, nan, "Success"},
    {402, 3.0f, "Failure"}};
  for (const auto & [cmd, value, answer] : commands) {
    if (answer == "Failure") {
      security_->SetGoalDecision(GoalResponse::REJECT);
    }
    const auto request = Command(cmd);
    request->command.model_id = 6;
    request->security_value = value;
    const auto response = std::make_shared<Response>();
    engine()->ScheduleRequest(request, response);
    EXPECT_EQ(response->message, answer) << cmd;
  }
  const auto goals = security_->Goals();
  ASSERT_EQ(goals.size(), 4u);
  EXPECT_EQ(goals[0].value, 0.75f);
  EXPECT_EQ(goals[1].value, -2.0f);
  EXPECT_TRUE(std::isnan(goals[2].value));
  EXPECT_EQ(security_->CancelRequests(), 3u);
}

TEST_F(ActionNodesTest, ClientIsMadeForTheServerNamedWhenAGoalStarts)
{
  EXPECT_THROW(Make<Security>(""), std::logic_error);
  // Named by the blackboard, also while another executor spins the client node; a server not
  // found is looked for again at the next tick.
  peers_->AddNode(client_);
  const auto board = BT::Blackboard::create();
  const auto node = Make<Security>("{server}", kShortTimeout, board);
  EXPECT_THROW(Tick(*node, Command(401)), BT::RuntimeError);
  board->set("server", std::string("security_late"));
  EXPECT_EQ(Tick(*node, Command(401)), NodeStatus::FAILURE);
  execute_engine_test_support::SimulatedSecurityServer late(*peers_, "security_late");
  EXPECT_EQ(Tick(*node, Command(401)), NodeStatus::RUNNING);
  // A running goal keeps its client; a name no client can be made for keeps the one there.
  board->set("server", std::string(kSecurity));
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(node->client_action_name, "security_late");
  EXPECT_EQ(Tick(*node, Command(402)), NodeStatus::RUNNING);
  board->set("server", std::string("bad name!"));
  EXPECT_THROW(Tick(*node, Command(401)), std::exception);
  board->set("server", std::string(kSecurity));
  EXPECT_EQ(Tick(*node, Command(403)), NodeStatus::RUNNING);
  EXPECT_EQ(late.Goals().size(), 1u);
  EXPECT_EQ(security_->Goals().size(), 2u);
}

TEST_F(ActionNodesTest, SleepsBetweenTicksUntilClientWorkTheResponseDueOrAnInterrupt)
{
  // A result that comes while the goal response, run by a sleep, is not yet taken still ends
  // the goal.
  EXPECT_FALSE(nav_->followsRunningGoal());
  EXPECT_EQ(Tick(*nav_, Move(), true), NodeStatus::RUNNING);
  EXPECT_TRUE(nav_->followsRunningGoal());
  ASSERT_TRUE(planner_->Finish(0, ResultCode::SUCCEEDED, result_));
  const auto deadline = steady_clock::now() + kPatience;
  while (log_->Count("action get result back") == 0 && steady_clock::now() < deadline) {
    nav_->waitForWork(kPatience);
  }
  EXPECT_EQ(nav_->executeTick(), NodeStatus::SUCCESS);
  EXPECT_FALSE(nav_->followsRunningGoal());

  // With nothing to run, a sleep ends at an interrupt that came before it or during it, or
  // once the goal response is due.
  const auto slept = [](Navigation & sleeper, std::chrono::nanoseconds cap) {
    const auto start = steady_clock::now();
    sleeper.waitForWork(cap);
    return steady_clock::now() - start;
  };
  Follow(*nav_);
  while (slept(*nav_, 20ms) < 20ms) {
  }
  nav_->interruptWait();
  EXPECT_LT(slept(*nav_, kPatience), kPatience);
  auto interrupter = std::async(std::launch::async, [this] {
    std::this_thread::sleep_for(50ms);
    nav_->interruptWait();
  });
  EXPECT_LT(slept(*nav_, kPatience), kPatience);
  interrupter.get();

  const auto silent = Make(kPlanner, kShortTimeout);
  planner_->SetGoalAnswerDelay(kPatience);
  EXPECT_EQ(Tick(*silent, Command(6)), NodeStatus::RUNNING);
  while (silent->executeTick() == NodeStatus::RUNNING) {
    EXPECT_LT(slept(*silent, kPatience), kPatience);
  }
  planner_->ReleaseHeldAnswers();
}

}  // namespace
