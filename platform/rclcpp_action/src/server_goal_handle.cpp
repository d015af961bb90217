#include "rclcpp_action/server_goal_handle.hpp"

#include <string>

#include "rclcpp/exceptions.hpp"

namespace rclcpp_action
{
namespace
{

const char * status_name(int8_t status)
{
  switch (status) {
    case GoalStatus::STATUS_ACCEPTED:
      return "ACCEPTED";
    case GoalStatus::STATUS_EXECUTING:
      return "EXECUTING";
    case GoalStatus::STATUS_CANCELING:
      return "CANCELING";
    case GoalStatus::STATUS_SUCCEEDED:
      return "SUCCEEDED";
    case GoalStatus::STATUS_CANCELED:
      return "CANCELED";
    case GoalStatus::STATUS_ABORTED:
      return "ABORTED";
    default:
      return "UNKNOWN";
  }
}

}  // namespace

bool ServerGoalHandleBase::is_canceling() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return status_ == GoalStatus::STATUS_CANCELING;
}

bool ServerGoalHandleBase::is_active() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return status_ == GoalStatus::STATUS_ACCEPTED || status_ == GoalStatus::STATUS_EXECUTING ||
         status_ == GoalStatus::STATUS_CANCELING;
}

bool ServerGoalHandleBase::is_executing() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return status_ == GoalStatus::STATUS_EXECUTING;
}

void ServerGoalHandleBase::update_state(Event event, const StatusListener & listener)
{
  static const char * const event_names[] = {
    "EXECUTE", "CANCEL_GOAL", "SUCCEED", "ABORT", "CANCELED"};
  std::lock_guard<std::mutex> lock(mutex_);
  const bool accepted = status_ == GoalStatus::STATUS_ACCEPTED;
  const bool executing = status_ == GoalStatus::STATUS_EXECUTING;
  const bool canceling = status_ == GoalStatus::STATUS_CANCELING;
  int8_t next = GoalStatus::STATUS_UNKNOWN;
  switch (event) {
    case Event::EXECUTE:
      next = (accepted || executing) ? GoalStatus::STATUS_EXECUTING : next;
      break;
    case Event::CANCEL_GOAL:
      next = (accepted || executing) ? GoalStatus::STATUS_CANCELING : next;
      break;
    case Event::SUCCEED:
      next = (executing || canceling) ? GoalStatus::STATUS_SUCCEEDED : next;
      break;
    case Event::ABORT:
      next = (executing || canceling) ? GoalStatus::STATUS_ABORTED : next;
      break;
    case Event::CANCELED:
      next = canceling ? GoalStatus::STATUS_CANCELED : next;
      break;
  }
  if (next == GoalStatus::STATUS_UNKNOWN) {
    throw rclcpp::exceptions::RCLError(
      std::string("goal_handle attempted invalid transition from state ") + status_name(status_) +
      " with event " + event_names[static_cast<int>(event)]);
  }
  status_ = next;
  listener(status_);
}

bool ServerGoalHandleBase::try_canceling(const StatusListener & listener) noexcept
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (
    status_ != GoalStatus::STATUS_ACCEPTED && status_ != GoalStatus::STATUS_EXECUTING &&
    status_ != GoalStatus::STATUS_CANCELING) {
    return false;
  }
  status_ = GoalStatus::STATUS_CANCELED;
  try {
    listener(status_);
  } catch (...) {
    // A handle may end from a destructor: the goal is canceled even if nobody could be told.
  }
  return true;
}

}  // namespace rclcpp_action
