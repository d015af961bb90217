#include "behaviortree_cpp_v3/basic_types.h"

#include <cstdlib>
#include <memory>

#include <cxxabi.h>

namespace BT
{
std::string demangle(const std::type_info * info)
{
  if (info == nullptr) {
    return "undefined";
  }
  return demangle(*info);
}

std::string demangle(const std::type_info & info)
{
  if (info == typeid(std::string)) {
    return "std::string";
  }
  int status = 0;
  std::unique_ptr<char, void (*)(void *)> readable(
    abi::__cxa_demangle(info.name(), nullptr, nullptr, &status), std::free);
  return status == 0 && readable ? std::string(readable.get()) : std::string(info.name());
}

template <>
std::string convertFromString<std::string>(StringView str)
{
  return std::string(str);
}

template <>
int convertFromString<int>(StringView str)
{
  return std::stoi(std::string(str));
}

template <>
double convertFromString<double>(StringView str)
{
  return std::stod(std::string(str));
}

template <>
bool convertFromString<bool>(StringView str)
{
  if (str == "1" || str == "true" || str == "True" || str == "TRUE") {
    return true;
  }
  if (str == "0" || str == "false" || str == "False" || str == "FALSE") {
    return false;
  }
  throw RuntimeError("convertFromString(): invalid bool conversion");
}

template <>
NodeStatus convertFromString<NodeStatus>(StringView str)
{
  for (NodeStatus status :
       {NodeStatus::IDLE, NodeStatus::RUNNING, NodeStatus::SUCCESS, NodeStatus::FAILURE}) {
    if (str == toStr(status)) {
      return status;
    }
  }
  throw RuntimeError("Cannot convert this to NodeStatus: ", str);
}

template <>
std::string toStr<NodeStatus>(NodeStatus status)
{
  switch (status) {
    case NodeStatus::IDLE:
      return "IDLE";
    case NodeStatus::RUNNING:
      return "RUNNING";
    case NodeStatus::SUCCESS:
      return "SUCCESS";
    case NodeStatus::FAILURE:
      return "FAILURE";
  }
  return "";
}

std::ostream & operator<<(std::ostream & os, const NodeStatus & status)
{
  return os << toStr(status);
}

PortInfo::PortInfo(PortDirection direction) : direction_(direction), type_(nullptr) {}

PortInfo::PortInfo(PortDirection direction, const std::type_info & type_info, StringConverter conv)
: direction_(direction), type_(&type_info), converter_(std::move(conv))
{
}

PortDirection PortInfo::direction() const { return direction_; }

const std::type_info * PortInfo::type() const { return type_; }

Any PortInfo::parseString(const char * str) const { return converter_ ? converter_(str) : Any(); }

Any PortInfo::parseString(const std::string & str) const
{
  return converter_ ? converter_(str) : Any();
}

void PortInfo::setDescription(StringView description) { description_ = std::string(description); }

void PortInfo::setDefaultValue(StringView default_value_as_string)
{
  default_value_ = std::string(default_value_as_string);
}

const std::string & PortInfo::description() const { return description_; }

const std::string & PortInfo::defaultValue() const { return default_value_; }

}  // namespace BT
