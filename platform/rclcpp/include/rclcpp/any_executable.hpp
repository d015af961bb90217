#ifndef RCLCPP__ANY_EXECUTABLE_HPP_
#define RCLCPP__ANY_EXECUTABLE_HPP_

#include <memory>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/waitable.hpp"

namespace rclcpp
{

/// One unit of work an executor took and will run: the entity, its group and the taken data.
struct AnyExecutable
{
  rclcpp::Waitable::SharedPtr waitable;
  rclcpp::CallbackGroup::SharedPtr callback_group;
  std::shared_ptr<void> data;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_EXECUTABLE_HPP_
