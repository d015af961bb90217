// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_ACTION_SERVER_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_ACTION_SERVER_HPP_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "execute_engine_test_support/background_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "velmarin_protocol/action/planner.hpp"
#include "velmarin_protocol/action/security.hpp"

namespace execute_engine_test_support
{

// A scriptable server of the action ActionT under `action_name`, on a node of its own spun by
// the given executor (which must outlive it and have a thread free for each answer held back).
// It records every goal request in order of arrival, accepts or refuses goals, accepts every
// cancel request, can hold either kind of answer back, and lets the test publish feedback for
// an accepted goal and end it. Accepted goals run until the test ends them or the server goes.
template <typename ActionT>
class SimulatedActionServer
{
public:
  using Goal = typename ActionT::Goal;
  using Result = typename ActionT::Result;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = rclcpp_action::ServerGoalHandle<ActionT>;
  using ms = std::chrono::milliseconds;

  SimulatedActionServer(
    BackgroundExecutor & executor, const std::string & node_name, const std::string & action_name)
  : executor_(executor), node_(std::make_shared<rclcpp::Node>(node_name))
  {
    // Reentrant, so that an answer held back does not hold up the others. The callbacks own
    // the state, so one still running never outlives it.
    group_ = node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
    server_ = rclcpp_action::create_server<ActionT>(
      node_, action_name,
      [s = state_](const rclcpp_action::GoalUUID & id, std::shared_ptr<const Goal> goal) {
        std::unique_lock<std::mutex> lock(s->mutex);
        s->received.emplace_back(id, *goal);
        s->Hold(lock, s->goal_delay);
        return s->decision;
      },
      [s = state_](std::shared_ptr<GoalHandle>) {
        std::unique_lock<std::mutex> lock(s->mutex);
        ++s->cancels;
        s->Hold(lock, s->cancel_delay);
        return rclcpp_action::CancelResponse::ACCEPT;
      },
      [s = state_](std::shared_ptr<GoalHandle> handle) {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->accepted[handle->get_goal_id()] = handle;
        s->changed.notify_all();
      },
      rcl_action_server_get_default_options(), group_);
    executor_.AddNode(node_);
  }

  // Lets held answers go, then leaves the executor; goals still running are dropped unanswered.
  ~SimulatedActionServer()
  {
    ReleaseHeldAnswers();
    executor_.RemoveNode(node_);
  }

  SimulatedActionServer(const SimulatedActionServer &) = delete;
  SimulatedActionServer & operator=(const SimulatedActionServer &) = delete;

  // Later goals are accepted (and executed at once; the default) or refused.
  void SetGoalDecision(rclcpp_action::GoalResponse decision) { Set(state_->decision, decision); }

  // How long each later goal or cancel answer is held back (none until set), or until
  // ReleaseHeldAnswers.
  void SetGoalAnswerDelay(ms delay) { Set(state_->goal_delay, delay); }
  void SetCancelAnswerDelay(ms delay) { Set(state_->cancel_delay, delay); }
  void ReleaseHeldAnswers() { Set(state_->release, state_->release + 1); }

  // The goals received so far, accepted or not, in order of arrival.
  std::vector<Goal> Goals() const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<Goal> goals;
    for (const auto & received : state_->received) {
      goals.push_back(received.second);
    }
    return goals;
  }

  // True once `count` goals (cancel requests) have arrived, false after `timeout`.
  bool WaitForGoals(size_t count, ms timeout) const
  {
    return Wait(timeout, [this, count] { return state_->received.size() >= count; });
  }
  size_t CancelRequests() const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->cancels;
  }
  bool WaitForCancelRequests(size_t count, ms timeout) const
  {
    return Wait(timeout, [this, count] { return state_->cancels >= count; });
  }

  // Publishes feedback for, or ends (SUCCEEDED, ABORTED, or CANCELED after an accepted cancel),
  // the `index`th goal received, once accepted; false if that takes longer than `timeout`.
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
    if (!handle) {
      return false;
    } else if (code == rclcpp_action::ResultCode::SUCCEEDED) {
      handle->succeed(message);
    } else if (code == rclcpp_action::ResultCode::ABORTED) {
      handle->abort(message);
    } else {
      handle->canceled(message);
    }
    return true;
  }

private:
  struct State
  {
    // Waits with `lock` held for `delay`, or until ReleaseHeldAnswers.
    void Hold(std::unique_lock<std::mutex> & lock, ms delay)
    {
      changed.notify_all();
      const size_t at = release;
      changed.wait_for(lock, delay, [this, at] { return release != at; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    rclcpp_action::GoalResponse decision = rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
    ms goal_delay{0};
    ms cancel_delay{0};
    size_t release = 0;
    std::vector<std::pair<rclcpp_action::GoalUUID, Goal>> received;
    std::map<rclcpp_action::GoalUUID, std::shared_ptr<GoalHandle>> accepted;
    size_t cancels = 0;
  };

  template <typename T>
  void Set(T & field, T value)
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    field = value;
    state_->changed.notify_all();
  }

  template <typename Done>
  bool Wait(ms timeout, Done done) const
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, done);
  }

  std::shared_ptr<GoalHandle> Accepted(size_t index, ms timeout)
  {
    std::shared_ptr<GoalHandle> handle;
    Wait(timeout, [this, index, &handle] {
      if (index < state_->received.size()) {
        const auto found = state_->accepted.find(state_->received[index].first);
        handle = found == state_->accepted.end() ? nullptr : found->second;
      }
      return handle != nullptr;
    });
    return handle;
  }

  BackgroundExecutor & executor_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  rclcpp::Node::SharedPtr node_;
  // The node holds its groups weakly.
  rclcpp::CallbackGroup::SharedPtr group_;
  typename rclcpp_action::Server<ActionT>::SharedPtr server_;
};

// The navigation action's server.
struct SimulatedPlannerServer : SimulatedActionServer<velmarin_protocol::action::Planner>
{
  SimulatedPlannerServer(BackgroundExecutor & executor, const std::string & action_name)
  : SimulatedActionServer(executor, "simulated_planner_server", action_name)
  {
  }
};

// The obstacle action's server.
struct SimulatedSecurityServer : SimulatedActionServer<velmarin_protocol::action::Security>
{
  SimulatedSecurityServer(BackgroundExecutor & executor, const std::string & action_name)
  : SimulatedActionServer(executor, "simulated_security_server", action_name)
  {
  }
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_ACTION_SERVER_HPP_
