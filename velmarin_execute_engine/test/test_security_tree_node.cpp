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

namespace
{

using action_node_test::kPatience;
using BT::NodeStatus;

class Obstacle : public execute_engine::SecurityTreeNode
{
public:
  using BT::TreeNode::setStatus;
  using SecurityTreeNode::SecurityTreeNode;
};

class SecurityTreeNodeTest : public action_node_test::SecurityActionTest
{
protected:
  static std::shared_ptr<Request> ObstacleRequest(int model_id, int cmd, float security_value)
  {
    auto request = Command(cmd);
    request->command.model_id = model_id;
    request->security_value = security_value;
    return request;
  }
};

TEST_F(SecurityTreeNodeTest, ObstacleCommandsSendTheValueAndOthersCountAsFailures)
{
  Obstacle node("obstacle", Config("security_test"), Params(kPatience));
  const std::vector<std::pair<int, std::string>> commands{
    {401, "obstacle begin to stop"},
    {402, "obstacle begin to moderate"},
    {403, "obstacle begin to recover"}};
  const float values[] = {0.5f, -2.0f, std::numeric_limits<float>::quiet_NaN()};
  for (size_t i = 0; i < commands.size(); ++i) {
    node.setStatus(NodeStatus::IDLE);
    Use(ObstacleRequest(5, commands[i].first, values[i]));
    EXPECT_EQ(node.executeTick(), NodeStatus::RUNNING);
    EXPECT_EQ(Lines(commands[i].second), 1u);
    EXPECT_EQ(engine()->GetStatus()->success_count, 1u);
    ASSERT_TRUE(server_->WaitForGoals(i + 1, kPatience));
  }
  EXPECT_EQ(server_->Goals()[1].value, -2.0f);
  EXPECT_TRUE(std::isnan(server_->Goals()[2].value));

  // A pause reaching the running goal asks for a pause goal, which has no handler here.
  EXPECT_EQ(Tick(node, 5), NodeStatus::FAILURE);
  EXPECT_EQ(engine()->GetStatus()->failure_count, 1u);
  node.setStatus(NodeStatus::IDLE);
  EXPECT_EQ(Tick(node, 404), NodeStatus::FAILURE);
  EXPECT_EQ(engine()->GetStatus()->failure_count, 1u);
  EXPECT_EQ(log_->Messages(), std::vector<std::string>{"request step into IDLE"});
}

TEST_F(SecurityTreeNodeTest, EachObstacleRequestTicksTheGoalOnToItsResult)
{
  ASSERT_TRUE(engine()->Init(
    client_node_,
    TreeXml(
      "<Sequence><SecuritySentinel/><SecurityNode action_name=\"security_test\"/></Sequence>"),
    true));
  const auto Send = [this](float security_value) {
    const auto response = std::make_shared<Response>();
    engine()->ScheduleRequest(ObstacleRequest(6, 401, security_value), response);
    return response->message;
  };
  EXPECT_EQ(Send(0.75f), "Success");
  ASSERT_TRUE(server_->WaitForGoals(1, kPatience));
  // Later requests follow the goal under way: the first takes its acceptance in, the next
  // its result. Neither counts anything, so the engine answers both "Failure".
  ASSERT_TRUE(server_->Finish(
    0, rclcpp_action::ResultCode::ABORTED, velmarin_protocol::action::Security::Result()));
  for (const float value : {1.0f, 2.0f}) {
    LetServerAnswer();
    EXPECT_EQ(Send(value), "Failure");
  }
  EXPECT_EQ(Lines("action get result"), 1u);
  ASSERT_EQ(server_->Goals().size(), 1u);
}

}  // namespace
