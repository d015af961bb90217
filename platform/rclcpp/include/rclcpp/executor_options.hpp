#ifndef RCLCPP__EXECUTOR_OPTIONS_HPP_
#define RCLCPP__EXECUTOR_OPTIONS_HPP_

#include <cstddef>

#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"

namespace rclcpp
{

/// Options of an executor.
struct ExecutorOptions
{
  ExecutorOptions() : context(rclcpp::contexts::get_global_default_context()), max_conditions(0) {}

  /// The context whose shutdown ends the executor's spinning.
  rclcpp::Context::SharedPtr context;
  /// Carried only.
  size_t max_conditions;
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_OPTIONS_HPP_
