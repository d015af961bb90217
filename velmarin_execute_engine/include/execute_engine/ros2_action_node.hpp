// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__ROS2_ACTION_NODE_HPP_
#define EXECUTE_ENGINE__ROS2_ACTION_NODE_HPP_

#include <behaviortree_cpp_v3/action_node.h>
#include <behaviortree_cpp_v3/bt_factory.h>
#include <behaviortree_cpp_v3/exceptions.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common_util/log_holder.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine/left_goals.hpp"
#include "execute_engine/server_watch.hpp"
#include "rcl_action/action_client.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "rcutils/error_handling.h"

namespace execute_engine
{

// What an action node is built with.
struct Ros2Params
{
  // Node on which the action client and its callback group are made. Must not be null.
  std::shared_ptr<rclcpp::Node> node;
  // Action server name used when the node's "action_name" port gives none.
  std::string default_action_name;
  // Bound of the wait for the action server, for a goal response and for a cancel response.
  std::chrono::milliseconds action_timeout{1000};
};

// What the engine's ticking thread sleeps on between two ticks of a goal, and spins for between
// requests: an action node's client. The engine finds it among the tree's nodes.
class GoalWaiter
{
public:
  // Whether the node is RUNNING and follows a goal: its client's work, or its goal response
  // falling due, is then what the next tick is for.
  virtual bool followsRunningGoal() const = 0;

  // Whether the node holds goals it has let go of that the server may still run (late
  // acceptances to cancel, results to hand over): only spins of its client settle them.
  virtual bool watchesLeftGoals() const = 0;

  // Runs one piece of the client's work, waiting for it up to `cap`, or only until the goal
  // response falls due when that is sooner, then settles what it brought in; returns early,
  // without running anything, once interruptWait is called. True when it returned before its
  // wait was up. On the thread that ticks the tree, between two ticks; raises what the client's
  // callbacks raise.
  virtual bool waitForWork(std::chrono::nanoseconds cap) = 0;

  // Ends a waitForWork under way, or makes the next one of this node return at once. Safe from
  // any thread while the node's client is not being replaced.
  virtual void interruptWait() = 0;

protected:
  ~GoalWaiter() = default;
};

// A behaviour-tree leaf that drives one goal of the action ActionT at a time.
//
// At a tick that finds it IDLE it asks fillGoal for a goal and sends it; later ticks follow the
// goal (goal response, feedback, result) and return RUNNING until onResultReceived, onFeedback
// or onActionError decide the outcome. While a goal runs, the engine's current command steers
// it: 4 and 8 cancel it (SUCCESS), 5 sends a pause goal and 403 then a recovery goal, both built
// by fillGoal and not followed themselves; a paused goal is still followed.
//
// Every goal started at IDLE gets exactly one outcome: its result, handed to onResultReceived
// (also when it comes while the goal is being cancelled or halted, or after the node let go of
// it), or else onGoalLost.
//
// What the node believes about a goal is what the server holds:
// - the result is asked for only once the server has shown that it holds the goal (its goal
//   status lists it, or a feedback came): a server may answer a goal before it registers it,
//   and answers a result request that comes in between with an empty result of status
//   UNKNOWN. A result of status UNKNOWN is never taken as the goal's: the server no longer
//   holds the goal, which is lost (onActionError(kGoalUnknown));
// - a cancel the server refuses is logged at error level and leaves the goal followed (the
//   same cancel request is not sent again at later ticks); a cancel answered "goal terminated"
//   leaves it followed until its result is in; a goal the server still does not know after
//   the cancel was asked again for `action_timeout` is lost;
// - a server that has left the graph while a goal is followed (paused too) is noticed at the
//   first tick at least ServerWatch::kPresencePeriod after the last look, and at once by a
//   cancel: the goal is lost (onActionError(kServerUnreachable)), nothing more is sent to that
//   server, and the next goal start waits for the server again;
// - a cancel (4, 8, halt, a feedback verdict) that comes before the goal response waits for it
//   until the response is due (`action_timeout` after sending), and cancels the goal as soon as
//   it is accepted;
// - a goal whose response did not come in time (or when such a cancel stopped waiting) is
//   abandoned: it is cancelled at the first spin of this node that sees its acceptance, for
//   acceptances up to LeftGoals::kAcceptanceWatch (60 s) after it was given up. This node spins
//   for them at every tick, in halt, cancelGoal and waitForWork (which the engine calls between
//   requests while watchesLeftGoals); its destruction and the replacement of its client wait
//   up to `action_timeout` for acceptances still due, and forget the rest;
// - a goal let go of by halt or a feedback verdict while its server refuses to cancel it is
//   followed to its result in the same spins, and its outcome handed over then.
//
// The client's callbacks run in a callback group of their own that only `private_executor`
// serves, and that executor is spun only inside this node's own calls: everything here but
// interruptWait runs on the thread that ticks the tree, without locks. A tick waits only for
// the action server while it has not been found, for a cancel or the goal response it needs
// (see above), and, when awaitsGoalResponse, for the response of the goal it sends; each up to
// `action_timeout`. Between ticks, waitForWork may run the client's callbacks (also while the
// goal is paused) and ask for the result; what they bring in is taken by the next tick that
// follows the goal.
template <class ActionT>
class Ros2ActionNode : public BT::ActionNodeBase, public GoalWaiter
{
public:
  using ActionType = ActionT;
  using Goal = typename ActionT::Goal;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = rclcpp_action::ClientGoalHandle<ActionT>;
  using WrappedResult = typename GoalHandle::WrappedResult;

  // Error codes handed to onActionError.
  // The goal response did not come within `action_timeout`, or a RUNNING tick found no goal
  // to follow (the goal ended or was refused by the server and the tree did not reset the node).
  static constexpr int32_t kGoalResponseTimeout = 1;
  // The action server was not found at a tick, or left the graph while a goal was followed.
  static constexpr int32_t kServerUnreachable = 2;
  // The server answered the result request as for a goal it does not hold.
  static constexpr int32_t kGoalUnknown = 3;
  // fillGoal refused the goal.
  static constexpr int32_t kGoalRefused = 5;

  // Makes the client for the action named by the "action_name" port, or by
  // `params.default_action_name` when the port is absent, empty or the placeholder, and waits
  // up to `params.action_timeout` for its server (a server not found is looked for again at
  // each tick). A port naming a blackboard entry makes no client: tick makes it from the
  // entry. Throws std::logic_error when neither names an action.
  Ros2ActionNode(
    const std::string & name, const BT::NodeConfiguration & config, const Ros2Params & params);

  // Waits up to `action_timeout` for the acceptance of abandoned goals still due, to cancel
  // them. A goal still followed is cancelled only by halt (the tree halts its nodes).
  ~Ros2ActionNode() override;

  // When RUNNING: cancels the goal (a pending one as soon as it is accepted, see the class
  // comment) and waits up to `action_timeout` for the answer, hands its outcome over (a goal
  // the server kept, once it ends) and clears the goal state.
  void halt() override;

  // Starts, steers or follows the goal (see the class comment). Returns RUNNING without
  // sending anything when the tree ticks it again after SUCCESS or FAILURE. Raises
  // BT::RuntimeError when the name read from the blackboard is empty, std::runtime_error
  // "Goal was rejected by the action server" when the server refuses the goal, and what the
  // hooks raise or std::logic_error for a hook that breaks its contract.
  BT::NodeStatus tick() override;

  // Fills `goal`, freshly constructed, from the engine's current request: for the goal sent at
  // IDLE (the node's status is already RUNNING then) and for the pause and recovery goals.
  // False refuses the goal; the tick then returns onActionError(kGoalRefused).
  virtual bool fillGoal(Goal & goal) = 0;

  // The result of the goal sent at IDLE, whatever its result code but UNKNOWN, after the goal
  // state was cleared. Returns SUCCESS or FAILURE, which the tick returns (a cancel's tick and
  // halt return their own, and a goal let go of returns to no tick).
  virtual BT::NodeStatus onResultReceived(const WrappedResult & result) = 0;

  // Every feedback delivered for a goal sent at IDLE. RUNNING lets the goal go on; SUCCESS or
  // FAILURE ends it at the tick's next check (goal cancelled, that status returned). IDLE is
  // refused with std::logic_error.
  virtual BT::NodeStatus onFeedback(std::shared_ptr<const Feedback> /*feedback*/)
  {
    return BT::NodeStatus::RUNNING;
  }

  // Decides the status after an error (the codes above). Must return SUCCESS or FAILURE.
  virtual BT::NodeStatus onActionError(int32_t /*error_code*/) { return BT::NodeStatus::FAILURE; }

  // Called once for a goal start (an IDLE tick, for command `cmd`) whose goal ends without its
  // result reaching onResultReceived: not sent (server not found, fillGoal refused), refused,
  // not answered in time or not held by the server, its server gone, or ended by a cancel, a
  // halt or a feedback verdict.
  virtual void onGoalLost(int32_t /*cmd*/) {}

  // Whether the tick that sends a goal waits for its goal response, up to `action_timeout`, so
  // that its own status already tells acceptance (RUNNING), refusal (raised) or silence
  // (onActionError(kGoalResponseTimeout)).
  virtual bool awaitsGoalResponse() const { return false; }

  // Makes a new callback group and client for `action_name` and waits up to `action_timeout`
  // for the server; returns whether it was found. The earlier client and group are replaced
  // only once the new ones exist, after the earlier client's abandoned goals were settled.
  // Throws BT::RuntimeError "action_name is empty" for an empty name, and what making the
  // client raises (an invalid name), leaving the node as it was.
  bool createClient(const std::string & action_name);

  // Asks the server to cancel the goal sent at IDLE and waits up to `action_timeout` for its
  // answer (a missing answer is only logged), asking again while the server answers that it
  // does not know the goal yet, then lets the goal go; the goal stays followed (`goal_handle`
  // kept) when the server refused the cancel or the goal had already ended there. A goal whose
  // response has not come is first waited for until its response is due (see the class
  // comment). Without a goal, once ROS is shut down or when the server has left the graph, it
  // sends nothing. A call made while another one runs (from a callback of its wait) returns at
  // once.
  void cancelGoal();

  bool followsRunningGoal() const override;
  bool watchesLeftGoals() const override;
  bool waitForWork(std::chrono::nanoseconds cap) override;
  void interruptWait() override;

  static BT::PortsList providedPorts() { return basicActionPorts({}); }

  // The "action_name" input port plus `addition`; an addition of the same name is ignored.
  static BT::PortsList basicActionPorts(BT::PortsList addition);

protected:
  // Forgets the goal (without cancelling it on the server) and sets the node IDLE.
  void clearGoalState();

  // Whether a goal is waiting for its goal response or accepted and followed.
  bool followsGoal() const { return pending_goal_handle.valid() || goal_handle; }

  std::shared_ptr<rclcpp::Node> node;
  std::string client_action_name;
  bool action_name_from_blackboard = false;
  std::chrono::milliseconds action_timeout;
  typename rclcpp_action::Client<ActionT>::SharedPtr action_client;
  rclcpp::CallbackGroup::SharedPtr callback_group;
  rclcpp::executors::SingleThreadedExecutor private_executor;
  std::shared_future<typename GoalHandle::SharedPtr> pending_goal_handle;
  typename GoalHandle::SharedPtr goal_handle;
  rclcpp::Time goal_sent_time{0, 0u, RCL_SYSTEM_TIME};
  // Both hold what a goal start gives them, so they are defined before the first goal.
  BT::NodeStatus feedback_status = BT::NodeStatus::RUNNING;
  bool goal_in_flight = false;
  WrappedResult wrapped_result{};
  bool has_result = false;
  // The server answered the result request with status UNKNOWN.
  bool goal_unknown = false;
  bool feedback_seen = false;
  bool result_asked = false;
  bool server_ready = false;
  bool is_paused = false;
  std::atomic<bool> cancelling{false};
  // The goal started at IDLE has not had its outcome handed over yet; `goal_cmd` started it.
  bool outcome_due = false;
  int32_t goal_cmd = 0;
  // The cancel request that left the followed goal followed (the server refused it, or the
  // goal had ended there): it is not sent again. Held, so that no later request takes its
  // address.
  std::shared_ptr<const ExecuteEngine::Request> answered_cancel;
  // What the server shows of itself to `action_client`.
  std::unique_ptr<ServerWatch<ActionT>> server_watch;
  // Goals of `action_client` let go of while the server may still run them.
  LeftGoals<ActionT> left_goals;

private:
  static constexpr const char * kActionNamePort = "action_name";
  static constexpr const char * kActionNamePlaceholder = "__default__placeholder__";
  static constexpr int32_t kCancelCmd = 4;
  static constexpr int32_t kOtherCancelCmd = 8;
  static constexpr int32_t kPauseCmd = 5;
  static constexpr int32_t kRecoveryCmd = 403;
  static constexpr std::chrono::milliseconds kCancelRetryPause{10};

  using CancelResponse = typename rclcpp_action::Client<ActionT>::CancelResponse;

  // Clears `cancelling` when the cancelGoal call that set it returns or raises.
  class CancellingReset
  {
  public:
    explicit CancellingReset(std::atomic<bool> & flag) : flag_(flag) {}
    ~CancellingReset() { flag_.store(false); }
    CancellingReset(const CancellingReset &) = delete;
    CancellingReset & operator=(const CancellingReset &) = delete;

  private:
    std::atomic<bool> & flag_;
  };

  static int32_t currentCommand() { return g_execute_engine->GetRequestPtr()->command.cmd; }

  // Resets the goal state, asks fillGoal for a goal for `cmd` and sends it with the three
  // callbacks.
  BT::NodeStatus startGoal(int32_t cmd);

  // Sends the pause (command 5) or recovery goal.
  BT::NodeStatus steerGoal(int32_t cmd);

  // Takes in the goal response, feedback and result of the goal sent at IDLE.
  BT::NodeStatus followGoal();

  // Asks for the followed goal's result once the server has shown that it holds the goal.
  void askForResultOnceShown();

  // Asks for the followed goal's result, unless that was done.
  void askForResult();

  // How long until the goal response is overdue (negative once it is), on the node's clock.
  std::chrono::nanoseconds goalResponseDueIn() const;

  // Waits for a cancel's answer until `deadline`, looking meanwhile whether the server left
  // the graph; its return code, or none when no answer came.
  std::optional<int8_t> awaitCancelAnswer(
    const std::shared_future<typename CancelResponse::SharedPtr> & answer,
    std::chrono::steady_clock::time_point deadline);

  // Cancels the goal; hands its outcome over (the result, if it came meanwhile, else
  // onGoalLost), or lets go of a goal the server kept, following it to its outcome; clears the
  // goal state.
  void endGoal();

  // The followed goal's outcome: its result if it came, else onGoalLost; clears the goal state.
  void handOverOutcome();

  // The server left the graph: the goal and every goal let go of are lost.
  BT::NodeStatus loseServer();

  // The server left the graph: the goals let go of are lost, and the next goal start waits
  // for the server.
  void forgetServer();

  // onGoalLost, unless the outcome was handed over already.
  void reportGoalLost();

  // Moves the pending goal response to the abandoned goals.
  void abandonPendingGoal();

  // Runs what the client has ready and settles the goals let go of.
  void pollLeftGoals();

  // Waits up to `timeout` for the abandoned goals' responses, cancels the accepted ones and
  // forgets every goal let go of.
  void settleAbandonedGoals(std::chrono::nanoseconds timeout);

  // SUCCESS or FAILURE unchanged; anything else raises std::logic_error.
  static BT::NodeStatus validateResultStatus(BT::NodeStatus status);
};

template <class ActionT>
Ros2ActionNode<ActionT>::Ros2ActionNode(
  const std::string & name, const BT::NodeConfiguration & config, const Ros2Params & params)
: BT::ActionNodeBase(name, config), node(params.node), action_timeout(params.action_timeout)
{
  const auto port = config.input_ports.find(kActionNamePort);
  const std::string action_name = port == config.input_ports.end() ? "" : port->second;
  if (action_name.empty() || action_name == kActionNamePlaceholder) {
    if (params.default_action_name.empty()) {
      throw std::logic_error(
        "Both [action_name] in the InputPort and the RosNodeParams are empty.");
    }
    createClient(params.default_action_name);
  } else if (isBlackboardPointer(action_name)) {
    action_name_from_blackboard = true;
  } else {
    createClient(action_name);
  }
}

template <class ActionT>
Ros2ActionNode<ActionT>::~Ros2ActionNode()
{
  if (left_goals.empty() || !rclcpp::ok()) {
    return;
  }
  try {
    settleAbandonedGoals(action_timeout);
  } catch (const std::exception & error) {
    EE_LOG_ERROR("action abandoned goals not settled: {}", error.what());
  }
}

template <class ActionT>
bool Ros2ActionNode<ActionT>::createClient(const std::string & action_name)
{
  if (action_name.empty()) {
    throw BT::RuntimeError("action_name is empty");
  }
  EE_LOG_DEBUG("create action[{}] client", action_name);
  // Not added with the node: the node's own executor may be spinning on other threads, and
  // the client's callbacks must run only in this node's spins.
  const auto group =
    node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  const auto client = rclcpp_action::create_client<ActionT>(
    node, action_name, group, rcl_action_client_get_default_options());
  auto watch = std::make_unique<ServerWatch<ActionT>>(node, action_name, group);
  if (action_client) {
    // They can be cancelled only through the client that sent them.
    settleAbandonedGoals(action_timeout);
  }
  // The old group leaves first: an executor keeps waiting on the guard condition of a group
  // removed while another group of its node is still in it, and fails once that group is gone.
  if (callback_group) {
    private_executor.remove_callback_group(callback_group);
  }
  private_executor.add_callback_group(group, node->get_node_base_interface(), true);
  callback_group = group;
  action_client = client;
  server_watch = std::move(watch);
  client_action_name = action_name;
  const bool found = action_client->wait_for_action_server(action_timeout);
  if (!rclcpp::ok()) {
    // A wait cut short by ROS going down (an interrupt) says nothing about the server, and it
    // leaves its last check's rcl error set, which the next failing rcl call would dump.
    rcutils_reset_error();
  } else if (!found) {
    RCLCPP_ERROR(
      node->get_logger(), "%s: Action server with name '%s' is not reachable.", name().c_str(),
      client_action_name.c_str());
  }
  EE_LOG_DEBUG("create action[{}] client and find server:{}", action_name, found);
  server_ready = found;
  return found;
}

template <class ActionT>
BT::PortsList Ros2ActionNode<ActionT>::basicActionPorts(BT::PortsList addition)
{
  BT::PortsList ports = {
    BT::InputPort<std::string>(kActionNamePort, kActionNamePlaceholder, "Action server name")};
  ports.insert(addition.begin(), addition.end());
  return ports;
}

template <class ActionT>
void Ros2ActionNode<ActionT>::halt()
{
  if (status() == BT::NodeStatus::RUNNING) {
    endGoal();
  }
}

template <class ActionT>
BT::NodeStatus Ros2ActionNode<ActionT>::tick()
{
  // A node set IDLE without a halt would otherwise leave its goal running, or lose it to a
  // new client.
  if (status() == BT::NodeStatus::IDLE && followsGoal()) {
    endGoal();
  }
  if (!action_client || (status() == BT::NodeStatus::IDLE && action_name_from_blackboard)) {
    // A failed read leaves the name empty, which createClient refuses.
    std::string action_name;
    static_cast<void>(getInput(kActionNamePort, action_name));
    if (!action_client || action_name != client_action_name) {
      createClient(action_name);
    }
  }
  if (!server_ready && action_client) {
    if (!action_client->wait_for_action_server(action_timeout)) {
      EE_LOG_ERROR("ros2 action node client not ready");
      if (status() == BT::NodeStatus::IDLE) {
        onGoalLost(currentCommand());
      }
      return validateResultStatus(onActionError(kServerUnreachable));
    }
    server_ready = true;
  }

  pollLeftGoals();

  if (status() == BT::NodeStatus::IDLE) {
    EE_LOG_DEBUG("request step into IDLE");
    return startGoal(currentCommand());
  }
  if (status() != BT::NodeStatus::RUNNING) {
    setStatus(BT::NodeStatus::RUNNING);
    return BT::NodeStatus::RUNNING;
  }

  if (followsGoal() && server_watch->hasLeft(*action_client)) {
    return loseServer();
  }
  const ExecuteEngine::Request * request = g_execute_engine->GetRequestPtr();
  const int32_t cmd = request->command.cmd;
  if ((cmd == kCancelCmd || cmd == kOtherCancelCmd) && request != answered_cancel.get()) {
    EE_LOG_DEBUG("action step into cancel");
    cancelGoal();
    if (goal_handle) {
      answered_cancel = g_execute_engine->GetRequest();
      return followGoal();
    }
    handOverOutcome();
    EE_LOG_DEBUG("action cancel success");
    return BT::NodeStatus::SUCCESS;
  }
  if (cmd == kPauseCmd && is_paused) {
    return followGoal();
  }
  if (cmd == kPauseCmd || (cmd == kRecoveryCmd && is_paused)) {
    return steerGoal(cmd);
  }
  return followGoal();
}

template <class ActionT>
BT::NodeStatus Ros2ActionNode<ActionT>::startGoal(int32_t cmd)
{
  // fillGoal may look at the status, and sees the goal under way.
  setStatus(BT::NodeStatus::RUNNING);
  goal_in_flight = false;
  has_result = false;
  goal_unknown = false;
  is_paused = false;
  pending_goal_handle = {};
  goal_handle.reset();
  feedback_status = BT::NodeStatus::RUNNING;
  wrapped_result = WrappedResult{};
  feedback_seen = false;
  result_asked = false;
  answered_cancel.reset();
  outcome_due = true;
  goal_cmd = cmd;

  Goal goal;
  if (!fillGoal(goal)) {
    reportGoalLost();
    return validateResultStatus(onActionError(kGoalRefused));
  }

  typename rclcpp_action::Client<ActionT>::SendGoalOptions options;
  options.goal_response_callback = [this](typename GoalHandle::SharedPtr handle) {
    // The handle itself reaches the node through pending_goal_handle.
    if (handle) {
      RCLCPP_INFO(node->get_logger(), "Goal accepted by server, waiting for result");
    } else {
      RCLCPP_ERROR(node->get_logger(), "Goal was rejected by server");
    }
  };
  options.feedback_callback =
    [this](typename GoalHandle::SharedPtr, const std::shared_ptr<const Feedback> feedback) {
      const BT::NodeStatus judged = onFeedback(feedback);
      if (judged == BT::NodeStatus::IDLE) {
        throw std::logic_error("onFeedback must not return IDLE");
      }
      feedback_status = judged;
      feedback_seen = true;
      emitStateChanged();
    };
  pending_goal_handle = action_client->async_send_goal(goal, options);
  goal_sent_time = node->now();
  if (awaitsGoalResponse() && !private_executor.is_spinning()) {
    // A little past the limit, so that a response that did not come is found overdue.
    private_executor.spin_until_future_complete(
      pending_goal_handle, action_timeout + std::chrono::milliseconds(1));
    return followGoal();
  }
  return BT::NodeStatus::RUNNING;
}

template <class ActionT>
BT::NodeStatus Ros2ActionNode<ActionT>::steerGoal(int32_t cmd)
{
  if (!action_client) {
    return BT::NodeStatus::RUNNING;
  }
  Goal goal;
  if (!fillGoal(goal)) {
    endGoal();
    return validateResultStatus(onActionError(kGoalRefused));
  }
  // Neither goal is followed: the goal sent at IDLE stays the one whose result counts.
  if (cmd == kPauseCmd) {
    EE_LOG_DEBUG("action step into async_send pause goal");
    action_client->async_send_goal(goal);
    is_paused = true;
    EE_LOG_DEBUG("action step into pause, is_paused:{}", is_paused);
  } else {
    EE_LOG_DEBUG("action step into async_send recovery goal");
    action_client->async_send_goal(goal);
    is_paused = false;
    EE_LOG_DEBUG("action step into recovery, is_paused:{}", is_paused);
  }
  return BT::NodeStatus::RUNNING;
}

template <class ActionT>
BT::NodeStatus Ros2ActionNode<ActionT>::followGoal()
{
  // Without this the node would stay RUNNING for good, or wait on an empty future.
  if (!followsGoal()) {
    EE_LOG_ERROR("action has no goal to follow");
    clearGoalState();
    return validateResultStatus(onActionError(kGoalResponseTimeout));
  }

  if (!private_executor.is_spinning()) {
    private_executor.spin_some(std::chrono::nanoseconds(0));
  }
  if (!goal_in_flight && !private_executor.is_spinning()) {
    const auto response_check = private_executor.spin_until_future_complete(
      pending_goal_handle, std::chrono::milliseconds(0));
    if (response_check != rclcpp::FutureReturnCode::SUCCESS) {
      if (goalResponseDueIn() < std::chrono::nanoseconds(0)) {
        abandonPendingGoal();
        reportGoalLost();
        clearGoalState();
        return validateResultStatus(onActionError(kGoalResponseTimeout));
      }
      return BT::NodeStatus::RUNNING;
    }
    goal_in_flight = true;
    goal_handle = pending_goal_handle.get();
    pending_goal_handle = {};
    if (!goal_handle) {
      reportGoalLost();
      throw std::runtime_error("Goal was rejected by the action server");
    }
  }

  askForResultOnceShown();

  // A feedback that ended the goal wins over a result that came in the same spin.
  if (feedback_status != BT::NodeStatus::RUNNING) {
    EE_LOG_DEBUG("action get on feedback_state_change");
    setStatus(BT::NodeStatus::IDLE);
    endGoal();
    return feedback_status;
  }
  if (goal_unknown) {
    EE_LOG_ERROR("action goal unknown to server [{}], lost", client_action_name);
    reportGoalLost();
    clearGoalState();
    return validateResultStatus(onActionError(kGoalUnknown));
  }
  if (has_result) {
    EE_LOG_DEBUG("action get result");
    outcome_due = false;
    clearGoalState();
    return onResultReceived(wrapped_result);
  }
  setStatus(BT::NodeStatus::RUNNING);
  return BT::NodeStatus::RUNNING;
}

template <class ActionT>
void Ros2ActionNode<ActionT>::askForResultOnceShown()
{
  if (goal_handle && (feedback_seen || server_watch->holds(goal_handle->get_goal_id()))) {
    askForResult();
  }
}

template <class ActionT>
void Ros2ActionNode<ActionT>::askForResult()
{
  if (!goal_handle || result_asked) {
    return;
  }
  result_asked = true;
  try {
    action_client->async_get_result(goal_handle, [this](const WrappedResult & result) {
      EE_LOG_DEBUG("action get result back");
      // Results of goals this node no longer follows are dropped.
      if (goal_handle && goal_handle->get_goal_id() == result.goal_id) {
        if (result.code == rclcpp_action::ResultCode::UNKNOWN) {
          goal_unknown = true;
        } else {
          wrapped_result = result;
          has_result = true;
        }
      }
      emitStateChanged();
    });
  } catch (const rclcpp_action::exceptions::UnknownGoalHandleError &) {
    EE_LOG_DEBUG("action goal unknown to the client, its result not asked for");
  }
}

template <class ActionT>
bool Ros2ActionNode<ActionT>::followsRunningGoal() const
{
  return status() == BT::NodeStatus::RUNNING && followsGoal();
}

template <class ActionT>
bool Ros2ActionNode<ActionT>::watchesLeftGoals() const
{
  return !left_goals.empty();
}

template <class ActionT>
bool Ros2ActionNode<ActionT>::waitForWork(std::chrono::nanoseconds cap)
{
  const auto start = std::chrono::steady_clock::now();
  auto timeout = cap;
  if (!goal_in_flight && pending_goal_handle.valid()) {
    // Just past the limit, so that the next tick finds the response overdue.
    timeout = std::clamp(
      goalResponseDueIn() + std::chrono::milliseconds(1), std::chrono::nanoseconds(0), cap);
  }
  if (!private_executor.is_spinning()) {
    private_executor.spin_once(timeout);
  }
  const bool early = std::chrono::steady_clock::now() - start < timeout;
  askForResultOnceShown();
  if (!left_goals.empty()) {
    left_goals.settle(*action_client);
    // A followed goal's tick looks itself.
    if (!followsGoal() && server_watch->hasLeft(*action_client)) {
      forgetServer();
    }
  }
  return early;
}

template <class ActionT>
void Ros2ActionNode<ActionT>::interruptWait()
{
  // Not the executor's cancel: work it has taken but not yet run would be dropped.
  callback_group->trigger_notify_guard_condition();
}

template <class ActionT>
std::chrono::nanoseconds Ros2ActionNode<ActionT>::goalResponseDueIn() const
{
  return std::chrono::nanoseconds(action_timeout) -
         std::chrono::nanoseconds((node->now() - goal_sent_time).nanoseconds());
}

template <class ActionT>
void Ros2ActionNode<ActionT>::cancelGoal()
{
  if (cancelling.exchange(true)) {
    EE_LOG_DEBUG("already step int cancel goal");
    return;
  }
  const CancellingReset reset(cancelling);
  pollLeftGoals();
  private_executor.cancel();
  if (!rclcpp::ok()) {
    // Once ROS is down nothing reaches the server.
    abandonPendingGoal();
    goal_handle.reset();
    return;
  }
  if (followsGoal() && server_watch->hasLeft(*action_client, true)) {
    forgetServer();
    pending_goal_handle = {};
    goal_handle.reset();
    return;
  }
  if (!goal_handle && pending_goal_handle.valid()) {
    // The server can only be told about a goal it has accepted.
    if (!private_executor.is_spinning()) {
      const auto due = goalResponseDueIn();
      if (due > std::chrono::nanoseconds(0)) {
        private_executor.spin_until_future_complete(pending_goal_handle, due);
      }
    }
    if (pending_goal_handle.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      goal_handle = pending_goal_handle.get();
      goal_in_flight = true;
      pending_goal_handle = {};
    } else {
      abandonPendingGoal();
    }
  }
  if (!goal_handle) {
    return;
  }
  // So that a result that comes before the cancel's answer still counts.
  askForResultOnceShown();
  const auto deadline = std::chrono::steady_clock::now() + action_timeout;
  while (true) {
    std::shared_future<typename CancelResponse::SharedPtr> answer;
    try {
      answer = action_client->async_cancel_goal(goal_handle);
    } catch (const rclcpp_action::exceptions::UnknownGoalHandleError &) {
      // The client forgets a goal once its result is in: there is nothing left to cancel.
      EE_LOG_DEBUG("action goal already finished, no cancel sent");
      break;
    }
    if (private_executor.is_spinning()) {
      break;
    }
    const std::optional<int8_t> code = awaitCancelAnswer(answer, deadline);
    if (!code) {
      RCLCPP_ERROR(
        node->get_logger(), "Failed to cancel action server for [%s]", client_action_name.c_str());
      break;
    }
    // A server may answer a goal before it has registered it, and a cancel that comes in
    // between finds no goal: ask again until the cancel timeout.
    if (
      *code == CancelResponse::ERROR_UNKNOWN_GOAL_ID &&
      std::chrono::steady_clock::now() + kCancelRetryPause < deadline) {
      std::this_thread::sleep_for(kCancelRetryPause);
      continue;
    }
    EE_LOG_DEBUG("cancel action get response from halcyra");
    if (*code == CancelResponse::ERROR_REJECTED) {
      EE_LOG_ERROR("action cancel refused by server [{}], goal still followed", client_action_name);
      return;
    }
    if (*code == CancelResponse::ERROR_GOAL_TERMINATED) {
      // Its result is there to take.
      askForResult();
      return;
    }
    if (*code == CancelResponse::ERROR_UNKNOWN_GOAL_ID) {
      EE_LOG_ERROR("action goal unknown to server [{}], cancel given up", client_action_name);
    }
    break;
  }
  goal_handle.reset();
}

template <class ActionT>
std::optional<int8_t> Ros2ActionNode<ActionT>::awaitCancelAnswer(
  const std::shared_future<typename CancelResponse::SharedPtr> & answer,
  std::chrono::steady_clock::time_point deadline)
{
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
      deadline - std::chrono::steady_clock::now());
    if (left <= std::chrono::nanoseconds(0)) {
      return std::nullopt;
    }
    const auto slice =
      std::min<std::chrono::nanoseconds>(left, ServerWatch<ActionT>::kPresencePeriod);
    if (
      private_executor.spin_until_future_complete(answer, slice) ==
      rclcpp::FutureReturnCode::SUCCESS) {
      return answer.get()->return_code;
    }
    if (server_watch->hasLeft(*action_client)) {
      return std::nullopt;
    }
  }
}

template <class ActionT>
void Ros2ActionNode<ActionT>::endGoal()
{
  // A result that comes during the cancel's wait still counts.
  cancelGoal();
  if (goal_handle && !has_result && !goal_unknown && outcome_due) {
    // The server kept the goal: its outcome is handed over once it ends.
    outcome_due = false;
    const int32_t cmd = goal_cmd;
    left_goals.keep(*action_client, goal_handle, [this, cmd](const WrappedResult * result) {
      if (result) {
        onResultReceived(*result);
      } else {
        onGoalLost(cmd);
      }
    });
  }
  handOverOutcome();
}

template <class ActionT>
void Ros2ActionNode<ActionT>::handOverOutcome()
{
  if (outcome_due && has_result) {
    outcome_due = false;
    const WrappedResult result = wrapped_result;
    clearGoalState();
    onResultReceived(result);
    return;
  }
  reportGoalLost();
  clearGoalState();
}

template <class ActionT>
BT::NodeStatus Ros2ActionNode<ActionT>::loseServer()
{
  forgetServer();
  reportGoalLost();
  clearGoalState();
  return validateResultStatus(onActionError(kServerUnreachable));
}

template <class ActionT>
void Ros2ActionNode<ActionT>::forgetServer()
{
  EE_LOG_ERROR("action server [{}] left the graph", client_action_name);
  server_ready = false;
  left_goals.forgetAll();
}

template <class ActionT>
void Ros2ActionNode<ActionT>::reportGoalLost()
{
  if (outcome_due) {
    outcome_due = false;
    onGoalLost(goal_cmd);
  }
}

template <class ActionT>
void Ros2ActionNode<ActionT>::abandonPendingGoal()
{
  if (pending_goal_handle.valid()) {
    left_goals.abandon(pending_goal_handle);
    pending_goal_handle = {};
  }
}

template <class ActionT>
void Ros2ActionNode<ActionT>::pollLeftGoals()
{
  if (left_goals.empty()) {
    return;
  }
  if (!private_executor.is_spinning()) {
    // The client hands out one ready entity per wait, so a single wait could leave an
    // acceptance queued behind feedback or status; the bound only matters under a flood.
    private_executor.spin_all(action_timeout);
  }
  left_goals.settle(*action_client);
}

template <class ActionT>
void Ros2ActionNode<ActionT>::settleAbandonedGoals(std::chrono::nanoseconds timeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (const auto & response : left_goals.awaitedResponses()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds(0) || private_executor.is_spinning()) {
      break;
    }
    private_executor.spin_until_future_complete(response, left);
  }
  left_goals.cancelAccepted(*action_client);
  left_goals.clear();
}

template <class ActionT>
void Ros2ActionNode<ActionT>::clearGoalState()
{
  goal_in_flight = false;
  has_result = false;
  goal_unknown = false;
  is_paused = false;
  pending_goal_handle = {};
  goal_handle.reset();
  cancelling.store(false);
  private_executor.cancel();
  setStatus(BT::NodeStatus::IDLE);
}

template <class ActionT>
BT::NodeStatus Ros2ActionNode<ActionT>::validateResultStatus(BT::NodeStatus status)
{
  if (status != BT::NodeStatus::SUCCESS && status != BT::NodeStatus::FAILURE) {
    throw std::logic_error("Ros2ActionNode: the callback must return either SUCCESS of FAILURE");
  }
  return status;
}

// Registers the node type T under `registration_id`. T derives from Ros2ActionNode and is
// constructible from (name, config, params). The builder refers to `params`, which the caller
// keeps alive for as long as the factory may build nodes from it.
template <class T>
static void RegisterRos2ActionNode(
  BT::BehaviorTreeFactory & factory, const std::string & registration_id, const Ros2Params & params)
{
  const BT::NodeBuilder builder =
    [&params](const std::string & name, const BT::NodeConfiguration & config) {
      return std::unique_ptr<BT::TreeNode>(new T(name, config, params));
    };
  BT::TreeNodeManifest manifest;
  manifest.type = BT::NodeType::ACTION;
  manifest.registration_ID = registration_id;
  manifest.ports = T::providedPorts();
  for (const auto & port : Ros2ActionNode<typename T::ActionType>::providedPorts()) {
    manifest.ports.insert(port);
  }
  factory.registerBuilder(manifest, builder);
}

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__ROS2_ACTION_NODE_HPP_
