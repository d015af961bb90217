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
#include <vector>

#include "action_node_fixture.hpp"
#include "execute_engine/security_tree_node.hpp"

namespace
{

using action_node_test::kPatience;
using action_node_test::kShortTimeout;
using BT::NodeStatus;

class SecurityTreeNodeTest : public action_node_test::SecurityActionTest
{
protected:
  static std::shared_ptr<Request> ObstacleRequest(int cmd, float security_value)
  {
    auto request = Command(cmd);
    request->command.model_id = 6;
    request->security_value = security_value;
    return request;
  }
};

TEST_F(SecurityTreeNodeTest, TheRequestsOwnTickTellsWhetherItsGoalWasAccepted)
{
  struct Row
  {
    std::string server;
    std::function<void()> script;
    int cmd;
    NodeStatus status;  // IDLE: the tick raised
    uint32_t successes;
    uint32_t failures;
  };
  const std::vector<Row> rows{
    {"accepting", [] {}, 401, NodeStatus::RUNNING, 1, 0},
    {"accepting", [] {}, 404, NodeStatus::FAILURE, 0, 1},
    {"refusing", [this] { server_->SetGoalDecision(rclcpp_action::GoalResponse::REJECT); }, 401,
     NodeStatus::IDLE, 1, 0},
    {"silent",
     [this] {
       server_->SetGoalDecision(rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE);
       server_->SetGoalAnswerDelay(kPatience);
     },
     401, NodeStatus::FAILURE, 1, 1},
    {"absent", [] {}, 401, NodeStatus::FAILURE, 0, 1}};
  for (const auto & row : rows) {
    row.script();
    execute_engine::SecurityTreeNode node(
      "obstacle", Config(row.server == "absent" ? "security_absent" : "security_test"),
      Params(kShortTimeout));
    Use(ObstacleRequest(row.cmd, 1.0f));
    NodeStatus status = NodeStatus::IDLE;
    try {
      status = node.executeTick();
    } catch (const std::runtime_error & error) {
      EXPECT_EQ(std::string(error.what()), "Goal was rejected by the action server");
    }
    EXPECT_EQ(status, row.status) << row.server << row.cmd;
    EXPECT_EQ(engine()->GetStatus()->success_count, row.successes) << row.server << row.cmd;
    EXPECT_EQ(engine()->GetStatus()->failure_count, row.failures) << row.server << row.cmd;
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
    log_->Clear();
    const auto response = std::make_shared<Response>();
    engine()->ScheduleRequest(ObstacleRequest(cmd, security_value), response);
    return response->message;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Each request's value goes out unchanged; the last goal is refused.
  const std::vector<std::tuple<int, float, std::string>> commands{
    {401, 0.75f, "Success"},
    {401, -2.0f, "Success"},
    {403, nan, "Success"},
    {402, 3.0f, "Failure"}};
  for (const auto & [cmd, value, answer] : commands) {
    if (answer == "Failure") {
      server_->SetGoalDecision(rclcpp_action::GoalResponse::REJECT);
    }
    EXPECT_EQ(Send(cmd, value), answer) << cmd;
  }
  const auto goals = server_->Goals();
  ASSERT_EQ(goals.size(), 4u);
  EXPECT_EQ(goals[0].value, 0.75f);
  EXPECT_EQ(goals[1].value, -2.0f);
  EXPECT_TRUE(std::isnan(goals[2].value));
  EXPECT_EQ(server_->CancelRequests(), 3u);
}

}  // namespace
