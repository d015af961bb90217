#ifndef RCLCPP__INIT_OPTIONS_HPP_
#define RCLCPP__INIT_OPTIONS_HPP_

#include "rcl/allocator.h"

namespace rclcpp
{

/// Options of rclcpp::init and Context::init.
class InitOptions
{
public:
  /// When true, SIGINT and SIGTERM (if their handlers are installed) shut the context down.
  bool shutdown_on_signal = true;

  /// The allocator is accepted for compatibility; memory comes from the C++ runtime.
  explicit InitOptions(rcl_allocator_t allocator = rcl_get_default_allocator());

  /// Whether init configures console logging; on by default.
  bool auto_initialize_logging() const;
  InitOptions & auto_initialize_logging(bool initialize_logging);

private:
  bool initialize_logging_ = true;
};

}  // namespace rclcpp

#endif  // RCLCPP__INIT_OPTIONS_HPP_
