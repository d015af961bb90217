#include "rclcpp/node_interfaces/node_waitables.hpp"

#include <stdexcept>

namespace rclcpp
{
namespace node_interfaces
{

NodeWaitables::NodeWaitables(NodeBaseInterface * node_base) : node_base_(node_base) {}

void NodeWaitables::add_waitable(
  rclcpp::Waitable::SharedPtr waitable_ptr, rclcpp::CallbackGroup::SharedPtr group)
{
  if (group) {
    if (!node_base_->callback_group_in_node(group)) {
      throw std::runtime_error("Cannot create waitable, group not in node.");
    }
  } else {
    group = node_base_->get_default_callback_group();
  }
  group->add_waitable(waitable_ptr);
  node_base_->get_notify_guard_condition().trigger();
}

void NodeWaitables::remove_waitable(
  rclcpp::Waitable::SharedPtr waitable_ptr, rclcpp::CallbackGroup::SharedPtr group) noexcept
{
  if (!group) {
    group = node_base_->get_default_callback_group();
  }
  group->remove_waitable(waitable_ptr);
}

}  // namespace node_interfaces
}  // namespace rclcpp
