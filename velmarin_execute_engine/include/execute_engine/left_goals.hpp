// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__LEFT_GOALS_HPP_
#define EXECUTE_ENGINE__LEFT_GOALS_HPP_

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "common_util/log_holder.hpp"
#include "rclcpp_action/rclcpp_action.hpp"

namespace execute_engine
{

// Goals of one action client that its node no longer drives while the server may still run
// them:
// - abandoned goals, given up before their goal response came: each is cancelled at the first
//   settle after its acceptance, for acceptances up to kAcceptanceWatch after it was given up,
//   and the cancel sent again while the server answers that it does not know the goal yet (it
//   may answer a goal before it registers it), within the same bound; refused goals, and goals
//   not answered by then, are forgotten;
// - kept goals, let go of while their server refused to cancel them: each is followed to its
//   result, whose outcome goes to the goal's callback at the first settle after it came.
// Nothing here spins: the client's callbacks must run between settles (the node's spins). All
// members run on the thread that spins the client.
template <class ActionT>
class LeftGoals
{
public:
  using GoalHandle = rclcpp_action::ClientGoalHandle<ActionT>;
  using WrappedResult = typename GoalHandle::WrappedResult;
  using ResponseFuture = std::shared_future<typename GoalHandle::SharedPtr>;
  // A kept goal's outcome: its result, or null when the goal is lost (unknown to the server, or
  // the server gone).
  using OutcomeCallback = std::function<void(const WrappedResult *)>;

  static constexpr std::chrono::seconds kAcceptanceWatch{60};

  void abandon(ResponseFuture response)
  {
    abandoned_.push_back({std::move(response), Clock::now() + kAcceptanceWatch, {}});
  }

  // Asks for the result of `handle`, a goal the server holds. Its outcome is handed over
  // at once (lost) when the client no longer knows the goal.
  void keep(
    rclcpp_action::Client<ActionT> & client, typename GoalHandle::SharedPtr handle,
    OutcomeCallback on_outcome)
  {
    auto result = std::make_shared<std::optional<WrappedResult>>();
    try {
      client.async_get_result(handle, [result](const WrappedResult & in) { *result = in; });
    } catch (const rclcpp_action::exceptions::UnknownGoalHandleError &) {
      on_outcome(nullptr);
      return;
    }
    kept_.push_back({std::move(handle), std::move(result), std::move(on_outcome)});
  }

  // Cancels the abandoned goals accepted meanwhile and forgets the refused ones and those no
  // longer watched; hands over the kept goals' outcomes that came.
  void settle(rclcpp_action::Client<ActionT> & client)
  {
    cancelAccepted(client);
    for (auto goal = kept_.begin(); goal != kept_.end();) {
      if (!goal->result->has_value()) {
        ++goal;
        continue;
      }
      const Kept ended = std::move(*goal);
      goal = kept_.erase(goal);
      const WrappedResult & result = **ended.result;
      ended.on_outcome(result.code == rclcpp_action::ResultCode::UNKNOWN ? nullptr : &result);
    }
  }

  // The abandoned half of settle: cancels the goals accepted meanwhile (without waiting for the
  // answer) and sends again the cancels the server answered with an unknown goal; forgets the
  // refused goals, the answered cancels and what is no longer watched.
  void cancelAccepted(rclcpp_action::Client<ActionT> & client)
  {
    const auto now = Clock::now();
    for (auto goal = abandoned_.begin(); goal != abandoned_.end();) {
      const bool watched = now < goal->watched_until;
      if (goal->cancel_answer.valid()) {
        if (goal->cancel_answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
          goal = watched ? std::next(goal) : abandoned_.erase(goal);
          continue;
        }
        if (
          !watched || goal->cancel_answer.get()->return_code !=
                        rclcpp_action::Client<ActionT>::CancelResponse::ERROR_UNKNOWN_GOAL_ID) {
          EE_LOG_DEBUG("action late accepted goal cancel answered");
          goal = abandoned_.erase(goal);
          continue;
        }
      } else if (goal->response.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        goal = watched ? std::next(goal) : abandoned_.erase(goal);
        continue;
      } else if (!goal->response.get()) {
        goal = abandoned_.erase(goal);
        continue;
      }
      try {
        goal->cancel_answer = client.async_cancel_goal(goal->response.get());
        EE_LOG_DEBUG("action late accepted goal cancelled");
        ++goal;
      } catch (const rclcpp_action::exceptions::UnknownGoalHandleError &) {
        EE_LOG_DEBUG("action late accepted goal already finished");
        goal = abandoned_.erase(goal);
      }
    }
  }

  // The server is gone: the kept goals are lost, and every goal is forgotten.
  void forgetAll()
  {
    abandoned_.clear();
    std::vector<Kept> lost;
    lost.swap(kept_);
    for (const Kept & goal : lost) {
      goal.on_outcome(nullptr);
    }
  }

  // Forgets every goal without handing any outcome over.
  void clear()
  {
    abandoned_.clear();
    kept_.clear();
  }

  bool empty() const { return abandoned_.empty() && kept_.empty(); }

  // The goal responses still awaited, for a caller that spins until they come.
  std::vector<ResponseFuture> awaitedResponses() const
  {
    std::vector<ResponseFuture> responses;
    for (const Abandoned & goal : abandoned_) {
      if (!goal.cancel_answer.valid()) {
        responses.push_back(goal.response);
      }
    }
    return responses;
  }

private:
  using Clock = std::chrono::steady_clock;

  struct Abandoned
  {
    ResponseFuture response;
    Clock::time_point watched_until;
    // The latest cancel sent for it once accepted.
    std::shared_future<typename rclcpp_action::Client<ActionT>::CancelResponse::SharedPtr>
      cancel_answer;
  };

  struct Kept
  {
    typename GoalHandle::SharedPtr handle;
    std::shared_ptr<std::optional<WrappedResult>> result;
    OutcomeCallback on_outcome;
  };

  std::vector<Abandoned> abandoned_;
  std::vector<Kept> kept_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__LEFT_GOALS_HPP_
