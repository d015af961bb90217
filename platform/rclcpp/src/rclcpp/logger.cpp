#include "rclcpp/logger.hpp"

#include <stdexcept>

#include "rcutils/error_handling.h"

namespace rclcpp
{

Logger get_logger(const std::string & name) { return Logger(name); }

Logger::Logger(const std::string & name) : name_(std::make_shared<const std::string>(name)) {}

const char * Logger::get_name() const { return name_ ? name_->c_str() : nullptr; }

Logger Logger::get_child(const std::string & suffix)
{
  if (!name_) {
    return Logger();
  }
  return Logger(*name_ + "." + suffix);
}

void Logger::set_level(Level level)
{
  if (!name_) {
    return;
  }
  if (rcutils_logging_set_logger_level(name_->c_str(), static_cast<int>(level)) != RCUTILS_RET_OK) {
    const std::string message = rcutils_get_error_string().str;
    rcutils_reset_error();
    throw std::runtime_error("failed to set the level of logger '" + *name_ + "': " + message);
  }
}

}  // namespace rclcpp
