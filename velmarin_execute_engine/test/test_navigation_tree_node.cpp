// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "action_node_fixture.hpp"
#include "execute_engine/navigation_tree_node.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"
#include "geometry_msgs/msg/point.hpp"

namespace
{

using action_node_test::kPatience;
using action_node_test::kShortTimeout;
using namespace std::chrono_literals;
using BT::NodeStatus;
using Planner = velmarin_protocol::action::Planner;
using Point = velmarin_protocol::msg::NavigationPoint;
using Position = geometry_msgs::msg::Point;
using ReachDestPose = velmarin_protocol::msg::ReachDestinationPose;
using rclcpp_action::ResultCode;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTwoPi = 6.283185307179586;

class Navigation : public execute_engine::NavigationTreeNode
{
public:
  using BT::TreeNode::setStatus;
  using NavigationTreeNode::goal_in_flight;
  using NavigationTreeNode::NavigationTreeNode;
};

Point At(double x, double y, double z, double yaw)
{
  Point point;
  point.x = x;
  point.y = y;
  point.z = z;
  point.yaw = yaw;
  return point;
}

ReachDestPose Reached(int32_t index, bool state, int32_t errnum)
{
  ReachDestPose message;
  message.index = index;
  message.state = state;
  message.errnum = errnum;
  return message;
}

// The engine's node is the topic node, on which outcomes are published.
class NavigationTreeNodeTest : public action_node_test::ActionNodeTest
{
protected:
  void SetUp() override
  {
    ActionNodeTest::SetUp();
    topic_ = std::make_shared<execute_engine::Ros2Topic>();
    ASSERT_TRUE(engine()->Init(topic_, TreeXml("<AlwaysSuccess/>"), true));
    server_ = std::make_unique<execute_engine_test_support::SimulatedPlannerServer>(
      *peers_, "planner_test");
    node_ = std::make_unique<Navigation>("navigation", Config("planner_test"), Params(kPatience));
  }

  void TearDown() override
  {
    node_.reset();
    server_.reset();
    ActionNodeTest::TearDown();
  }

  static std::shared_ptr<Request> Route(int cmd, const std::vector<Point> & points)
  {
    auto request = Command(cmd);
    request->navigation_points = points;
    request->nav_control = 9;
    return request;
  }

  // Starts a goal from IDLE for `request`: the tick's status, the success and failure counts,
  // and the goal the planner got (none when the tick sent nothing).
  std::tuple<NodeStatus, uint32_t, uint32_t, std::unique_ptr<Planner::Goal>> Start(
    std::shared_ptr<Request> request)
  {
    node_->setStatus(NodeStatus::IDLE);
    Use(std::move(request));
    const size_t before = server_->Goals().size();
    const NodeStatus status = node_->executeTick();
    std::unique_ptr<Planner::Goal> goal;
    if (status == NodeStatus::RUNNING && server_->WaitForGoals(before + 1, kPatience)) {
      goal = std::make_unique<Planner::Goal>(server_->Goals().back());
    }
    const auto counts = engine()->GetStatus();
    return {status, counts->success_count, counts->failure_count, std::move(goal)};
  }

  std::shared_ptr<execute_engine::Ros2Topic> topic_;
  std::unique_ptr<execute_engine_test_support::SimulatedPlannerServer> server_;
  std::unique_ptr<Navigation> node_;
};

TEST_F(NavigationTreeNodeTest, WhatEachCommandSendsAtGoalStart)
{
  // Work needs a route; neither Move nor Work sends a heading that is not a number.
  const double inf = std::numeric_limits<double>::infinity();
  const Point any = At(1, 1, 0, 0);
  // request, then the goal's task type and control (-1: nothing sent, the tick fails), failures
  const std::vector<std::tuple<std::shared_ptr<Request>, int32_t, int32_t, uint32_t>> cases{
    {Route(101, {}), 2, 9, 0},
    {Route(102, {}), -1, -1, 1},
    {Route(101, {any, At(2, 2, 0, kNaN)}), -1, -1, 1},
    {Route(102, {At(1, 1, 0, inf)}), -1, -1, 1},
    {Command(5), 0, 1, 0},
    {Command(6), 0, 0, 0},
    {Command(403), 0, 2, 0},
    {Command(8), -1, -1, 0},
    {Command(201), -1, -1, 0},
    {Command(4), -1, -1, 1}};
  for (const auto & [request, task_type, control, expected_failures] : cases) {
    const int cmd = request->command.cmd;
    const size_t points = request->navigation_points.size();
    const auto [status, successes, failures, goal] = Start(request);
    EXPECT_EQ(failures, expected_failures) << cmd << "/" << points;
    EXPECT_EQ(successes, task_type < 0 ? 0u : 1u) << cmd << "/" << points;
    if (task_type < 0) {
      EXPECT_EQ(status, NodeStatus::FAILURE) << cmd << "/" << points;
      EXPECT_FALSE(goal) << cmd << "/" << points;
      continue;
    }
    ASSERT_TRUE(goal) << cmd;
    EXPECT_EQ(status, NodeStatus::RUNNING) << cmd;
    EXPECT_EQ(goal->task_type, task_type) << cmd;
    EXPECT_EQ(goal->control, control) << cmd;
    EXPECT_TRUE(goal->poses.empty()) << cmd;
  }
}

TEST_F(NavigationTreeNodeTest, MoveAndWorkSendTheRouteInTheMapFrame)
{
  const auto move = std::get<3>(Start(
    Route(101, {At(1, 2, 0.5, 0.5), At(-3, 4, 0, 7.0), At(0, 0, 0, -7.0), At(0, 0, 0, 1e12)})));
  ASSERT_TRUE(move);
  ASSERT_EQ(move->poses.size(), 4u);
  EXPECT_EQ(move->poses[0].pose.position, geometry_msgs::build<Position>().x(1).y(2).z(0.5));
  const double yaws[] = {0.5, 7.0 - kTwoPi, -7.0 + kTwoPi, std::fmod(1e12, kTwoPi)};
  for (size_t i = 0; i < 4; ++i) {
    const auto & pose = move->poses[i];
    EXPECT_EQ(pose.header.frame_id, "map");
    EXPECT_NEAR(pose.pose.orientation.z, std::sin(yaws[i] / 2), 1e-9) << i;
    EXPECT_NEAR(pose.pose.orientation.w, std::cos(yaws[i] / 2), 1e-9) << i;
  }

  // A full turn stays a full turn; a NaN position is sent as given.
  const auto work = std::get<3>(Start(Route(102, {At(kNaN, 1, 0, kTwoPi)})));
  ASSERT_TRUE(work);
  EXPECT_TRUE(std::isnan(work->poses[0].pose.position.x));
  EXPECT_EQ(work->poses[0].pose.orientation.w, -1.0);
}

TEST_F(NavigationTreeNodeTest, EveryMoveOrWorkGoalEndsWithOneMessageOnReachDestPose)
{
  execute_engine_test_support::ReachDestPoseRecorder reached(*peers_);
  const auto route = [] { return Route(101, {At(1, 1, 0, 0)}); };
  Planner::Result result;
  result.index = 3;
  result.state = 1;
  result.errmsg = "blocked";
  result.errnum = -5;
  // How the goal ends, and what reaches "reachdestpose" then.
  const std::vector<std::pair<std::string, std::function<void()>>> endings{
    {"result",
     [&] {
       ASSERT_EQ(std::get<0>(Start(route())), NodeStatus::RUNNING);
       ASSERT_TRUE(server_->Finish(server_->Goals().size() - 1, ResultCode::ABORTED, result));
       EXPECT_EQ(TickWhileRunning(*node_), NodeStatus::SUCCESS);
     }},
    {"result during a cancel",
     [&] {
       ASSERT_EQ(std::get<0>(Start(route())), NodeStatus::RUNNING);
       ASSERT_TRUE(TickUntil(*node_, [this] { return node_->goal_in_flight; }));
       ASSERT_TRUE(server_->Finish(server_->Goals().size() - 1, ResultCode::SUCCEEDED, result));
       LetServerAnswer();
       EXPECT_EQ(Tick(*node_, 4), NodeStatus::SUCCESS);
     }},
    {"planner absent",
     [&] {
       Navigation absent("absent", Config("planner_absent"), Params(1ms));
       Use(route());
       EXPECT_EQ(absent.executeTick(), NodeStatus::FAILURE);
     }},
    {"work without points",
     [&] { EXPECT_EQ(std::get<0>(Start(Route(102, {}))), NodeStatus::FAILURE); }},
    {"refused",
     [&] {
       server_->SetGoalDecision(rclcpp_action::GoalResponse::REJECT);
       ASSERT_EQ(std::get<0>(Start(route())), NodeStatus::RUNNING);
       EXPECT_THROW(TickWhileRunning(*node_), std::runtime_error);
       node_->halt();
       server_->SetGoalDecision(rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE);
     }},
    {"not accepted in time",
     [&] {
       Navigation late("late", Config("planner_test"), Params(kShortTimeout));
       server_->SetGoalAnswerDelay(kPatience);
       Use(route());
       EXPECT_EQ(late.executeTick(), NodeStatus::RUNNING);
       EXPECT_EQ(TickWhileRunning(late), NodeStatus::FAILURE);
       server_->SetGoalAnswerDelay(0ms);
       server_->ReleaseHeldAnswers();
     }},
    {"cancelled",
     [&] {
       ASSERT_EQ(std::get<0>(Start(route())), NodeStatus::RUNNING);
       EXPECT_EQ(Tick(*node_, 8), NodeStatus::SUCCESS);
     }},
    {"halted", [&] {
       ASSERT_EQ(std::get<0>(Start(route())), NodeStatus::RUNNING);
       node_->halt();
     }}};
  std::vector<ReachDestPose> expected;
  for (const auto & [how, end] : endings) {
    end();
    expected.push_back(how.rfind("result", 0) == 0 ? Reached(3, true, -5) : Reached(-1, false, 0));
    ASSERT_TRUE(reached.WaitFor(expected.size(), kPatience)) << how;
  }
  LetServerAnswer();
  EXPECT_EQ(reached.Messages(), expected);

  // A result without a message, and one without the topic node to publish it.
  EXPECT_EQ(node_->onResultReceived(Navigation::WrappedResult()), NodeStatus::FAILURE);
  ASSERT_TRUE(reached.WaitFor(expected.size() + 1, kPatience));
  EXPECT_EQ(reached.Messages().back(), Reached(-1, false, 0));
  ASSERT_TRUE(engine()->Init(client_node_, TreeXml("<AlwaysSuccess/>"), true));
  Navigation::WrappedResult any;
  any.result = std::make_shared<Planner::Result>();
  EXPECT_EQ(node_->onResultReceived(any), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("Navigation action resutl get null topic node"), 1u);
}

}  // namespace
