#ifndef RCLCPP__NODE_OPTIONS_HPP_
#define RCLCPP__NODE_OPTIONS_HPP_

#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"

namespace rclcpp
{

/// Options of a node.
class NodeOptions
{
public:
  NodeOptions() = default;

  /// The context the node lives in; the default context unless set.
  rclcpp::Context::SharedPtr context() const;
  NodeOptions & context(rclcpp::Context::SharedPtr context);

private:
  rclcpp::Context::SharedPtr context_ = rclcpp::contexts::get_global_default_context();
};

}  // namespace rclcpp

#endif  // RCLCPP__NODE_OPTIONS_HPP_
