#include "rclcpp/executors.hpp"

#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp
{

void detail::throw_if_no_temporary_executor()
{
  if (!rclcpp::contexts::get_global_default_context()->is_valid()) {
    throw rclcpp::exceptions::RCLError(
      "failed to create guard condition: the given context is not valid, either rcl_init() was "
      "not called or rcl_shutdown() was called.");
  }
}

void spin_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr)
{
  detail::throw_if_no_temporary_executor();
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.spin_node_some(node_ptr);
}

void spin_some(rclcpp::Node::SharedPtr node_ptr)
{
  rclcpp::spin_some(node_ptr->get_node_base_interface());
}

void spin(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr)
{
  detail::throw_if_no_temporary_executor();
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_ptr);
  executor.spin();
  executor.remove_node(node_ptr);
}

void spin(rclcpp::Node::SharedPtr node_ptr) { rclcpp::spin(node_ptr->get_node_base_interface()); }

}  // namespace rclcpp
