#include "rclcpp/logger.hpp"

namespace rclcpp
{

Logger get_logger(const std::string & name) { return Logger(name); }

Logger::Logger(const std::string & name) : name_(std::make_shared<const std::string>(name)) {}

const char * Logger::get_name() const { return name_->c_str(); }

}  // namespace rclcpp
