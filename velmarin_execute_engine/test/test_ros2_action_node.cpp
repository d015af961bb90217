// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <behaviortree_cpp_v3/bt_factory.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "action_node_fixture.hpp"
#include "execute_engine/ros2_action_node.hpp"
#include "execute_engine/security_tree_node.hpp"

namespace
{

using action_node_test::kPatience;
using action_node_test::kShortTimeout;
using action_node_test::MessageOf;
using action_node_test::RosLog;
using BT::NodeStatus;
using execute_engine_test_support::SimulatedSecurityServer;
using rclcpp_action::ResultCode;
using Security = velmarin_protocol::action::Security;
using namespace std::chrono_literals;

const std::string kNoName = "Both [action_name] in the InputPort and the RosNodeParams are empty.";

// An action node whose hooks the test scripts and records, with its goal state in view.
class ScriptedNode : public execute_engine::Ros2ActionNode<Security>
{
public:
  using BT::TreeNode::setStatus;
  using Ros2ActionNode::action_client;
  using Ros2ActionNode::cancelling;
  using Ros2ActionNode::client_action_name;
  using Ros2ActionNode::goal_handle;
  using Ros2ActionNode::goal_in_flight;
  using Ros2ActionNode::Ros2ActionNode;
  using Ros2ActionNode::server_ready;

  bool fillGoal(Goal & goal) override
  {
    goal.value = goal_value;
    return accept_goal;
  }
  NodeStatus onResultReceived(const WrappedResult & result) override
  {
    results.push_back(result);
    return NodeStatus::FAILURE;
  }
  NodeStatus onFeedback(std::shared_ptr<const Feedback> /*feedback*/) override
  {
    ++feedbacks;
    return feedback_verdict;
  }
  NodeStatus onActionError(int32_t error_code) override
  {
    errors.push_back(error_code);
    return error_verdict;
  }
  void onGoalLost(int32_t cmd) override { lost.push_back(cmd); }

  float goal_value = 0.0f;
  bool accept_goal = true;
  NodeStatus feedback_verdict = NodeStatus::RUNNING;
  NodeStatus error_verdict = NodeStatus::FAILURE;
  std::vector<WrappedResult> results;
  int feedbacks = 0;
  std::vector<int32_t> errors;
  std::vector<int32_t> lost;
};

class Ros2ActionNodeTest : public action_node_test::SecurityActionTest
{
protected:
  std::unique_ptr<ScriptedNode> MakeNode(std::chrono::milliseconds action_timeout = kPatience)
  {
    return std::make_unique<ScriptedNode>("scripted", Config(kServer), Params(action_timeout));
  }

  // Starts a goal from IDLE and ticks until its goal response is taken.
  void Follow(ScriptedNode & node)
  {
    node.setStatus(NodeStatus::IDLE);
    ASSERT_EQ(Tick(node, 401), NodeStatus::RUNNING);
    ASSERT_TRUE(TickUntil(node, [&node] { return node.goal_in_flight; }));
  }
};

TEST_F(Ros2ActionNodeTest, FindsItsServerAtConstructionOrAtALaterTick)
{
  EXPECT_TRUE(MakeNode()->server_ready);
  ScriptedNode absent("absent", Config("late_server"), Params(kShortTimeout));
  EXPECT_EQ(Tick(absent, 401), NodeStatus::FAILURE);

  SimulatedSecurityServer late(*peers_, "late_server");
  absent.setStatus(NodeStatus::IDLE);
  EXPECT_EQ(absent.executeTick(), NodeStatus::RUNNING);
  EXPECT_TRUE(late.WaitForGoals(1, kPatience));
}

TEST_F(Ros2ActionNodeTest, TakesTheActionNameFromThePortTheBlackboardOrTheDefault)
{
  for (const auto & config :
       {Config(""), Config("__default__placeholder__"), BT::NodeConfiguration()}) {
    EXPECT_EQ(
      MessageOf<std::logic_error>([&] { ScriptedNode("x", config, Params(1ms)); }), kNoName);
  }
  auto params = Params(kPatience);
  params.default_action_name = kServer;
  EXPECT_EQ(
    ScriptedNode("x", Config("__default__placeholder__"), params).client_action_name, kServer);

  // From the blackboard: the client is made when a goal starts, for the entry of that moment,
  // also while another executor spins the node.
  peers_->AddNode(client_node_);
  auto config = Config("{server}");
  config.blackboard = BT::Blackboard::create();
  ScriptedNode node("from_blackboard", config, Params(kPatience));
  EXPECT_FALSE(node.action_client);
  EXPECT_EQ(MessageOf<BT::RuntimeError>([&] { Tick(node, 401); }), "action_name is empty");
  config.blackboard->set("server", std::string(kServer));
  EXPECT_EQ(node.executeTick(), NodeStatus::RUNNING);
  SimulatedSecurityServer other(*peers_, "security_other");
  config.blackboard->set("server", std::string("security_other"));
  EXPECT_EQ(node.executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(node.client_action_name, kServer);
  node.setStatus(NodeStatus::IDLE);
  EXPECT_EQ(node.executeTick(), NodeStatus::RUNNING);
  EXPECT_TRUE(server_->WaitForGoals(1, kPatience));
  EXPECT_TRUE(other.WaitForGoals(1, kPatience));
  // A name no client can be made for leaves the working client in place.
  node.setStatus(NodeStatus::IDLE);
  config.blackboard->set("server", std::string("bad name!"));
  EXPECT_THROW(node.executeTick(), std::exception);
  config.blackboard->set("server", std::string("security_other"));
  EXPECT_EQ(node.executeTick(), NodeStatus::RUNNING);
  EXPECT_TRUE(TickUntil(node, [&node] { return node.goal_in_flight; }));

  // Registered types take their server from the action_name port.
  BT::BehaviorTreeFactory factory;
  params = Params(kPatience);
  execute_engine::RegisterRos2ActionNode<execute_engine::SecurityTreeNode>(
    factory, "SecurityNode", params);
  auto tree = factory.createTreeFromText(TreeXml("<SecurityNode action_name=\"security_test\"/>"));
  Use(Command(401));
  EXPECT_EQ(tree.tickRoot(), NodeStatus::RUNNING);
  EXPECT_TRUE(server_->WaitForGoals(2, kPatience));
}

TEST_F(Ros2ActionNodeTest, AcceptedGoalEndsWithTheResultHooksStatus)
{
  const auto node = MakeNode();
  node->goal_value = 0.25f;
  Follow(*node);
  EXPECT_EQ(server_->Goals()[0].value, 0.25f);
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  ASSERT_TRUE(TickUntil(*node, [&node] { return node->feedbacks == 1; }));

  ASSERT_TRUE(server_->Finish(0, ResultCode::ABORTED, Security::Result()));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::FAILURE);
  ASSERT_EQ(node->results.size(), 1u);
  EXPECT_EQ(node->results[0].code, ResultCode::ABORTED);
  EXPECT_EQ(node->results[0].goal_id, server_->GoalId(0));

  // Ticked again without a reset, it answers RUNNING and sends nothing; then, having no goal
  // to follow, it ends.
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(node->errors, std::vector<int32_t>{1});
  EXPECT_EQ(server_->Goals().size(), 1u);
}

TEST_F(Ros2ActionNodeTest, GoalAcceptedAfterItsResponseWasOverdueIsCancelledOnceSeen)
{
  // Each goal is accepted 100 ms after the node gave up on it; the node sees the acceptance at
  // its next goal start, or when it is destroyed.
  const std::vector<std::pair<std::string, std::function<void(std::unique_ptr<ScriptedNode> &)>>>
    seen_by{
      {"next goal",
       [this](std::unique_ptr<ScriptedNode> & node) {
         ASSERT_TRUE(server_->PublishFeedback(server_->Goals().size() - 1, Security::Feedback()));
         LetServerAnswer();
         node->setStatus(NodeStatus::IDLE);
         EXPECT_EQ(Tick(*node, 402), NodeStatus::RUNNING);
       }},
      {"destruction", [](std::unique_ptr<ScriptedNode> & node) { node.reset(); }}};
  size_t cancels = 0;
  for (const auto & [how, see] : seen_by) {
    server_->SetGoalAnswerDelay(kShortTimeout + 100ms);
    auto node = MakeNode(kShortTimeout);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(Tick(*node, 401), NodeStatus::RUNNING);
    EXPECT_EQ(TickWhileRunning(*node), NodeStatus::FAILURE) << how;
    EXPECT_GE(std::chrono::steady_clock::now() - sent, kShortTimeout);
    EXPECT_EQ(node->errors, std::vector<int32_t>{1}) << how;
    EXPECT_EQ(node->lost, std::vector<int32_t>{401}) << how;
    server_->SetGoalAnswerDelay(0ms);
    see(node);
    EXPECT_TRUE(server_->WaitForCancelRequests(++cancels, kPatience)) << how;
  }
}

TEST_F(Ros2ActionNodeTest, CancelAndHaltEndTheGoalWithOneOutcome)
{
  // How the goal stands when it is ended, then whether a cancel reaches the server (one the
  // server has finished does not) and whether the result is handed over.
  struct Row
  {
    std::string goal;
    std::function<void(ScriptedNode &, size_t)> prepare;
    bool cancelled;
    bool result;
  };
  const std::vector<Row> rows{
    {"followed", [this](ScriptedNode & node, size_t) { Follow(node); }, true, false},
    {"not yet accepted",
     [this](ScriptedNode & node, size_t) {
       server_->SetGoalAnswerDelay(100ms);
       EXPECT_EQ(Tick(node, 401), NodeStatus::RUNNING);
     },
     true, false},
    {"finished",
     [this](ScriptedNode & node, size_t goal) {
       Follow(node);
       ASSERT_TRUE(server_->Finish(goal, ResultCode::SUCCEEDED, Security::Result()));
       LetServerAnswer();
     },
     false, true}};
  size_t goals = 0;
  for (const auto & row : rows) {
    for (const int end : {4, 8, 0}) {  // 0: halt
      const auto node = MakeNode();
      const size_t cancels = server_->CancelRequests();
      row.prepare(*node, goals++);
      if (end == 0) {
        node->halt();
      } else {
        EXPECT_EQ(Tick(*node, end), NodeStatus::SUCCESS) << row.goal;
      }
      server_->SetGoalAnswerDelay(0ms);
      EXPECT_EQ(server_->CancelRequests() - cancels, row.cancelled ? 1u : 0u) << row.goal << end;
      EXPECT_EQ(node->results.size(), row.result ? 1u : 0u) << row.goal << end;
      EXPECT_EQ(node->lost.size(), row.result ? 0u : 1u) << row.goal << end;
      EXPECT_FALSE(node->goal_handle) << row.goal << end;
    }
  }

  // Halt cancels only a running goal. A cancel the server does not answer is waited for once,
  // then the goal is let go.
  const auto node = MakeNode(kShortTimeout);
  Follow(*node);
  node->setStatus(NodeStatus::SUCCESS);
  node->halt();
  EXPECT_TRUE(node->goal_handle);
  node->setStatus(NodeStatus::RUNNING);
  server_->SetCancelAnswerDelay(kPatience);
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(Tick(*node, 4), NodeStatus::SUCCESS);
  EXPECT_GE(std::chrono::steady_clock::now() - asked, kShortTimeout);
  EXPECT_EQ(
    RosLog::Count(RCUTILS_LOG_SEVERITY_ERROR, "Failed to cancel action server for [security_test]"),
    1u);
  EXPECT_EQ(Lines("action cancel success"), 1u);
}

TEST_F(Ros2ActionNodeTest, PauseAndRecoveryGoalsLeaveTheFirstGoalFollowed)
{
  const auto node = MakeNode();
  Follow(*node);
  EXPECT_EQ(Tick(*node, 403), NodeStatus::RUNNING);  // not paused: nothing to recover
  node->goal_value = 5.0f;
  EXPECT_EQ(Tick(*node, 5), NodeStatus::RUNNING);
  // The server's group is reentrant: the recovery goal is sent only once the pause goal is in.
  ASSERT_TRUE(server_->WaitForGoals(2, kPatience));
  // While the pause lasts, the node neither sends nor takes anything in.
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(node->feedbacks, 0);
  node->goal_value = 9.0f;
  EXPECT_EQ(Tick(*node, 403), NodeStatus::RUNNING);
  ASSERT_TRUE(server_->WaitForGoals(3, kPatience));
  EXPECT_EQ(server_->Goals()[1].value, 5.0f);
  EXPECT_EQ(server_->Goals()[2].value, 9.0f);

  Use(Command(401));
  ASSERT_TRUE(TickUntil(*node, [&node] { return node->feedbacks == 1; }));
  ASSERT_TRUE(server_->Finish(0, ResultCode::SUCCEEDED, Security::Result()));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::FAILURE);
  ASSERT_EQ(node->results.size(), 1u);
  EXPECT_EQ(node->results[0].goal_id, server_->GoalId(0));

  Follow(*node);
  node->accept_goal = false;
  EXPECT_EQ(Tick(*node, 5), NodeStatus::FAILURE);
  EXPECT_EQ(node->errors, std::vector<int32_t>{5});
  EXPECT_EQ(server_->Goals().size(), 4u);
  EXPECT_EQ(server_->CancelRequests(), 1u);
}

TEST_F(Ros2ActionNodeTest, RefusedGoalsAndHooksThatBreakTheirContract)
{
  // A goal the server refuses raises, and the next tick ends it.
  server_->SetGoalDecision(rclcpp_action::GoalResponse::REJECT);
  const auto node = MakeNode();
  EXPECT_EQ(Tick(*node, 401), NodeStatus::RUNNING);
  EXPECT_EQ(
    MessageOf<std::runtime_error>([&] { TickWhileRunning(*node); }),
    "Goal was rejected by the action server");
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(node->errors, std::vector<int32_t>{1});
  server_->SetGoalDecision(rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE);

  node->accept_goal = false;
  node->setStatus(NodeStatus::IDLE);
  EXPECT_EQ(Tick(*node, 401), NodeStatus::FAILURE);
  EXPECT_EQ(node->errors, (std::vector<int32_t>{1, 5}));
  node->error_verdict = NodeStatus::RUNNING;
  node->setStatus(NodeStatus::IDLE);
  EXPECT_EQ(
    MessageOf<std::logic_error>([&] { node->executeTick(); }),
    "Ros2ActionNode: the callback must return either SUCCESS of FAILURE");
  EXPECT_EQ(server_->Goals().size(), 1u);

  node->accept_goal = true;
  node->feedback_verdict = NodeStatus::IDLE;
  Follow(*node);
  ASSERT_TRUE(server_->PublishFeedback(1, Security::Feedback()));
  EXPECT_EQ(
    MessageOf<std::logic_error>([&] { TickWhileRunning(*node); }),
    "onFeedback must not return IDLE");
}

TEST_F(Ros2ActionNodeTest, FeedbackVerdictEndsTheGoalAndWinsOverAResult)
{
  const auto node = MakeNode();
  node->feedback_verdict = NodeStatus::SUCCESS;
  Follow(*node);
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::SUCCESS);
  EXPECT_TRUE(server_->WaitForCancelRequests(1, kPatience));

  // A result and a verdict taken in by one spin: the verdict, from feedback of the goal just
  // cancelled (still known to the client), decides the status; the result is handed over, and
  // the goal it ended needs no cancel.
  node->feedback_verdict = NodeStatus::FAILURE;
  Follow(*node);
  LetServerAnswer();
  ASSERT_TRUE(server_->Finish(1, ResultCode::SUCCEEDED, Security::Result()));
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(node->results.size(), 1u);
  EXPECT_EQ(server_->CancelRequests(), 1u);
  EXPECT_FALSE(node->cancelling);
}

TEST_F(Ros2ActionNodeTest, SleepsBetweenTicksUntilClientWorkTheResponseDueOrAnInterrupt)
{
  // A result that comes while the goal response, run by a sleep, is not yet taken still ends
  // the goal.
  const auto node = MakeNode();
  EXPECT_FALSE(node->followsRunningGoal());
  EXPECT_EQ(Tick(*node, 401), NodeStatus::RUNNING);
  EXPECT_TRUE(node->followsRunningGoal());
  ASSERT_TRUE(server_->Finish(0, ResultCode::SUCCEEDED, Security::Result()));
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (Lines("action get result back") == 0 && std::chrono::steady_clock::now() < deadline) {
    node->waitForWork(kPatience);
  }
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(node->results.size(), 1u);
  EXPECT_FALSE(node->followsRunningGoal());

  // With nothing to run, a sleep ends at an interrupt that came before it or during it, or
  // once the goal response is due.
  const auto slept = [](ScriptedNode & sleeper, std::chrono::nanoseconds cap) {
    const auto start = std::chrono::steady_clock::now();
    sleeper.waitForWork(cap);
    return std::chrono::steady_clock::now() - start;
  };
  Follow(*node);
  while (slept(*node, 20ms) < 20ms) {
  }
  node->interruptWait();
  EXPECT_LT(slept(*node, kPatience), kPatience);
  auto interrupter = std::async(std::launch::async, [&node] {
    std::this_thread::sleep_for(50ms);
    node->interruptWait();
  });
  EXPECT_LT(slept(*node, kPatience), kPatience);
  interrupter.get();

  const auto silent = MakeNode(kShortTimeout);
  server_->SetGoalAnswerDelay(kPatience);
  EXPECT_EQ(Tick(*silent, 401), NodeStatus::RUNNING);
  while (silent->executeTick() == NodeStatus::RUNNING) {
    EXPECT_LT(slept(*silent, kPatience), kPatience);
  }
  EXPECT_EQ(silent->errors, std::vector<int32_t>{1});
  server_->ReleaseHeldAnswers();
}

}  // namespace
