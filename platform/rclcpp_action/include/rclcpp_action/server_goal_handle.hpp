#ifndef RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_

#include <functional>
#include <memory>
#include <mutex>

#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

/// The state of one goal on its server, and the moves between states that a goal may make:
/// ACCEPTED -> EXECUTING -> SUCCEEDED or ABORTED, and from ACCEPTED or EXECUTING through
/// CANCELING to CANCELED (or SUCCEEDED or ABORTED).
class ServerGoalHandleBase
{
public:
  ServerGoalHandleBase(const ServerGoalHandleBase &) = delete;
  ServerGoalHandleBase & operator=(const ServerGoalHandleBase &) = delete;
  virtual ~ServerGoalHandleBase() = default;

  /// A client asked to cancel the goal and the server agreed; the goal has not ended yet.
  bool is_canceling() const;
  /// The goal has not ended: accepted, executing or canceling.
  bool is_active() const;
  bool is_executing() const;

protected:
  enum class Event
  {
    EXECUTE,
    CANCEL_GOAL,
    SUCCEED,
    ABORT,
    CANCELED
  };

  /// Told the new status while the handle's lock is still held, so that what the server
  /// publishes follows the order in which the states changed.
  using StatusListener = std::function<void(int8_t status)>;

  ServerGoalHandleBase() = default;

  /// Moves the goal on by `event` and tells `listener` the new status. Throws
  /// rclcpp::exceptions::RCLError when the goal's current state does not allow the event.
  void update_state(Event event, const StatusListener & listener);

  /// Ends a goal that has not ended yet as CANCELED, telling `listener`; returns whether it did.
  bool try_canceling(const StatusListener & listener) noexcept;

private:
  mutable std::mutex mutex_;
  int8_t status_{GoalStatus::STATUS_ACCEPTED};
};

template <typename ActionT>
class ServerGoalRegistry;

/// One accepted goal as its server sees it: the server's code moves it through its states,
/// publishes its feedback and ends it with a result.
///
/// The server keeps only a weak reference: a handle dropped before its goal ended ends the
/// goal as CANCELED with an empty result.
template <typename ActionT>
class ServerGoalHandle : public ServerGoalHandleBase
{
public:
  using SharedPtr = std::shared_ptr<ServerGoalHandle<ActionT>>;

  ~ServerGoalHandle() override
  {
    try_canceling([this](int8_t status) { finish_with(status, typename ActionT::Result()); });
  }

  /// Sends feedback of this goal to every client of the action.
  void publish_feedback(std::shared_ptr<typename ActionT::Feedback> feedback_msg)
  {
    if (const auto registry = registry_.lock()) {
      registry->publish_feedback(goal_id_, *feedback_msg);
    }
  }

  /// Starts a goal accepted with ACCEPT_AND_DEFER.
  void execute() { update_state(Event::EXECUTE, report_status()); }

  void succeed(typename ActionT::Result::SharedPtr result_msg)
  {
    update_state(Event::SUCCEED, report_result(*result_msg));
  }

  void abort(typename ActionT::Result::SharedPtr result_msg)
  {
    update_state(Event::ABORT, report_result(*result_msg));
  }

  /// Ends a goal whose cancellation was accepted.
  void canceled(typename ActionT::Result::SharedPtr result_msg)
  {
    update_state(Event::CANCELED, report_result(*result_msg));
  }

  const std::shared_ptr<const typename ActionT::Goal> get_goal() const { return goal_; }

  const GoalUUID & get_goal_id() const { return goal_id_; }

private:
  friend class ServerGoalRegistry<ActionT>;

  ServerGoalHandle(
    const GoalUUID & goal_id, std::shared_ptr<const typename ActionT::Goal> goal,
    std::weak_ptr<ServerGoalRegistry<ActionT>> registry)
  : goal_id_(goal_id), goal_(std::move(goal)), registry_(std::move(registry))
  {
  }

  /// Moves the goal to CANCELING, as the server does when it accepts a cancel request.
  void start_canceling() { update_state(Event::CANCEL_GOAL, report_status()); }

  StatusListener report_status()
  {
    return [this](int8_t status) {
      if (const auto registry = registry_.lock()) {
        registry->update_status(goal_id_, status);
      }
    };
  }

  StatusListener report_result(const typename ActionT::Result & result)
  {
    return [this, &result](int8_t status) { finish_with(status, result); };
  }

  void finish_with(int8_t status, const typename ActionT::Result & result)
  {
    if (const auto registry = registry_.lock()) {
      registry->finish(goal_id_, status, result);
    }
  }

  const GoalUUID goal_id_;
  const std::shared_ptr<const typename ActionT::Goal> goal_;
  const std::weak_ptr<ServerGoalRegistry<ActionT>> registry_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
