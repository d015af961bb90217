// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <behaviortree_cpp_v3/bt_factory.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "action_node_fixture.hpp"
#include "execute_engine/navigation_tree_node.hpp"
#include "execute_engine/ros2_action_node.hpp"
#include "execute_engine/security_tree_node.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"

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

const char kServer[] = "security_test";

// An action node whose hooks the test scripts and records, with its goal state in view.
class ScriptedNode : public execute_engine::Ros2ActionNode<Security>
{
public:
  using BT::TreeNode::setStatus;
  using Ros2ActionNode::action_client;
  using Ros2ActionNode::action_name_from_blackboard;
  using Ros2ActionNode::cancelling;
  using Ros2ActionNode::client_action_name;
  using Ros2ActionNode::goal_handle;
  using Ros2ActionNode::goal_in_flight;
  using Ros2ActionNode::is_paused;
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
    return result_verdict;
  }

  NodeStatus onFeedback(std::shared_ptr<const Feedback> /*feedback*/) override
  {
    ++feedbacks;
    if (during_feedback) {
      during_feedback();
    }
    return feedback_verdict;
  }

  NodeStatus onActionError(int32_t error_code) override
  {
    errors.push_back(error_code);
    return error_verdict;
  }

  float goal_value = 0.0f;
  bool accept_goal = true;
  NodeStatus result_verdict = NodeStatus::SUCCESS;
  NodeStatus feedback_verdict = NodeStatus::RUNNING;
  NodeStatus error_verdict = NodeStatus::FAILURE;
  std::function<void()> during_feedback;

  std::vector<WrappedResult> results;
  int feedbacks = 0;
  std::vector<int32_t> errors;
};

class Ros2ActionNodeTest : public action_node_test::ActionNodeTest
{
protected:
  void SetUp() override
  {
    ActionNodeTest::SetUp();
    server_ = std::make_unique<SimulatedSecurityServer>(*peers_, kServer);
  }

  void TearDown() override
  {
    server_.reset();
    ActionNodeTest::TearDown();
  }

  std::unique_ptr<ScriptedNode> MakeNode(std::chrono::milliseconds action_timeout = kPatience)
  {
    return std::make_unique<ScriptedNode>("scripted", Config(kServer), Params(action_timeout));
  }

  // Starts a goal from IDLE with command 401 and ticks until its goal response is taken.
  void StartFollowedGoal(ScriptedNode & node)
  {
    node.setStatus(NodeStatus::IDLE);
    Use(401);
    ASSERT_EQ(node.executeTick(), NodeStatus::RUNNING);
    ASSERT_TRUE(TickUntil(node, [&node] { return node.goal_in_flight; }));
  }

  std::unique_ptr<SimulatedSecurityServer> server_;
};

TEST_F(Ros2ActionNodeTest, ConstructionFindsItsServerOrLooksForItAgainAtEachTick)
{
  const auto present = MakeNode();
  EXPECT_TRUE(present->server_ready);
  EXPECT_EQ(present->client_action_name, kServer);
  EXPECT_EQ(Lines("create action[security_test] client and find server:true"), 1u);

  ScriptedNode absent("absent", Config("late_server"), Params(kShortTimeout));
  EXPECT_FALSE(absent.server_ready);
  EXPECT_EQ(
    RosLog::Count(
      RCUTILS_LOG_SEVERITY_ERROR,
      "absent: Action server with name 'late_server' is not reachable."),
    1u);
  EXPECT_EQ(Lines("create action[late_server] client and find server:false"), 1u);
  Use(401);
  EXPECT_EQ(absent.executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("ros2 action node client not ready"), 1u);

  SimulatedSecurityServer late(*peers_, "late_server");
  absent.setStatus(NodeStatus::IDLE);
  EXPECT_EQ(absent.executeTick(), NodeStatus::RUNNING);
  EXPECT_TRUE(absent.server_ready);
  EXPECT_TRUE(late.WaitForGoals(1, kPatience));
}

TEST_F(Ros2ActionNodeTest, ActionNameComesFromThePortTheBlackboardOrTheDefault)
{
  for (const auto & config :
       {Config(""), Config("__default__placeholder__"), BT::NodeConfiguration()}) {
    EXPECT_EQ(
      MessageOf<std::logic_error>([&] { ScriptedNode("unnamed", config, Params(kPatience)); }),
      "Both [action_name] in the InputPort and the RosNodeParams are empty.");
  }
  auto params = Params(kPatience);
  params.default_action_name = kServer;
  const ScriptedNode by_default("by_default", Config("__default__placeholder__"), params);
  EXPECT_EQ(by_default.client_action_name, kServer);
  EXPECT_TRUE(by_default.server_ready);

  auto config = Config("{server}");
  config.blackboard = BT::Blackboard::create();
  log_->Clear();
  ScriptedNode from_blackboard("from_blackboard", config, Params(kPatience));
  EXPECT_TRUE(from_blackboard.action_name_from_blackboard);
  EXPECT_FALSE(from_blackboard.action_client);
  EXPECT_TRUE(log_->Messages().empty());

  Use(401);
  EXPECT_EQ(
    MessageOf<BT::RuntimeError>([&] { from_blackboard.executeTick(); }), "action_name is empty");
  config.blackboard->set("server", std::string(kServer));
  EXPECT_EQ(from_blackboard.executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(from_blackboard.client_action_name, kServer);
  EXPECT_TRUE(server_->WaitForGoals(1, kPatience));

  // A changed entry is used from the next goal on, not by the goal under way.
  SimulatedSecurityServer other(*peers_, "security_other");
  config.blackboard->set("server", std::string("security_other"));
  EXPECT_EQ(from_blackboard.executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(from_blackboard.client_action_name, kServer);
  from_blackboard.halt();
  from_blackboard.setStatus(NodeStatus::IDLE);
  EXPECT_EQ(from_blackboard.executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(from_blackboard.client_action_name, "security_other");
  EXPECT_TRUE(other.WaitForGoals(1, kPatience));
}

TEST_F(Ros2ActionNodeTest, RegisteredTypesHaveOnlyTheActionNamePortAndBuildWithTheirParameters)
{
  BT::BehaviorTreeFactory factory;
  const auto params = Params(kPatience);
  execute_engine::RegisterRos2ActionNode<execute_engine::SecurityTreeNode>(
    factory, "SecurityNode", params);
  execute_engine::RegisterRos2ActionNode<execute_engine::NavigationTreeNode>(
    factory, "Navigation", params);
  for (const std::string id : {"SecurityNode", "Navigation"}) {
    const BT::TreeNodeManifest & manifest = factory.manifests().at(id);
    EXPECT_EQ(manifest.type, BT::NodeType::ACTION) << id;
    ASSERT_EQ(manifest.ports.size(), 1u) << id;
    const BT::PortInfo & port = manifest.ports.at("action_name");
    EXPECT_EQ(port.direction(), BT::PortDirection::INPUT) << id;
    ASSERT_NE(port.type(), nullptr) << id;
    EXPECT_EQ(*port.type(), typeid(std::string)) << id;
    EXPECT_EQ(port.defaultValue(), "__default__placeholder__") << id;
    EXPECT_EQ(port.description(), "Action server name") << id;
  }
  const BT::PortsList ports = ScriptedNode::basicActionPorts(
    {BT::InputPort<int>("action_name", "replaced?"), BT::InputPort<int>("extra")});
  EXPECT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports.at("action_name").description(), "Action server name");

  auto tree = factory.createTreeFromText(TreeXml("<SecurityNode action_name=\"security_test\"/>"));
  Use(401);
  EXPECT_EQ(tree.tickRoot(), NodeStatus::RUNNING);
  EXPECT_TRUE(server_->WaitForGoals(1, kPatience));
  // Without the port the node gets the placeholder, which names no server.
  EXPECT_EQ(
    MessageOf<std::logic_error>([&] { factory.createTreeFromText(TreeXml("<Navigation/>")); }),
    "Both [action_name] in the InputPort and the RosNodeParams are empty.");
}

TEST_F(Ros2ActionNodeTest, AcceptedGoalEndsWithTheResultHooksStatus)
{
  const auto node = MakeNode();
  node->goal_value = 0.25f;
  node->result_verdict = NodeStatus::FAILURE;
  Use(401);
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(Lines("request step into IDLE"), 1u);
  ASSERT_TRUE(server_->WaitForGoals(1, kPatience));
  EXPECT_EQ(server_->Goals()[0].value, 0.25f);
  ASSERT_TRUE(TickUntil(*node, [&node] { return node->goal_in_flight; }));
  EXPECT_EQ(
    RosLog::Count(RCUTILS_LOG_SEVERITY_INFO, "Goal accepted by server, waiting for result"), 1u);

  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  ASSERT_TRUE(TickUntil(*node, [&node] { return node->feedbacks == 1; }));
  EXPECT_EQ(node->status(), NodeStatus::RUNNING);

  Security::Result result;
  result.result = 7;
  ASSERT_TRUE(server_->Finish(0, ResultCode::ABORTED, result));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("action get result"), 1u);
  ASSERT_EQ(node->results.size(), 1u);
  EXPECT_EQ(node->results[0].code, ResultCode::ABORTED);
  EXPECT_EQ(node->results[0].goal_id, server_->GoalId(0));
  ASSERT_TRUE(node->results[0].result);
  EXPECT_EQ(node->results[0].result->result, 7);

  // Ticked again without being reset, the node answers RUNNING and sends nothing; having no
  // goal to follow, it ends at the tick after.
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("action has no goal to follow"), 1u);
  EXPECT_EQ(node->errors, std::vector<int32_t>{1});
  EXPECT_EQ(server_->Goals().size(), 1u);
}

TEST_F(Ros2ActionNodeTest, RefusedGoalRaisesAndTheNextTickEndsIt)
{
  server_->SetGoalDecision(rclcpp_action::GoalResponse::REJECT);
  const auto node = MakeNode();
  Use(401);
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(
    MessageOf<std::runtime_error>([&] { TickWhileRunning(*node); }),
    "Goal was rejected by the action server");
  EXPECT_EQ(RosLog::Count(RCUTILS_LOG_SEVERITY_ERROR, "Goal was rejected by server"), 1u);
  EXPECT_EQ(node->status(), NodeStatus::RUNNING);
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(node->errors, std::vector<int32_t>{1});
}

TEST_F(Ros2ActionNodeTest, OverdueGoalResponseAbandonsTheGoalAndItsLateResult)
{
  const auto node = MakeNode(kShortTimeout);
  server_->SetGoalAnswerDelay(kPatience);
  Use(401);
  const auto sent = std::chrono::steady_clock::now();
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::FAILURE);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, kShortTimeout);
  EXPECT_EQ(node->errors, std::vector<int32_t>{1});

  // The goal, accepted late, is not cancelled, and its result does not end the next goal.
  server_->SetGoalAnswerDelay(0ms);
  server_->ReleaseHeldAnswers();
  node->setStatus(NodeStatus::IDLE);
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  ASSERT_TRUE(TickUntil(*node, [&node] { return node->goal_in_flight; }));
  ASSERT_TRUE(server_->Finish(0, ResultCode::SUCCEEDED, Security::Result()));
  ASSERT_TRUE(TickUntil(*node, [this] { return Lines("action get result back") == 1; }));
  EXPECT_EQ(node->status(), NodeStatus::RUNNING);
  EXPECT_TRUE(node->results.empty());
  EXPECT_EQ(server_->CancelRequests(), 0u);

  ASSERT_TRUE(server_->Finish(1, ResultCode::SUCCEEDED, Security::Result()));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::SUCCESS);
  ASSERT_EQ(node->results.size(), 1u);
  EXPECT_EQ(node->results[0].goal_id, server_->GoalId(1));
}

TEST_F(Ros2ActionNodeTest, CancelCommandsEndTheGoalWithSuccess)
{
  const auto node = MakeNode(kShortTimeout);
  for (const int cancel_cmd : {4, 8}) {
    StartFollowedGoal(*node);
    Use(cancel_cmd);
    EXPECT_EQ(node->executeTick(), NodeStatus::SUCCESS) << cancel_cmd;
    EXPECT_EQ(
      log_->Messages(), (std::vector<std::string>{
                          "action step into cancel", "cancel action get response from halcyra",
                          "action cancel success"}))
      << cancel_cmd;
  }
  EXPECT_EQ(server_->CancelRequests(), 2u);

  // Before the goal response has been taken there is no goal to ask the server about.
  server_->SetGoalAnswerDelay(kPatience);
  node->setStatus(NodeStatus::IDLE);
  Use(401);
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  Use(4);
  EXPECT_EQ(node->executeTick(), NodeStatus::SUCCESS);
  EXPECT_EQ(Lines("cancel action get response from halcyra"), 0u);
  server_->SetGoalAnswerDelay(0ms);
  server_->ReleaseHeldAnswers();

  // A server that does not answer the cancel: the tick waits for the timeout, then succeeds.
  server_->SetCancelAnswerDelay(kPatience);
  StartFollowedGoal(*node);
  Use(4);
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(node->executeTick(), NodeStatus::SUCCESS);
  EXPECT_GE(std::chrono::steady_clock::now() - asked, kShortTimeout);
  EXPECT_EQ(
    RosLog::Count(RCUTILS_LOG_SEVERITY_ERROR, "Failed to cancel action server for [security_test]"),
    1u);
  EXPECT_EQ(Lines("action cancel success"), 1u);
  EXPECT_EQ(server_->CancelRequests(), 3u);
  EXPECT_EQ(node->errors, std::vector<int32_t>{});
}

TEST_F(Ros2ActionNodeTest, PauseAndRecoveryGoalsLeaveTheFirstGoalFollowed)
{
  const auto node = MakeNode();
  node->goal_value = 1.0f;
  StartFollowedGoal(*node);
  Use(403);  // not paused: an ordinary tick
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);

  node->goal_value = 5.0f;
  Use(5);
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(Lines("action step into pause, is_paused:true"), 1u);
  ASSERT_TRUE(server_->WaitForGoals(2, kPatience));
  EXPECT_EQ(server_->Goals()[1].value, 5.0f);

  // While the pause command lasts, the node neither sends nor takes anything in.
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  for (int tick = 0; tick < 5; ++tick) {
    EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  }
  EXPECT_EQ(node->feedbacks, 0);

  node->goal_value = 9.0f;
  Use(403);
  EXPECT_EQ(node->executeTick(), NodeStatus::RUNNING);
  EXPECT_EQ(Lines("action step into recovery, is_paused:false"), 1u);
  ASSERT_TRUE(server_->WaitForGoals(3, kPatience));
  EXPECT_EQ(server_->Goals()[2].value, 9.0f);
  EXPECT_FALSE(node->is_paused);

  // Following again, the node takes in what waited, then the first goal's result.
  Use(401);
  ASSERT_TRUE(TickUntil(*node, [&node] { return node->feedbacks == 1; }));
  ASSERT_TRUE(server_->Finish(0, ResultCode::SUCCEEDED, Security::Result()));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::SUCCESS);
  ASSERT_EQ(node->results.size(), 1u);
  EXPECT_EQ(node->results[0].goal_id, server_->GoalId(0));
  EXPECT_EQ(server_->Goals().size(), 3u);

  // A pause goal that fillGoal refuses ends the goal.
  StartFollowedGoal(*node);
  node->accept_goal = false;
  Use(5);
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(node->errors, std::vector<int32_t>{5});
  EXPECT_EQ(server_->Goals().size(), 4u);
}

TEST_F(Ros2ActionNodeTest, HooksThatRefuseOrBreakTheirContract)
{
  const auto node = MakeNode();
  node->accept_goal = false;
  Use(401);
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("request step into IDLE"), 1u);
  EXPECT_EQ(node->errors, std::vector<int32_t>{5});

  node->error_verdict = NodeStatus::RUNNING;
  node->setStatus(NodeStatus::IDLE);
  EXPECT_EQ(
    MessageOf<std::logic_error>([&] { node->executeTick(); }),
    "Ros2ActionNode: the callback must return either SUCCESS of FAILURE");
  EXPECT_TRUE(server_->Goals().empty());

  node->accept_goal = true;
  node->feedback_verdict = NodeStatus::IDLE;
  StartFollowedGoal(*node);
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  EXPECT_EQ(
    MessageOf<std::logic_error>([&] { TickWhileRunning(*node); }),
    "onFeedback must not return IDLE");
}

TEST_F(Ros2ActionNodeTest, FeedbackThatEndsTheGoalCancelsIt)
{
  const auto node = MakeNode();
  node->feedback_verdict = NodeStatus::SUCCESS;
  StartFollowedGoal(*node);
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  EXPECT_EQ(TickWhileRunning(*node), NodeStatus::SUCCESS);
  EXPECT_EQ(Lines("action get on feedback_state_change"), 1u);
  EXPECT_TRUE(server_->WaitForCancelRequests(1, kPatience));

  // The verdict wins over a result taken in by the same spin, and the goal that result ended
  // needs no cancel. The verdict comes from feedback for the goal just cancelled, which its
  // server still runs: the client delivers it, as it delivers any feedback of a goal it knows.
  node->feedback_verdict = NodeStatus::FAILURE;
  StartFollowedGoal(*node);
  LetServerAnswer();
  ASSERT_TRUE(server_->Finish(1, ResultCode::SUCCEEDED, Security::Result()));
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  EXPECT_EQ(node->executeTick(), NodeStatus::FAILURE);
  EXPECT_EQ(Lines("action get result back"), 1u);
  EXPECT_EQ(Lines("action goal already finished, no cancel sent"), 1u);
  EXPECT_TRUE(node->results.empty());
  EXPECT_EQ(server_->CancelRequests(), 1u);
  EXPECT_FALSE(node->cancelling);
}

TEST_F(Ros2ActionNodeTest, HaltCancelsOnlyARunningGoal)
{
  const auto node = MakeNode();
  node->halt();
  StartFollowedGoal(*node);
  node->setStatus(NodeStatus::SUCCESS);
  node->halt();
  EXPECT_TRUE(node->goal_handle);

  node->setStatus(NodeStatus::RUNNING);
  node->halt();
  EXPECT_TRUE(server_->WaitForCancelRequests(1, kPatience));
  EXPECT_FALSE(node->goal_handle);
  EXPECT_EQ(node->status(), NodeStatus::RUNNING);
  EXPECT_EQ(server_->CancelRequests(), 1u);
}

TEST_F(Ros2ActionNodeTest, CancelGoalIsNotEnteredTwice)
{
  const auto node = MakeNode();
  node->during_feedback = [&node] { node->cancelGoal(); };
  StartFollowedGoal(*node);
  // The feedback waits in the client until the cancel's wait for its answer runs it.
  server_->SetCancelAnswerDelay(100ms);
  ASSERT_TRUE(server_->PublishFeedback(0, Security::Feedback()));
  Use(4);
  EXPECT_EQ(node->executeTick(), NodeStatus::SUCCESS);
  EXPECT_EQ(node->feedbacks, 1);
  EXPECT_EQ(Lines("already step int cancel goal"), 1u);
  EXPECT_EQ(Lines("cancel action get response from halcyra"), 1u);
  EXPECT_EQ(server_->CancelRequests(), 1u);

  node->cancelGoal();  // no goal: nothing sent
  EXPECT_FALSE(node->cancelling);
  EXPECT_EQ(server_->CancelRequests(), 1u);
}

}  // namespace
