#include "rclcpp/node_options.hpp"

#include <utility>

namespace rclcpp
{

rclcpp::Context::SharedPtr NodeOptions::context() const { return context_; }

NodeOptions & NodeOptions::context(rclcpp::Context::SharedPtr context)
{
  context_ = std::move(context);
  return *this;
}

}  // namespace rclcpp
