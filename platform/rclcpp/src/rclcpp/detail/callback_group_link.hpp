#ifndef RCLCPP__DETAIL__CALLBACK_GROUP_LINK_HPP_
#define RCLCPP__DETAIL__CALLBACK_GROUP_LINK_HPP_

#include <memory>
#include <mutex>

#include "rclcpp/callback_group.hpp"

namespace rclcpp
{
namespace detail
{

/// The callback group a waitable belongs to, reachable without the waitable itself, so that a
/// writer on another thread (the graph) can wake the group's executor.
class CallbackGroupLink
{
public:
  void set_group(const rclcpp::CallbackGroup::SharedPtr & group);

  /// Trigger the group's notify condition; nothing while the waitable has no group.
  void notify();

private:
  std::mutex mutex_;
  rclcpp::CallbackGroup::WeakPtr group_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__CALLBACK_GROUP_LINK_HPP_
