#ifndef RCLCPP__NODE_INTERFACES__NODE_WAITABLES_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_WAITABLES_HPP_

#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

/// Adds waitables to the groups of one node.
class NodeWaitables : public NodeWaitablesInterface
{
public:
  explicit NodeWaitables(NodeBaseInterface * node_base);

  void add_waitable(
    rclcpp::Waitable::SharedPtr waitable_ptr, rclcpp::CallbackGroup::SharedPtr group) override;
  void remove_waitable(
    rclcpp::Waitable::SharedPtr waitable_ptr,
    rclcpp::CallbackGroup::SharedPtr group) noexcept override;

private:
  NodeBaseInterface * node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_WAITABLES_HPP_
