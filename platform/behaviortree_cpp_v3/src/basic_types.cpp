#include "behaviortree_cpp_v3/basic_types.h"

#include <charconv>
#include <cstdlib>
#include <memory>
#include <system_error>

#include <cxxabi.h>

namespace BT
{
namespace
{
template <typename Number>
Number parseNumber(StringView str, const char * kind)
{
  Number value{};
  const char * const end = str.data() + str.size();
  const auto [stop, error] = std::from_chars(str.data(), end, value);
  if (str.empty() || error != std::errc() || stop != end) {
    throw RuntimeError("Can't convert string [", str, "] to ", kind);
  }
  return value;
}

}  // namespace

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
  return parseNumber<int>(str, "integer");
}

template <>
long convertFromString<long>(StringView str)
{
  return parseNumber<long>(str, "integer");
}

template <>
unsigned convertFromString<unsigned>(StringView str)
{
  return parseNumber<unsigned>(str, "unsigned integer");
}

template <>
unsigned long convertFromString<unsigned long>(StringView str)
{
  return parseNumber<unsigned long>(str, "unsigned integer");
}

template <>
float convertFromString<float>(StringView str)
{
  return parseNumber<float>(str, "floating point");
}

template <>
double convertFromString<double>(StringView str)
{
  return parseNumber<double>(str, "floating point");
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
  throw RuntimeError("convertFromString(): invalid bool conversion of [", str, "]");
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
NodeType convertFromString<NodeType>(StringView str)
{
  if (str == "Action") {
    return NodeType::ACTION;
  }
  if (str == "Condition") {
    return NodeType::CONDITION;
  }
  if (str == "Control") {
    return NodeType::CONTROL;
  }
  if (str == "Decorator") {
    return NodeType::DECORATOR;
  }
  if (str == "SubTree" || str == "SubTreePlus") {
    return NodeType::SUBTREE;
  }
  return NodeType::UNDEFINED;
}

template <>
PortDirection convertFromString<PortDirection>(StringView str)
{
  if (str == "Input" || str == "INPUT") {
    return PortDirection::INPUT;
  }
  if (str == "Output" || str == "OUTPUT") {
    return PortDirection::OUTPUT;
  }
  return PortDirection::INOUT;
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

template <>
std::string toStr<NodeType>(NodeType type)
{
  switch (type) {
    case NodeType::ACTION:
      return "Action";
    case NodeType::CONDITION:
      return "Condition";
    case NodeType::CONTROL:
      return "Control";
    case NodeType::DECORATOR:
      return "Decorator";
    case NodeType::SUBTREE:
      return "SubTree";
    case NodeType::UNDEFINED:
      break;
  }
  return "Undefined";
}

template <>
std::string toStr<PortDirection>(PortDirection direction)
{
  switch (direction) {
    case PortDirection::INPUT:
      return "Input";
    case PortDirection::OUTPUT:
      return "Output";
    case PortDirection::INOUT:
      break;
  }
  return "InOut";
}

std::ostream & operator<<(std::ostream & os, const NodeStatus & status)
{
  return os << toStr(status);
}

void checkPortName(StringView name)
{
  if (name == "ID" || name == "name") {
    throw RuntimeError(
      "A port can not use a reserved name. ID and name are reserved, got [", name, "]");
  }
}

PortInfo::PortInfo(PortDirection direction) : direction_(direction), type_(nullptr) {}

PortInfo::PortInfo(
  PortDirection direction, const std::type_info & type_info, StringConverter converter)
: direction_(direction), type_(&type_info), converter_(std::move(converter))
{
}

PortDirection PortInfo::direction() const { return direction_; }

const std::type_info * PortInfo::type() const { return type_; }

bool PortInfo::isStronglyTyped() const { return type_ != nullptr; }

Any PortInfo::parseString(StringView str) const
{
  if (!converter_) {
    return {};
  }
  return converter_(str);
}

void PortInfo::setDescription(StringView description) { description_ = std::string(description); }

void PortInfo::setDefaultValue(StringView default_value_as_string)
{
  default_value_ = std::string(default_value_as_string);
}

const std::string & PortInfo::description() const { return description_; }

const std::string & PortInfo::defaultValue() const { return default_value_; }

std::string Any::numberToString() const
{
  if (const bool * flag = std::any_cast<bool>(&value_)) {
    return std::to_string(static_cast<int>(*flag));
  }
  if (const int64_t * integer = std::any_cast<int64_t>(&value_)) {
    return std::to_string(*integer);
  }
  if (const uint64_t * integer = std::any_cast<uint64_t>(&value_)) {
    return std::to_string(*integer);
  }
  return std::to_string(*std::any_cast<double>(&value_));
}

}  // namespace BT
