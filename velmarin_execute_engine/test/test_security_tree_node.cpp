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
#include <vector>

#include "action_node_fixture.hpp"
#include "execute_engine/security_tree_node.hpp"

namespace
{

using action_node_test::kPatience;
using action_node_test::kShortTimeout;
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

TEST_F(SecurityTreeNodeTest, TheRequestsOwnTickTellsWhetherItsGoalWasAccepted)
{
  struct Row
  {
    std::string server;
    std::function<void()> script;
    NodeStatus status;  // IDLE: the tick raised
    uint32_t successes;
    uint32_t failures;
  };
  const std::vector<Row> rows{
    {"accepting", [] {}, NodeStatus::RUNNING, 1, 0},
    {"refusing", [this] { server_->SetGoalDecision(rclcpp_action::GoalResponse::REJECT); },
     NodeStatus::IDLE, 1, 0},
    {"silent",
     [this] {
       server_->SetGoalDecision(rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE);
       server_->SetGoalAnswerDelay(kPatience);
     },
     NodeStatus::FAILURE, 1, 1},
    {"absent", [] {}, NodeStatus::FAILURE, 0, 1}};
  for (const auto & row : rows) {
    row.script();
    Obstacle node(
      "obstacle", Config(row.server == "absent" ? "security_absent" : "security_test"),
      Params(kShortTimeout));
    Use(ObstacleRequest(6, 401, 1.0f));
    NodeStatus status = NodeStatus::IDLE;
    try {
      status = node.executeTick();
    } catch (const std::runtime_error & error) {
      EXPECT_EQ(std::string(error.what()), "Goal was rejected by the action server");
    }
    EXPECT_EQ(status, row.status) << row.server;
    EXPECT_EQ(engine()->GetStatus()->success_count, row.successes) << row.server;
    EXPECT_EQ(engine()->GetStatus()->failure_count, row.failures) << row.server;
  }
  server_->ReleaseHeldAnswers();
}

TEST_F(SecurityTreeNodeTest, EachObstacleRequestSendsItsOwnGoalAfterCancellingTheOneHeld)
{
  ASSERT_TRUE(engine()->Init(
    client_node_,
    TreeXml("<ReactiveSequence><SecuritySentinel/><SecurityNode action_name=\"security_test\"/>"
            "</ReactiveSequence>"),
    true));
  const auto Send = [this](int cmd, float security_value) {
    const auto response = std::make_shared<Response>();
    engine()->ScheduleRequest(ObstacleRequest(6, cmd, security_value), response);
    return response->message;
  };
  EXPECT_EQ(Send(401, 0.75f), "Success");
  EXPECT_EQ(Send(401, 1.0f), "Success");
  EXPECT_EQ(Send(403, 2.0f), "Success");
  server_->SetGoalDecision(rclcpp_action::GoalResponse::REJECT);
  EXPECT_EQ(Send(402, 3.0f), "Failure");
  std::vector<float> values;
  for (const auto & goal : server_->Goals()) {
    values.push_back(goal.value);
  }
  EXPECT_EQ(values, (std::vector<float>{0.75f, 1.0f, 2.0f, 3.0f}));
  EXPECT_EQ(server_->CancelRequests(), 3u);
}

}  // namespace
