#include "rclcpp/waitable.hpp"

#include "rclcpp/detail/callback_group_link.hpp"

namespace rclcpp
{
namespace detail
{

void CallbackGroupLink::set_group(const rclcpp::CallbackGroup::SharedPtr & group)
{
  std::lock_guard<std::mutex> lock(mutex_);
  group_ = group;
}

void CallbackGroupLink::notify()
{
  rclcpp::CallbackGroup::SharedPtr group;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    group = group_.lock();
  }
  if (group) {
    group->trigger_notify_guard_condition();
  }
}

}  // namespace detail

Waitable::Waitable() : group_link_(std::make_shared<detail::CallbackGroupLink>()) {}

Waitable::~Waitable() = default;

void Waitable::notify_callback_group() { group_link_->notify(); }

std::shared_ptr<detail::CallbackGroupLink> Waitable::callback_group_link() const
{
  return group_link_;
}

}  // namespace rclcpp
