// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "action_node_fixture.hpp"
#include "execute_engine/navigation_tree_node.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"

namespace
{

using action_node_test::kPatience;
using BT::NodeStatus;
using execute_engine_test_support::ReachDestPoseRecorder;
using execute_engine_test_support::SimulatedPlannerServer;
using Planner = velmarin_protocol::action::Planner;
using ReachDestPose = velmarin_protocol::msg::ReachDestinationPose;
using rclcpp_action::ResultCode;
using namespace std::chrono_literals;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTwoPi = 6.283185307179586;

// The navigation node as the tree holds it, with its status settable as the tree sets it.
class Navigation : public execute_engine::NavigationTreeNode
{
public:
  using BT::TreeNode::setStatus;
  using NavigationTreeNode::NavigationTreeNode;
};

velmarin_protocol::msg::NavigationPoint Point(double x, double y, double z, double yaw)
{
  velmarin_protocol::msg::NavigationPoint point;
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
    server_ = std::make_unique<SimulatedPlannerServer>(*peers_, "planner_test");
    node_ = std::make_unique<Navigation>("navigation", Config("planner_test"), Params(kPatience));
  }

  void TearDown() override
  {
    node_.reset();
    server_.reset();
    ActionNodeTest::TearDown();
  }

  // Starts a goal from IDLE for `request`: the goal the planner received, or a default goal
  // when the tick did not send one; with what the tick returned and counted.
  struct Started
  {
    NodeStatus status;
    uint32_t successes;
    uint32_t failures;
    Planner::Goal goal;
    bool sent;
  };

  Started Start(std::shared_ptr<Request> request)
  {
    node_->setStatus(NodeStatus::IDLE);
    Use(std::move(request));
    const size_t goals_before = server_->Goals().size();
    Started started{
      node_->executeTick(), engine()->GetStatus()->success_count,
      engine()->GetStatus()->failure_count, Planner::Goal(), false};
    if (started.status == NodeStatus::RUNNING) {
      EXPECT_TRUE(server_->WaitForGoals(goals_before + 1, kPatience));
    }
    const auto goals = server_->Goals();
    started.sent = goals.size() > goals_before;
    if (started.sent) {
      started.goal = goals.back();
    }
    return started;
  }

  static std::shared_ptr<Request> Route(
    int cmd, const std::vector<velmarin_protocol::msg::NavigationPoint> & points,
    int32_t nav_control = 0)
  {
    auto request = Command(cmd);
    request->navigation_points = points;
    request->nav_control = nav_control;
    return request;
  }

  std::shared_ptr<execute_engine::Ros2Topic> topic_;
  std::unique_ptr<SimulatedPlannerServer> server_;
  std::unique_ptr<Navigation> node_;
};

TEST_F(NavigationTreeNodeTest, MoveAndWorkSendTheRouteInTheMapFrame)
{
  const Started move = Start(
    Route(101, {Point(1.0, 2.0, 0.5, 0.5), Point(-3.0, 4.0, 0.0, 7.0), Point(0, 0, 0, -7.0)}, 9));
  ASSERT_TRUE(move.sent);
  EXPECT_EQ(move.status, NodeStatus::RUNNING);
  EXPECT_EQ(move.successes, 1u);
  EXPECT_EQ(move.goal.task_type, 2);
  EXPECT_EQ(move.goal.control, 9);
  EXPECT_EQ(move.goal.aux_vectors, geometry_msgs::msg::Twist());
  ASSERT_EQ(move.goal.poses.size(), 3u);
  const double yaws[] = {0.5, 7.0 - kTwoPi, -7.0 + kTwoPi};
  for (size_t i = 0; i < 3; ++i) {
    const auto & pose = move.goal.poses[i];
    EXPECT_EQ(pose.header.frame_id, "map") << i;
    EXPECT_EQ(pose.header.stamp, builtin_interfaces::msg::Time()) << i;
    EXPECT_EQ(pose.pose.orientation.x, 0.0) << i;
    EXPECT_EQ(pose.pose.orientation.y, 0.0) << i;
    EXPECT_NEAR(pose.pose.orientation.z, std::sin(yaws[i] / 2), 1e-12) << i;
    EXPECT_NEAR(pose.pose.orientation.w, std::cos(yaws[i] / 2), 1e-12) << i;
  }
  EXPECT_EQ(move.goal.poses[1].pose.position.x, -3.0);
  EXPECT_EQ(move.goal.poses[1].pose.position.y, 4.0);
  EXPECT_EQ(move.goal.poses[0].pose.position.z, 0.5);
  EXPECT_EQ(Lines("step into NavigationTreeNode::CalculateGoal navigation.size() = 3"), 1u);

  // A full turn stays a full turn; a huge yaw is wrapped; a NaN position is the caller's.
  const Started work = Start(Route(102, {Point(kNaN, 1, 0, kTwoPi), Point(0, 0, 0, 1e12)}, 3));
  ASSERT_TRUE(work.sent);
  EXPECT_EQ(work.successes, 1u);
  EXPECT_EQ(work.goal.task_type, 1);
  EXPECT_EQ(work.goal.control, 3);
  EXPECT_TRUE(std::isnan(work.goal.poses[0].pose.position.x));
  EXPECT_NEAR(work.goal.poses[0].pose.orientation.z, 0.0, 1e-12);
  EXPECT_EQ(work.goal.poses[0].pose.orientation.w, -1.0);
  EXPECT_NEAR(work.goal.poses[1].pose.orientation.z, std::sin(std::fmod(1e12, kTwoPi) / 2), 1e-6);
}

TEST_F(NavigationTreeNodeTest, RoutesWithoutUsablePoints)
{
  // An empty route: a move goes out empty, work is refused.
  const Started empty_move = Start(Route(101, {}, 4));
  ASSERT_TRUE(empty_move.sent);
  EXPECT_EQ(Lines("navigation points empty"), 1u);
  EXPECT_EQ(empty_move.successes, 1u);
  EXPECT_EQ(empty_move.goal.task_type, 2);
  EXPECT_EQ(empty_move.goal.control, 4);
  EXPECT_TRUE(empty_move.goal.poses.empty());

  const Started empty_work = Start(Route(102, {}));
  EXPECT_FALSE(empty_work.sent);
  EXPECT_EQ(empty_work.status, NodeStatus::FAILURE);
  EXPECT_EQ(empty_work.failures, 1u);

  // A heading that is not a number refuses the route, for a move as for work.
  for (const double yaw : {kNaN, std::numeric_limits<double>::infinity()}) {
    for (const int cmd : {101, 102}) {
      const Started refused = Start(Route(cmd, {Point(1, 1, 0, 0), Point(2, 2, 0, yaw)}));
      EXPECT_FALSE(refused.sent) << cmd << " " << yaw;
      EXPECT_EQ(refused.status, NodeStatus::FAILURE) << cmd << " " << yaw;
      EXPECT_EQ(refused.successes, 0u) << cmd << " " << yaw;
      EXPECT_EQ(refused.failures, 1u) << cmd << " " << yaw;
    }
  }
}

TEST_F(NavigationTreeNodeTest, OtherCommandsAtGoalStart)
{
  // Handled like any other command: the goal goes out without a route.
  const std::vector<std::pair<int, int32_t>> controls{{5, 1}, {6, 0}, {7, 0}, {403, 2}};
  for (const auto & [cmd, control] : controls) {
    const Started started = Start(Command(cmd));
    ASSERT_TRUE(started.sent) << cmd;
    EXPECT_EQ(started.successes, 1u) << cmd;
    EXPECT_EQ(started.goal.task_type, 0) << cmd;
    EXPECT_EQ(started.goal.control, control) << cmd;
    EXPECT_TRUE(started.goal.poses.empty()) << cmd;
  }
  // No handler: refused without counting. A cancel with no goal to cancel: refused and counted.
  for (const auto & [cmd, failures] :
       std::vector<std::pair<int, uint32_t>>{{8, 0}, {201, 0}, {4, 1}}) {
    const Started refused = Start(Command(cmd));
    EXPECT_FALSE(refused.sent) << cmd;
    EXPECT_EQ(refused.status, NodeStatus::FAILURE) << cmd;
    EXPECT_EQ(refused.successes, 0u) << cmd;
    EXPECT_EQ(refused.failures, failures) << cmd;
  }
}

TEST_F(NavigationTreeNodeTest, PauseAndRecoveryGoalsWhileAGoalRuns)
{
  ASSERT_TRUE(Start(Route(101, {Point(1, 1, 0, 0)})).sent);
  Use(5);
  EXPECT_EQ(node_->executeTick(), NodeStatus::RUNNING);
  ASSERT_TRUE(server_->WaitForGoals(2, kPatience));
  EXPECT_EQ(Lines("NavigationTreeNode::Pause"), 1u);
  EXPECT_EQ(engine()->GetStatus()->success_count, 1u);
  Use(403);
  EXPECT_EQ(node_->executeTick(), NodeStatus::RUNNING);
  ASSERT_TRUE(server_->WaitForGoals(3, kPatience));
  EXPECT_EQ(Lines("NavigationTreeNode::Recovery"), 1u);
  EXPECT_EQ(engine()->GetStatus()->success_count, 1u);
  const auto goals = server_->Goals();
  for (const auto & [index, control] : std::vector<std::pair<size_t, int32_t>>{{1, 1}, {2, 2}}) {
    EXPECT_EQ(goals[index].task_type, 0);
    EXPECT_EQ(goals[index].control, control);
    EXPECT_TRUE(goals[index].poses.empty());
  }
}

TEST_F(NavigationTreeNodeTest, EveryResultIsPublishedOnReachDestPose)
{
  ReachDestPoseRecorder reached(*peers_);
  Planner::Result result;
  result.index = 3;
  result.state = 1;
  result.errmsg = "blocked";
  ASSERT_TRUE(Start(Route(101, {Point(1, 1, 0, 0)})).sent);
  ASSERT_TRUE(server_->Finish(0, ResultCode::ABORTED, result));
  EXPECT_EQ(TickWhileRunning(*node_), NodeStatus::SUCCESS);
  EXPECT_EQ(Lines("Navigation action result index:3, state:1, errmsg:blocked, errnum:0"), 1u);

  result.index = -2;
  result.state = 200;
  result.errmsg = "";
  result.errnum = -5;
  ASSERT_TRUE(Start(Route(102, {Point(1, 1, 0, 0)})).sent);
  ASSERT_TRUE(server_->Finish(1, ResultCode::SUCCEEDED, result));
  EXPECT_EQ(TickWhileRunning(*node_), NodeStatus::SUCCESS);
  EXPECT_EQ(Lines("Navigation action result index:-2, state:200, errmsg:, errnum:-5"), 1u);

  // A result without its message.
  EXPECT_EQ(node_->onResultReceived(Navigation::WrappedResult()), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("Navigation action result get empty response"), 1u);
  ASSERT_TRUE(reached.WaitFor(3, kPatience));
  EXPECT_EQ(
    reached.Messages(), (std::vector<ReachDestPose>{
                          Reached(3, true, 0), Reached(-2, true, -5), Reached(-1, false, 0)}));
}

TEST_F(NavigationTreeNodeTest, WithoutTheTopicNodeNothingIsPublished)
{
  ReachDestPoseRecorder reached(*peers_);
  ASSERT_TRUE(engine()->Init(client_node_, TreeXml("<AlwaysSuccess/>"), true));
  Navigation::WrappedResult result;
  result.result = std::make_shared<Planner::Result>();
  EXPECT_EQ(node_->onResultReceived(result), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("Navigation action resutl get null topic node"), 1u);
  EXPECT_FALSE(reached.WaitFor(1, 100ms));
}

TEST_F(NavigationTreeNodeTest, TheEngineRunsAMoveOnItsThreadUntilTheResult)
{
  ReachDestPoseRecorder reached(*peers_);
  ASSERT_TRUE(engine()->Init(
    topic_,
    TreeXml("<Sequence><NavigationSentinel/><Navigation action_name=\"planner_test\"/></Sequence>"),
    true));
  auto request = Route(101, {Point(1, 2, 0, 0)});
  request->command.model_id = 2;
  const auto response = std::make_shared<Response>();
  ASSERT_TRUE(engine()->ScheduleRequest(request, response));
  EXPECT_EQ(response->message, "Success");
  ASSERT_TRUE(server_->WaitForGoals(1, kPatience));
  EXPECT_EQ(server_->Goals()[0].task_type, 2);
  Planner::Result result;
  result.index = 1;
  ASSERT_TRUE(server_->Finish(0, ResultCode::SUCCEEDED, result));
  EXPECT_TRUE(WaitUntilIdle());
  ASSERT_TRUE(reached.WaitFor(1, kPatience));
  EXPECT_EQ(reached.Messages()[0], Reached(1, false, 0));
}

}  // namespace
