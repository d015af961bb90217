#ifndef RCLCPP__GUARD_CONDITION_HPP_
#define RCLCPP__GUARD_CONDITION_HPP_

#include <cstddef>
#include <functional>
#include <mutex>

#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

/// A condition that wakes whoever listens to it when triggered.
/**
 * The listener is the on-trigger callback; triggers that happen while no callback is set are
 * counted and handed to the next callback as soon as it is set.
 */
class GuardCondition
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(GuardCondition)

  explicit GuardCondition(
    rclcpp::Context::SharedPtr context = rclcpp::contexts::get_global_default_context());

  virtual ~GuardCondition() = default;

  GuardCondition(const GuardCondition &) = delete;
  GuardCondition & operator=(const GuardCondition &) = delete;

  rclcpp::Context::SharedPtr get_context() const;

  void trigger();

  /// Set (or clear, with an empty function) the listener; it receives the trigger count.
  void set_on_trigger_callback(std::function<void(size_t)> callback);

private:
  rclcpp::Context::SharedPtr context_;
  std::mutex mutex_;
  std::function<void(size_t)> on_trigger_callback_;
  size_t unread_count_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__GUARD_CONDITION_HPP_
