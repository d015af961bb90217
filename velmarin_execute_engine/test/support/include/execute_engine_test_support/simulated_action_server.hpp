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
#include <stdexcept>
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
// It records every goal request in order of arrival, accepts or refuses goals, accepts or
// refuses cancel requests, can hold either kind of answer back, and lets the test publish
// feedback for an accepted goal and end it with a chosen result code and result. It keeps the
// handles of accepted goals, so a goal runs until the test ends it or the server goes away.
template <typename ActionT>
class SimulatedActionServer
{
public:
  using Goal = typename ActionT::Goal;
  using Result = typename ActionT::Result;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = rclcpp_action::ServerGoalHandle<ActionT>;

  SimulatedActionServer(
    BackgroundExecutor & executor, const std::string & node_name, const std::string & action_name)
  : executor_(executor),
    state_(std::make_shared<State>()),
    node_(std::make_shared<rclcpp::Node>(node_name))
  {
    // Reentrant, so that an answer held back does not hold up the others. The callbacks own
    // the state, so one still running never outlives it.
    group_ = node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
    server_ = rclcpp_action::create_server<ActionT>(
      node_, action_name,
      [state = state_](const rclcpp_action::GoalUUID & goal_id, std::shared_ptr<const Goal> goal) {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->received.push_back({goal_id, *goal});
        state->changed.notify_all();
        state->Hold(lock, state->goal_answer_delay);
        return state->goal_decision;
      },
      [state = state_](std::shared_ptr<GoalHandle>) {
        std::unique_lock<std::mutex> lock(state->mutex);
        ++state->cancel_requests;
        state->changed.notify_all();
        state->Hold(lock, state->cancel_answer_delay);
        return rclcpp_action::CancelResponse::ACCEPT;
      },
      [state = state_](std::shared_ptr<GoalHandle> handle) {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->accepted[handle->get_goal_id()] = handle;
        state->changed.notify_all();
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

  // Whether later goals are accepted (and executed at once) or refused. Accepted until set.
  void SetGoalDecision(rclcpp_action::GoalResponse decision)
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->goal_decision = decision;
  }

  // How long the answer to each later goal request, or cancel request, is held back after the
  // request arrived (none until set). ReleaseHeldAnswers and the destructor end every hold.
  void SetGoalAnswerDelay(std::chrono::milliseconds delay)
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->goal_answer_delay = delay;
  }
  void SetCancelAnswerDelay(std::chrono::milliseconds delay)
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->cancel_answer_delay = delay;
  }

  // Lets every answer held back so far go now; later ones are held as set.
  void ReleaseHeldAnswers()
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->release_generation;
    state_->changed.notify_all();
  }

  // The goals received so far, accepted or not, in order of arrival.
  std::vector<Goal> Goals() const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<Goal> goals;
    for (const auto & received : state_->received) {
      goals.push_back(received.goal);
    }
    return goals;
  }

  // The id of the `index`th goal received (from 0).
  rclcpp_action::GoalUUID GoalId(size_t index) const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->received.at(index).goal_id;
  }

  // True once `count` goals have arrived, false if that takes longer than `timeout`.
  bool WaitForGoals(size_t count, std::chrono::milliseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(
      lock, timeout, [this, count] { return state_->received.size() >= count; });
  }

  // Cancel requests that named a goal still running here.
  size_t CancelRequests() const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->cancel_requests;
  }

  bool WaitForCancelRequests(size_t count, std::chrono::milliseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(
      lock, timeout, [this, count] { return state_->cancel_requests >= count; });
  }

  // Publishes `feedback` for the `index`th goal received, once it has been accepted. False if
  // it is not accepted within `timeout`.
  bool PublishFeedback(
    size_t index, const Feedback & feedback,
    std::chrono::milliseconds timeout = std::chrono::seconds(5))
  {
    const auto handle = AcceptedGoal(index, timeout);
    if (!handle) {
      return false;
    }
    handle->publish_feedback(std::make_shared<Feedback>(feedback));
    return true;
  }

  // Ends the `index`th goal received, once it has been accepted, with `code` (SUCCEEDED,
  // ABORTED, or CANCELED for a goal whose cancel was accepted) and `result`. False if it is not
  // accepted within `timeout`.
  bool Finish(
    size_t index, rclcpp_action::ResultCode code, const Result & result,
    std::chrono::milliseconds timeout = std::chrono::seconds(5))
  {
    const auto handle = AcceptedGoal(index, timeout);
    if (!handle) {
      return false;
    }
    const auto message = std::make_shared<Result>(result);
    switch (code) {
      case rclcpp_action::ResultCode::SUCCEEDED:
        handle->succeed(message);
        break;
      case rclcpp_action::ResultCode::ABORTED:
        handle->abort(message);
        break;
      case rclcpp_action::ResultCode::CANCELED:
        handle->canceled(message);
        break;
      default:
        throw std::invalid_argument("a goal ends as SUCCEEDED, ABORTED or CANCELED");
    }
    return true;
  }

private:
  struct Received
  {
    rclcpp_action::GoalUUID goal_id;
    Goal goal;
  };

  struct State
  {
    // Waits with `lock` held for `delay`, or until ReleaseHeldAnswers.
    void Hold(std::unique_lock<std::mutex> & lock, std::chrono::milliseconds delay)
    {
      const size_t generation = release_generation;
      changed.wait_for(
        lock, delay, [this, generation] { return release_generation != generation; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    rclcpp_action::GoalResponse goal_decision = rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
    std::chrono::milliseconds goal_answer_delay{0};
    std::chrono::milliseconds cancel_answer_delay{0};
    size_t release_generation = 0;
    std::vector<Received> received;
    std::map<rclcpp_action::GoalUUID, std::shared_ptr<GoalHandle>> accepted;
    size_t cancel_requests = 0;
  };

  std::shared_ptr<GoalHandle> AcceptedGoal(size_t index, std::chrono::milliseconds timeout)
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    std::shared_ptr<GoalHandle> handle;
    state_->changed.wait_for(lock, timeout, [this, index, &handle] {
      if (index < state_->received.size()) {
        const auto accepted = state_->accepted.find(state_->received[index].goal_id);
        if (accepted != state_->accepted.end()) {
          handle = accepted->second;
        }
      }
      return handle != nullptr;
    });
    return handle;
  }

  BackgroundExecutor & executor_;
  std::shared_ptr<State> state_;
  rclcpp::Node::SharedPtr node_;
  // The node holds its groups weakly.
  rclcpp::CallbackGroup::SharedPtr group_;
  typename rclcpp_action::Server<ActionT>::SharedPtr server_;
};

// The navigation action's server.
class SimulatedPlannerServer : public SimulatedActionServer<velmarin_protocol::action::Planner>
{
public:
  SimulatedPlannerServer(BackgroundExecutor & executor, const std::string & action_name)
  : SimulatedActionServer(executor, "simulated_planner_server", action_name)
  {
  }
};

// The obstacle action's server.
class SimulatedSecurityServer : public SimulatedActionServer<velmarin_protocol::action::Security>
{
public:
  SimulatedSecurityServer(BackgroundExecutor & executor, const std::string & action_name)
  : SimulatedActionServer(executor, "simulated_security_server", action_name)
  {
  }
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_ACTION_SERVER_HPP_
