// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "action_node_fixture.hpp"
#include "execute_engine/security_tree_node.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"

namespace
{

using action_node_test::kPatience;
using BT::NodeStatus;
using execute_engine_test_support::SimulatedSecurityServer;
using rclcpp_action::ResultCode;
using Security = velmarin_protocol::action::Security;
using namespace std::chrono_literals;

// The obstacle node as the tree holds it, with its status settable as the tree sets it.
class Obstacle : public execute_engine::SecurityTreeNode
{
public:
  using BT::TreeNode::setStatus;
  using SecurityTreeNode::SecurityTreeNode;
};

class SecurityTreeNodeTest : public action_node_test::ActionNodeTest
{
protected:
  void SetUp() override
  {
    ActionNodeTest::SetUp();
    server_ = std::make_unique<SimulatedSecurityServer>(*peers_, "security_test");
    node_ = std::make_unique<Obstacle>("obstacle", Config("security_test"), Params(kPatience));
  }

  void TearDown() override
  {
    node_.reset();
    server_.reset();
    ActionNodeTest::TearDown();
  }

  static std::shared_ptr<Request> ObstacleRequest(int cmd, float security_value)
  {
    auto request = Command(cmd);
    request->security_value = security_value;
    return request;
  }

  std::unique_ptr<SimulatedSecurityServer> server_;
  std::unique_ptr<Obstacle> node_;
};

TEST_F(SecurityTreeNodeTest, ObstacleCommandsSendTheRequestsValue)
{
  const std::vector<std::pair<int, std::string>> commands{
    {401, "obstacle begin to stop"},
    {402, "obstacle begin to moderate"},
    {403, "obstacle begin to recover"}};
  const float values[] = {0.5f, -2.0f, std::numeric_limits<float>::quiet_NaN()};
  for (size_t i = 0; i < commands.size(); ++i) {
    const auto & [cmd, line] = commands[i];
    node_->setStatus(NodeStatus::IDLE);
    Use(ObstacleRequest(cmd, values[i]));
    EXPECT_EQ(node_->executeTick(), NodeStatus::RUNNING) << cmd;
    EXPECT_EQ(Lines(line), 1u) << cmd;
    EXPECT_EQ(engine()->GetStatus()->success_count, 1u) << cmd;
    ASSERT_TRUE(server_->WaitForGoals(i + 1, kPatience)) << cmd;
  }
  const auto goals = server_->Goals();
  EXPECT_EQ(goals[0].value, 0.5f);
  EXPECT_EQ(goals[1].value, -2.0f);
  EXPECT_TRUE(std::isnan(goals[2].value));
}

TEST_F(SecurityTreeNodeTest, CommandsWithoutAHandlerCountAsFailures)
{
  Use(ObstacleRequest(404, 1.0f));
  EXPECT_EQ(node_->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(engine()->GetStatus()->failure_count, 1u);
  EXPECT_EQ(Lines("request step into IDLE"), 1u);
  EXPECT_EQ(log_->Messages().size(), 1u);

  // A pause reaching a running goal asks for a pause goal, which this node has no handler for.
  node_->setStatus(NodeStatus::IDLE);
  Use(ObstacleRequest(401, 1.0f));
  EXPECT_EQ(node_->executeTick(), NodeStatus::RUNNING);
  ASSERT_TRUE(server_->WaitForGoals(1, kPatience));
  Use(5);
  EXPECT_EQ(node_->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(engine()->GetStatus()->failure_count, 1u);
}

TEST_F(SecurityTreeNodeTest, TheFirstGoalIsFollowedToAnyResult)
{
  execute_engine_test_support::ReachDestPoseRecorder reached(*peers_);
  Use(ObstacleRequest(401, 1.0f));
  EXPECT_EQ(node_->executeTick(), NodeStatus::RUNNING);
  Use(ObstacleRequest(401, 2.0f));  // a second stop while the first runs sends nothing
  EXPECT_EQ(node_->executeTick(), NodeStatus::RUNNING);
  ASSERT_TRUE(server_->Finish(0, ResultCode::ABORTED, Security::Result()));
  EXPECT_EQ(TickWhileRunning(*node_), NodeStatus::SUCCESS);
  EXPECT_EQ(server_->Goals().size(), 1u);
  EXPECT_FALSE(reached.WaitFor(1, 100ms));
}

TEST_F(SecurityTreeNodeTest, TheEngineTicksTheNodeOncePerObstacleRequest)
{
  ASSERT_TRUE(engine()->Init(
    client_node_,
    TreeXml(
      "<Sequence><SecuritySentinel/><SecurityNode action_name=\"security_test\"/></Sequence>"),
    true));
  auto request = ObstacleRequest(402, 0.75f);
  request->command.model_id = 6;
  auto response = std::make_shared<Response>();
  ASSERT_TRUE(engine()->ScheduleRequest(request, response));
  EXPECT_EQ(response->message, "Success");
  ASSERT_TRUE(server_->WaitForGoals(1, kPatience));
  EXPECT_EQ(server_->Goals()[0].value, 0.75f);

  // The next request takes the goal response in, the one after the result.
  ASSERT_TRUE(server_->Finish(0, ResultCode::SUCCEEDED, Security::Result()));
  for (int later = 0; later < 2; ++later) {
    LetServerAnswer();
    response = std::make_shared<Response>();
    ASSERT_TRUE(engine()->ScheduleRequest(request, response));
    EXPECT_EQ(response->message, "Success");
  }
  EXPECT_EQ(Lines("action get result"), 1u);
  EXPECT_EQ(server_->Goals().size(), 1u);
}

}  // namespace
