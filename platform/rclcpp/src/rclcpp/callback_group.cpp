#include "rclcpp/callback_group.hpp"

#include <algorithm>

#include "rclcpp/detail/callback_group_link.hpp"
#include "rclcpp/timer.hpp"

namespace rclcpp
{

namespace
{

template <typename T>
void prune(std::vector<std::weak_ptr<T>> & pointers)
{
  pointers.erase(
    std::remove_if(
      pointers.begin(), pointers.end(),
      [](const std::weak_ptr<T> & pointer) { return pointer.expired(); }),
    pointers.end());
}

}  // namespace

CallbackGroup::CallbackGroup(
  CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
: type_(group_type),
  automatically_add_to_executor_with_node_(automatically_add_to_executor_with_node)
{
}

CallbackGroup::~CallbackGroup() = default;

std::atomic_bool & CallbackGroup::can_be_taken_from() { return can_be_taken_from_; }

const CallbackGroupType & CallbackGroup::type() const { return type_; }

std::atomic_bool & CallbackGroup::get_associated_with_executor_atomic()
{
  return associated_with_executor_;
}

bool CallbackGroup::automatically_add_to_executor_with_node() const
{
  return automatically_add_to_executor_with_node_;
}

rclcpp::GuardCondition::SharedPtr CallbackGroup::get_notify_guard_condition(
  const rclcpp::Context::SharedPtr context_ptr)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!notify_guard_condition_) {
    notify_guard_condition_ = std::make_shared<rclcpp::GuardCondition>(context_ptr);
  }
  return notify_guard_condition_;
}

void CallbackGroup::trigger_notify_guard_condition()
{
  rclcpp::GuardCondition::SharedPtr guard_condition;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    guard_condition = notify_guard_condition_;
  }
  if (guard_condition) {
    guard_condition->trigger();
  }
}

void CallbackGroup::attach(rclcpp::Waitable & waitable)
{
  waitable.group_link_->set_group(shared_from_this());
}

void CallbackGroup::add_waitable(const rclcpp::Waitable::SharedPtr & waitable_ptr)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prune(waitable_ptrs_);
    waitable_ptrs_.push_back(waitable_ptr);
  }
  attach(*waitable_ptr);
  trigger_notify_guard_condition();
}

void CallbackGroup::add_timer(const std::shared_ptr<rclcpp::TimerBase> & timer_ptr)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prune(timer_ptrs_);
    timer_ptrs_.push_back(timer_ptr);
  }
  attach(*timer_ptr);
  trigger_notify_guard_condition();
}

void CallbackGroup::remove_waitable(const rclcpp::Waitable::SharedPtr & waitable_ptr) noexcept
{
  std::lock_guard<std::mutex> lock(mutex_);
  waitable_ptrs_.erase(
    std::remove_if(
      waitable_ptrs_.begin(), waitable_ptrs_.end(),
      [&waitable_ptr](const rclcpp::Waitable::WeakPtr & weak) {
        auto shared = weak.lock();
        return !shared || shared == waitable_ptr;
      }),
    waitable_ptrs_.end());
}

void CallbackGroup::collect_all_ptrs(
  const std::function<void(const rclcpp::Waitable::SharedPtr &)> & waitable_func,
  const std::function<void(const std::shared_ptr<rclcpp::TimerBase> &)> & timer_func) const
{
  std::vector<std::shared_ptr<rclcpp::TimerBase>> timers;
  std::vector<rclcpp::Waitable::SharedPtr> waitables;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto & weak : timer_ptrs_) {
      if (auto timer = weak.lock()) {
        timers.push_back(std::move(timer));
      }
    }
    for (const auto & weak : waitable_ptrs_) {
      if (auto waitable = weak.lock()) {
        waitables.push_back(std::move(waitable));
      }
    }
  }
  for (const auto & timer : timers) {
    timer_func(timer);
  }
  for (const auto & waitable : waitables) {
    waitable_func(waitable);
  }
}

size_t CallbackGroup::size() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  size_t count = 0;
  for (const auto & weak : timer_ptrs_) {
    count += weak.expired() ? 0 : 1;
  }
  for (const auto & weak : waitable_ptrs_) {
    count += weak.expired() ? 0 : 1;
  }
  return count;
}

}  // namespace rclcpp
