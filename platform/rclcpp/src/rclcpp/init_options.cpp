#include "rclcpp/init_options.hpp"

namespace rclcpp
{

InitOptions::InitOptions(rcl_allocator_t allocator) { (void)allocator; }

bool InitOptions::auto_initialize_logging() const { return initialize_logging_; }

InitOptions & InitOptions::auto_initialize_logging(bool initialize_logging)
{
  initialize_logging_ = initialize_logging;
  return *this;
}

}  // namespace rclcpp
