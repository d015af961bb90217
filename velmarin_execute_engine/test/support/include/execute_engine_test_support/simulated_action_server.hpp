// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_ACTION_SERVER_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_ACTION_SERVER_HPP_

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "execute_engine_test_support/background_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "velmarin_protocol/action/planner.hpp"
#include "velmarin_protocol/action/security.hpp"

namespace execute_engine_test_support
{

// A scriptable server of the action ActionT under `action_name`, on a node of its own named
// after the action (so the name holds only node-name characters), spun by the given executor (which must outlive it and have a thread free for each answer held back).
// It records every goal request in order of arrival, accepts or refuses goals and cancel
// requests, can hold either kind of answer back (until its delay passes or is set to zero), and
// lets the test publish feedback for an accepted goal and end it. Accepted goals run until the
// test ends them or the server goes.
template <typename ActionT>
class SimulatedActionServer
{
public:
  using Goal = typename ActionT::Goal;
  using Result = typename ActionT::Result;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = rclcpp_action::ServerGoalHandle<ActionT>;
  using ms = std::chrono::milliseconds;

  SimulatedActionServer(BackgroundExecutor & executor, const std::string & action_name)
  : executor_(executor),
    node_(std::make_shared<rclcpp::Node>("simulated_" + action_name + "_server"))
  {
    // Reentrant, so that an answer held back does not hold up the others. The callbacks own
    // the state, so one still running never outlives it.
    group_ = node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
    server_ = rclcpp_action::create_server<ActionT>(
      node_, action_name,
      [s = state_](const rclcpp_action::GoalUUID & id, std::shared_ptr<const Goal> goal) {
        std::unique_lock<std::mutex> lock(s->mutex);
        s->ids.push_back(id);
        s->goals.push_back(*goal);
        s->handles.emplace_back();
        s->Hold(lock, s->goal_delay);
        return s->decision;
      },
      [s = state_](std::shared_ptr<GoalHandle>) {
        std::unique_lock<std::mutex> lock(s->mutex);
        ++s->cancels;
        s->Hold(lock, s->cancel_delay);
        return s->cancel_decision;
      },
      [s = state_](std::shared_ptr<GoalHandle> handle) {
        std::lock_guard<std::mutex> lock(s->mutex);
        const auto id = std::find(s->ids.begin(), s->ids.end(), handle->get_goal_id());
        s->handles[id - s->ids.begin()] = handle;
        s->changed.notify_all();
      },
      rcl_action_server_get_default_options(), group_);
    executor_.AddNode(node_);
  }

  // Lets held answers go, then leaves the executor; goals still running are dropped unanswered.
  ~SimulatedActionServer()
  {
    SetGoalAnswerDelay(ms(0));
    SetCancelAnswerDelay(ms(0));
    executor_.RemoveNode(node_);
  }

  // Later goals are accepted (and executed at once; the default) or refused.
  void SetGoalDecision(rclcpp_action::GoalResponse decision) { Set(state_->decision, decision); }

  // Later cancel requests for goals it runs are accepted (the default) or refused.
  void SetCancelDecision(rclcpp_action::CancelResponse decision)
  {
    Set(state_->cancel_decision, decision);
  }

  // How long each later goal or cancel answer is held back (none until set); zero also lets
  // the answers held so far go.
  void SetGoalAnswerDelay(ms delay) { Set(state_->goal_delay, delay); }
  void SetCancelAnswerDelay(ms delay) { Set(state_->cancel_delay, delay); }

  // The goals received so far, accepted or not, in order of arrival.
  std::vector<Goal> Goals() const { return Read(state_->goals); }

  // True once `count` goals (cancel requests) have arrived, false after `timeout`.
  bool WaitForGoals(size_t count, ms timeout) const
  {
    return Wait(timeout, [this, count] { return state_->goals.size() >= count; });
  }
  // Cancel requests that reached the server's code: for goals it had accepted and runs.
  size_t CancelRequests() const { return Read(state_->cancels); }
  bool WaitForCancelRequests(size_t count, ms timeout) const
  {
    return Wait(timeout, [this, count] { return state_->cancels >= count; });
  }

  // True once the `index`th goal received has been accepted and handed to the server's code,
  // false after `timeout`; from then on a cancel of it reaches that code.
  bool WaitForAcceptance(size_t index, ms timeout) { return Accepted(index, timeout) != nullptr; }

  // Publishes feedback for, or ends (SUCCEEDED, else ABORTED), the `index`th goal received, once
  // accepted; false if that takes longer than `timeout`.
  bool PublishFeedback(size_t index, const Feedback & feedback, ms timeout = ms(5000))
  {
    const auto handle = Accepted(index, timeout);
    if (handle) {
      handle->publish_feedback(std::make_shared<Feedback>(feedback));
    }
    return handle != nullptr;
  }
  bool Finish(
    size_t index, rclcpp_action::ResultCode code, const Result & result, ms timeout = ms(5000))
  {
    const auto handle = Accepted(index, timeout);
    const auto message = std::make_shared<Result>(result);
    if (handle) {
      code == rclcpp_action::ResultCode::SUCCEEDED ? handle->succeed(message)
                                                   : handle->abort(message);
    }
    return handle != nullptr;
  }

private:
  struct State
  {
    // Waits with `lock` held for `delay`, or until it is set to zero.
    void Hold(std::unique_lock<std::mutex> & lock, const ms & delay)
    {
      changed.notify_all();
      changed.wait_for(lock, ms(delay), [&delay] { return delay == ms(0); });
    }

    std::mutex mutex;
    std::condition_variable changed;
    rclcpp_action::GoalResponse decision = rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
    rclcpp_action::CancelResponse cancel_decision = rclcpp_action::CancelResponse::ACCEPT;
    ms goal_delay{0};
    ms cancel_delay{0};
    std::vector<rclcpp_action::GoalUUID> ids;
    std::vector<Goal> goals;
    std::vector<std::shared_ptr<GoalHandle>> handles;
    size_t cancels = 0;
  };

  template <typename T>
  void Set(T & field, T value)
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    field = value;
    state_->changed.notify_all();
  }

  template <typename T>
  T Read(const T & field) const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return field;
  }

  template <typename Done>
  bool Wait(ms timeout, Done done) const
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, done);
  }

  std::shared_ptr<GoalHandle> Accepted(size_t index, ms timeout)
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    const auto & handles = state_->handles;
    const auto accepted = [&] { return index < handles.size() && handles[index]; };
    return state_->changed.wait_for(lock, timeout, accepted) ? handles[index] : nullptr;
  }

  BackgroundExecutor & executor_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  rclcpp::Node::SharedPtr node_;
  // The node holds its groups weakly.
  rclcpp::CallbackGroup::SharedPtr group_;
  typename rclcpp_action::Server<ActionT>::SharedPtr server_;
};

using SimulatedPlannerServer = SimulatedActionServer<velmarin_protocol::action::Planner>;
using SimulatedSecurityServer = SimulatedActionServer<velmarin_protocol::action::Security>;

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_ACTION_SERVER_HPP_
