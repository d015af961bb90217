#ifndef RCLCPP_ACTION__SERVER_GOAL_REGISTRY_HPP_
#define RCLCPP_ACTION__SERVER_GOAL_REGISTRY_HPP_

#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/server_goal_handle.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

/// The goals of one action server: their states, their results until these expire, the result
/// requests waiting for them, and what the graph is told about them (status and feedback).
///
/// Shared between the server, the callbacks of its services and its goal handles, each of
/// which holds it weakly or outlives nothing it needs. A goal handle that is dropped in here
/// may end its goal and call back in, so no handle is released while the lock is held.
template <typename ActionT>
class ServerGoalRegistry : public std::enable_shared_from_this<ServerGoalRegistry<ActionT>>
{
public:
  using GoalHandle = ServerGoalHandle<ActionT>;
  using ResultResponse = typename ActionT::Impl::GetResultService::Response;
  /// Sends a result response to one waiting request.
  using ResultResponder = std::function<void(ResultResponse & response)>;
  using CancelDecider = std::function<bool(std::shared_ptr<GoalHandle>)>;
  using CancelResponse = typename ActionT::Impl::CancelGoalService::Response;

  ServerGoalRegistry(
    typename rclcpp::Publisher<typename ActionT::Impl::GoalStatusMessage>::SharedPtr
      status_publisher,
    typename rclcpp::Publisher<typename ActionT::Impl::FeedbackMessage>::SharedPtr
      feedback_publisher,
    std::chrono::nanoseconds result_timeout)
  : status_publisher_(std::move(status_publisher)),
    feedback_publisher_(std::move(feedback_publisher)),
    result_timeout_(result_timeout)
  {
  }

  bool knows(const GoalUUID & goal_id)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return find_locked(goal_id) != goals_.end();
  }

  /// Records a goal the server accepted and returns its handle, executing when `execute`.
  std::shared_ptr<GoalHandle> accept(
    const GoalUUID & goal_id, std::shared_ptr<const typename ActionT::Goal> goal,
    const builtin_interfaces::msg::Time & stamp, bool execute)
  {
    std::shared_ptr<GoalHandle> handle(
      new GoalHandle(goal_id, std::move(goal), this->weak_from_this()));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      forget_expired_locked();
      Goal record;
      record.info.goal_id.uuid = goal_id;
      record.info.stamp = stamp;
      record.handle = handle;
      goals_.push_back(std::move(record));
      if (!execute) {
        publish_status_locked();
      }
    }
    if (execute) {
      handle->execute();
    }
    return handle;
  }

  /// Called by a goal handle, under its own lock, when its goal moved to a non-final state.
  void update_status(const GoalUUID & goal_id, int8_t status)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = find_locked(goal_id);
    if (it != goals_.end()) {
      it->status = status;
      publish_status_locked();
    }
  }

  /// Called by a goal handle, under its own lock, when its goal ended: keeps the result and
  /// answers the result requests that wait for it.
  void finish(const GoalUUID & goal_id, int8_t status, const typename ActionT::Result & result)
  {
    auto response = std::make_shared<ResultResponse>();
    response->status = status;
    response->result = result;
    std::vector<ResultResponder> waiting;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = find_locked(goal_id);
      if (it == goals_.end()) {
        return;
      }
      it->status = status;
      it->result = response;
      it->finished_at = std::chrono::steady_clock::now();
      waiting.swap(it->waiting_results);
      publish_status_locked();
    }
    for (auto & respond : waiting) {
      respond(*response);
    }
  }

  void publish_feedback(const GoalUUID & goal_id, const typename ActionT::Feedback & feedback)
  {
    typename ActionT::Impl::FeedbackMessage message;
    message.goal_id.uuid = goal_id;
    message.feedback = feedback;
    feedback_publisher_->publish(message);
  }

  /// Answers a result request now when the goal has ended or is unknown (status UNKNOWN),
  /// otherwise once it ends.
  void request_result(const GoalUUID & goal_id, ResultResponder respond)
  {
    std::shared_ptr<ResultResponse> response;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      forget_expired_locked();
      const auto it = find_locked(goal_id);
      if (it != goals_.end() && !it->result) {
        it->waiting_results.push_back(std::move(respond));
        return;
      }
      response = it != goals_.end() ? it->result : std::make_shared<ResultResponse>();
    }
    respond(*response);
  }

  /// Processes a cancel request: the goals it names (one goal by id, the goals accepted at or
  /// before a stamp, or every goal when both are zero) that can still be canceled are offered
  /// to `decide`; those it accepts move to CANCELING and are listed in the response. A goal
  /// named by id alone that the server does not hold is ERROR_UNKNOWN_GOAL_ID, one already
  /// canceling or ended ERROR_GOAL_TERMINATED; ERROR_REJECTED when `decide` refused them all.
  void cancel(const GoalInfo & request, const CancelDecider & decide, CancelResponse & response)
  {
    std::vector<std::weak_ptr<GoalHandle>> targets;
    response.return_code = collect_cancel_targets(request, targets);
    for (const auto & target : targets) {
      const auto handle = target.lock();
      if (!handle || !decide(handle)) {
        continue;
      }
      try {
        handle->start_canceling();
      } catch (const rclcpp::exceptions::RCLError &) {
        continue;  // the goal ended while the server decided
      }
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = find_locked(handle->get_goal_id());
      if (it != goals_.end()) {
        response.goals_canceling.push_back(it->info);
      }
    }
    if (!targets.empty() && response.goals_canceling.empty()) {
      response.return_code = CancelResponse::ERROR_REJECTED;
    }
  }

private:
  struct Goal
  {
    GoalInfo info;
    std::weak_ptr<GoalHandle> handle;
    int8_t status{GoalStatus::STATUS_ACCEPTED};
    std::shared_ptr<ResultResponse> result;
    std::chrono::steady_clock::time_point finished_at;
    std::vector<ResultResponder> waiting_results;
  };

  static int64_t nanoseconds_of(const builtin_interfaces::msg::Time & stamp)
  {
    return static_cast<int64_t>(stamp.sec) * 1000000000LL + stamp.nanosec;
  }

  static bool cancelable(int8_t status)
  {
    return status == GoalStatus::STATUS_ACCEPTED || status == GoalStatus::STATUS_EXECUTING;
  }

  // A request naming one goal (id, no stamp) answers for that goal alone: unknown, or no
  // longer cancelable, which counts as ended even while the goal is still canceling.
  int8_t collect_cancel_targets(
    const GoalInfo & request, std::vector<std::weak_ptr<GoalHandle>> & targets)
  {
    const GoalUUID & requested_id = request.goal_id.uuid;
    const bool any_id =
      std::all_of(requested_id.begin(), requested_id.end(), [](uint8_t byte) { return byte == 0; });
    const int64_t requested_stamp = nanoseconds_of(request.stamp);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!any_id && requested_stamp == 0) {
      const auto it = find_locked(requested_id);
      if (it == goals_.end()) {
        return CancelResponse::ERROR_UNKNOWN_GOAL_ID;
      }
      if (!cancelable(it->status)) {
        return CancelResponse::ERROR_GOAL_TERMINATED;
      }
      targets.push_back(it->handle);
      return CancelResponse::ERROR_NONE;
    }
    const int64_t latest_stamp =
      any_id && requested_stamp == 0 ? std::numeric_limits<int64_t>::max() : requested_stamp;
    for (const auto & goal : goals_) {
      const bool named =
        nanoseconds_of(goal.info.stamp) <= latest_stamp || goal.info.goal_id.uuid == requested_id;
      if (named && cancelable(goal.status)) {
        targets.push_back(goal.handle);
      }
    }
    return CancelResponse::ERROR_NONE;
  }

  typename std::vector<Goal>::iterator find_locked(const GoalUUID & goal_id)
  {
    return std::find_if(goals_.begin(), goals_.end(), [&goal_id](const Goal & goal) {
      return goal.info.goal_id.uuid == goal_id;
    });
  }

  void forget_expired_locked()
  {
    const auto now = std::chrono::steady_clock::now();
    goals_.erase(
      std::remove_if(
        goals_.begin(), goals_.end(),
        [this, now](const Goal & goal) {
          return goal.result && now - goal.finished_at >= result_timeout_;
        }),
      goals_.end());
  }

  void publish_status_locked()
  {
    typename ActionT::Impl::GoalStatusMessage message;
    message.status_list.reserve(goals_.size());
    for (const auto & goal : goals_) {
      GoalStatus status;
      status.goal_info = goal.info;
      status.status = goal.status;
      message.status_list.push_back(status);
    }
    status_publisher_->publish(message);
  }

  const typename rclcpp::Publisher<typename ActionT::Impl::GoalStatusMessage>::SharedPtr
    status_publisher_;
  const typename rclcpp::Publisher<typename ActionT::Impl::FeedbackMessage>::SharedPtr
    feedback_publisher_;
  const std::chrono::nanoseconds result_timeout_;
  std::mutex mutex_;
  std::vector<Goal> goals_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_GOAL_REGISTRY_HPP_
