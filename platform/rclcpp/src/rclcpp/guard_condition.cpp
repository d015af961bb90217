#include "rclcpp/guard_condition.hpp"

#include <utility>

namespace rclcpp
{

GuardCondition::GuardCondition(rclcpp::Context::SharedPtr context) : context_(std::move(context)) {}

rclcpp::Context::SharedPtr GuardCondition::get_context() const { return context_; }

void GuardCondition::trigger()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (on_trigger_callback_) {
    on_trigger_callback_(1);
  } else {
    ++unread_count_;
  }
}

void GuardCondition::set_on_trigger_callback(std::function<void(size_t)> callback)
{
  std::lock_guard<std::mutex> lock(mutex_);
  on_trigger_callback_ = std::move(callback);
  if (on_trigger_callback_ && unread_count_ > 0) {
    on_trigger_callback_(unread_count_);
    unread_count_ = 0;
  }
}

}  // namespace rclcpp
