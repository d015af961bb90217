#ifndef RCLCPP__LOGGER_HPP_
#define RCLCPP__LOGGER_HPP_

#include <memory>
#include <string>

#include "rcutils/logging.h"

namespace rclcpp
{

class Logger;

/// A logger of the given name; "a.b" is the child "b" of "a".
Logger get_logger(const std::string & name);

/// A named logger; the logging macros take one.
class Logger
{
public:
  enum class Level
  {
    Unset = RCUTILS_LOG_SEVERITY_UNSET,
    Debug = RCUTILS_LOG_SEVERITY_DEBUG,
    Info = RCUTILS_LOG_SEVERITY_INFO,
    Warn = RCUTILS_LOG_SEVERITY_WARN,
    Error = RCUTILS_LOG_SEVERITY_ERROR,
    Fatal = RCUTILS_LOG_SEVERITY_FATAL,
  };

  Logger(const Logger &) = default;
  Logger & operator=(const Logger &) = default;

  /// The logger's name; null for a logger that discards everything.
  const char * get_name() const;

  /// The logger named "<this name>.<suffix>".
  Logger get_child(const std::string & suffix);

  /// Threshold below which this logger's messages are dropped.
  void set_level(Level level);

private:
  friend Logger rclcpp::get_logger(const std::string & name);

  Logger() = default;
  explicit Logger(const std::string & name);

  std::shared_ptr<const std::string> name_;
};

}  // namespace rclcpp

#endif  // RCLCPP__LOGGER_HPP_
