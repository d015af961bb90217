#ifndef RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_
#define RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_

#include <cstddef>
#include <stdexcept>
#include <string>

namespace rclcpp
{
namespace exceptions
{

/// A node name, namespace or topic name that does not follow the naming rules.
class NameValidationError : public std::invalid_argument
{
public:
  NameValidationError(
    const char * name_type, const char * name, const char * error_msg, size_t invalid_index);

  static std::string format_error(
    const char * name_type, const char * name, const char * error_msg, size_t invalid_index);

  const std::string name_type;
  const std::string name;
  const std::string error_msg;
  const size_t invalid_index;
};

class InvalidNodeNameError : public NameValidationError
{
public:
  InvalidNodeNameError(const char * node_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("node name", node_name, error_msg, invalid_index)
  {
  }
};

class InvalidNamespaceError : public NameValidationError
{
public:
  InvalidNamespaceError(const char * namespace_, const char * error_msg, size_t invalid_index)
  : NameValidationError("namespace", namespace_, error_msg, invalid_index)
  {
  }
};

class InvalidTopicNameError : public NameValidationError
{
public:
  InvalidTopicNameError(const char * topic_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("topic name", topic_name, error_msg, invalid_index)
  {
  }
};

class InvalidServiceNameError : public NameValidationError
{
public:
  InvalidServiceNameError(const char * service_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("service name", service_name, error_msg, invalid_index)
  {
  }
};

/// An operation of the client library failed, for example on a context that is not initialized.
class RCLError : public std::runtime_error
{
public:
  explicit RCLError(const std::string & message) : std::runtime_error(message) {}
};

}  // namespace exceptions
}  // namespace rclcpp

#endif  // RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_
