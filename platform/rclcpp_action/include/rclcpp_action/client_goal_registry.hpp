#ifndef RCLCPP_ACTION__CLIENT_GOAL_REGISTRY_HPP_
#define RCLCPP_ACTION__CLIENT_GOAL_REGISTRY_HPP_

#include <map>
#include <memory>
#include <mutex>

#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

/// The goals an action client knows, by id, held weakly: a goal is known from its acceptance
/// until its result arrives or nobody holds its handle any more.
///
/// Shared between the client and the callbacks of its service clients and subscriptions, so
/// those callbacks never reach into a client that is gone.
template <typename GoalHandleT>
class ClientGoalRegistry
{
public:
  void add(const std::shared_ptr<GoalHandleT> & handle)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handles_[handle->get_goal_id()] = handle;
  }

  /// The handle of a known goal that someone still holds, else null (and the goal is forgotten).
  std::shared_ptr<GoalHandleT> find(const GoalUUID & goal_id)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = handles_.find(goal_id);
    if (it == handles_.end()) {
      return nullptr;
    }
    auto handle = it->second.lock();
    if (!handle) {
      handles_.erase(it);
    }
    return handle;
  }

  bool knows(const GoalUUID & goal_id) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return handles_.count(goal_id) != 0;
  }

  void forget(const GoalUUID & goal_id)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handles_.erase(goal_id);
  }

  /// Drops the goals whose handles nobody holds, so the registry does not grow without bound.
  void forget_unreferenced()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = handles_.begin(); it != handles_.end();) {
      it = it->second.expired() ? handles_.erase(it) : std::next(it);
    }
  }

private:
  mutable std::mutex mutex_;
  std::map<GoalUUID, std::weak_ptr<GoalHandleT>> handles_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_GOAL_REGISTRY_HPP_
