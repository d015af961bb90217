#ifndef RCLCPP__LOGGER_HPP_
#define RCLCPP__LOGGER_HPP_

#include <memory>
#include <string>

namespace rclcpp
{

class Logger;

/// A logger of the given name; "a.b" is the child "b" of "a".
Logger get_logger(const std::string & name);

/// A named logger; the logging macros take one.
class Logger
{
public:
  Logger(const Logger &) = default;
  Logger & operator=(const Logger &) = default;

  const char * get_name() const;

private:
  friend Logger rclcpp::get_logger(const std::string & name);

  explicit Logger(const std::string & name);

  std::shared_ptr<const std::string> name_;
};

}  // namespace rclcpp

#endif  // RCLCPP__LOGGER_HPP_
