#ifndef RCLCPP__CALLBACK_GROUP_HPP_
#define RCLCPP__CALLBACK_GROUP_HPP_

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/guard_condition.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/waitable.hpp"

namespace rclcpp
{

class TimerBase;

enum class CallbackGroupType
{
  MutuallyExclusive,
  Reentrant
};

/// A set of entities whose callbacks an executor schedules together.
/**
 * Callbacks of a mutually exclusive group never run at the same time; those of a reentrant
 * group may. A group belongs to at most one executor at a time. The group keeps its entities
 * weakly: an entity lives as long as its owner keeps it.
 */
class CallbackGroup : public std::enable_shared_from_this<CallbackGroup>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(CallbackGroup)

  explicit CallbackGroup(
    CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true);

  ~CallbackGroup();

  CallbackGroup(const CallbackGroup &) = delete;
  CallbackGroup & operator=(const CallbackGroup &) = delete;

  /// Cleared by an executor while it runs a callback of a mutually exclusive group.
  std::atomic_bool & can_be_taken_from();

  const CallbackGroupType & type() const;

  /// Set while an executor holds this group.
  std::atomic_bool & get_associated_with_executor_atomic();

  /// Whether the group joins the executor its node is (or will be) added to.
  bool automatically_add_to_executor_with_node() const;

  /// The condition an executor listens to for this group's new work and new entities.
  rclcpp::GuardCondition::SharedPtr get_notify_guard_condition(
    const rclcpp::Context::SharedPtr context_ptr);

  void trigger_notify_guard_condition();

  /// Put a waitable into this group; the executor holding the group is notified.
  void add_waitable(const rclcpp::Waitable::SharedPtr & waitable_ptr);

  /// Put a timer into this group; the executor holding the group is notified.
  void add_timer(const std::shared_ptr<rclcpp::TimerBase> & timer_ptr);

  void remove_waitable(const rclcpp::Waitable::SharedPtr & waitable_ptr) noexcept;

  /// Call the functions for every live waitable and timer of the group.
  void collect_all_ptrs(
    const std::function<void(const rclcpp::Waitable::SharedPtr &)> & waitable_func,
    const std::function<void(const std::shared_ptr<rclcpp::TimerBase> &)> & timer_func) const;

  /// Number of live waitables and timers.
  size_t size() const;

private:
  void attach(rclcpp::Waitable & waitable);

  CallbackGroupType type_;
  std::atomic_bool associated_with_executor_{false};
  std::atomic_bool can_be_taken_from_{true};
  const bool automatically_add_to_executor_with_node_;

  mutable std::mutex mutex_;
  std::vector<rclcpp::Waitable::WeakPtr> waitable_ptrs_;
  std::vector<std::weak_ptr<rclcpp::TimerBase>> timer_ptrs_;
  rclcpp::GuardCondition::SharedPtr notify_guard_condition_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CALLBACK_GROUP_HPP_
