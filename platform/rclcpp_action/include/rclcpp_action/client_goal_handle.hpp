#ifndef RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_

#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "rclcpp/macros.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

/// How a goal ended, as the server's result response reports it.
enum class ResultCode : int8_t
{
  UNKNOWN = GoalStatus::STATUS_UNKNOWN,
  SUCCEEDED = GoalStatus::STATUS_SUCCEEDED,
  CANCELED = GoalStatus::STATUS_CANCELED,
  ABORTED = GoalStatus::STATUS_ABORTED
};

template <typename ActionT>
class Client;

/// A goal that a server accepted, as its client sees it. Made only by the client.
///
/// The client keeps only a weak reference: once the caller drops every handle of a goal whose
/// result it did not ask for, the client forgets the goal and drops its feedback.
template <typename ActionT>
class ClientGoalHandle
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ClientGoalHandle)

  using Feedback = typename ActionT::Feedback;
  using Result = typename ActionT::Result;

  /// What a result response carries; value-initialized fields when no result came.
  struct WrappedResult
  {
    GoalUUID goal_id{};
    ResultCode code{ResultCode::UNKNOWN};
    typename ActionT::Result::SharedPtr result;
  };

  using FeedbackCallback = std::function<void(
    typename ClientGoalHandle<ActionT>::SharedPtr, const std::shared_ptr<const Feedback>)>;
  using ResultCallback = std::function<void(const WrappedResult & result)>;

  virtual ~ClientGoalHandle() = default;

  const GoalUUID & get_goal_id() const { return info_.goal_id.uuid; }

  /// The latest status the server reported: a GoalStatus STATUS_* value.
  int8_t get_status()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }

private:
  friend class Client<ActionT>;

  ClientGoalHandle(
    const GoalInfo & info, FeedbackCallback feedback_callback, ResultCallback result_callback)
  : info_(info),
    result_future_(result_promise_.get_future()),
    feedback_callback_(std::move(feedback_callback)),
    result_callback_(std::move(result_callback))
  {
  }

  // Whether the result was asked for already; from now on it is.
  bool set_result_awareness(bool aware)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool was_aware = result_aware_;
    result_aware_ = aware;
    return was_aware;
  }

  void set_result_callback(ResultCallback callback)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_callback_ = std::move(callback);
  }

  void set_status(int8_t status)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }

  // Callbacks run without the handle's lock, so they may query the handle.
  void call_feedback_callback(
    typename ClientGoalHandle<ActionT>::SharedPtr self, std::shared_ptr<const Feedback> feedback)
  {
    FeedbackCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      callback = feedback_callback_;
    }
    if (callback) {
      callback(self, feedback);
    }
  }

  void set_result(const WrappedResult & wrapped_result)
  {
    ResultCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      status_ = static_cast<int8_t>(wrapped_result.code);
      callback = result_callback_;
    }
    result_promise_.set_value(wrapped_result);
    if (callback) {
      callback(wrapped_result);
    }
  }

  const GoalInfo info_;
  std::mutex mutex_;
  int8_t status_{GoalStatus::STATUS_ACCEPTED};
  bool result_aware_ = false;
  std::promise<WrappedResult> result_promise_;
  std::shared_future<WrappedResult> result_future_;
  FeedbackCallback feedback_callback_;
  ResultCallback result_callback_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
