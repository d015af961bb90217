#ifndef BEHAVIORTREE_CPP_V3__BASIC_TYPES_H_
#define BEHAVIORTREE_CPP_V3__BASIC_TYPES_H_

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <utility>

#include "behaviortree_cpp_v3/exceptions.h"
#include "behaviortree_cpp_v3/utils/demangle_util.h"
#include "behaviortree_cpp_v3/utils/expected.hpp"
#include "behaviortree_cpp_v3/utils/safe_any.hpp"

namespace BT
{
enum class NodeType
{
  UNDEFINED = 0,
  ACTION,
  CONDITION,
  CONTROL,
  DECORATOR,
  SUBTREE
};

/// Status of a node. A node is IDLE before its first tick and after it has been halted or its
/// parent has collected its result; RUNNING between ticks of an unfinished job.
enum class NodeStatus
{
  IDLE = 0,
  RUNNING,
  SUCCESS,
  FAILURE
};

enum class PortDirection
{
  INPUT,
  OUTPUT,
  INOUT
};

using StringView = std::string_view;

/// Parses the text of a port or blackboard entry as T. Specialize it for types of your own;
/// the generic version throws LogicError.
template <typename T>
T convertFromString(StringView /*str*/)
{
  throw LogicError(
    "You didn't implement the template specialization of convertFromString for this type: ",
    demangle(typeid(T)));
}

// The arithmetic versions accept the whole text only (no blanks, no trailing characters) and
// throw RuntimeError otherwise. bool accepts 0, 1, true, false, True, False, TRUE and FALSE.
template <>
std::string convertFromString<std::string>(StringView str);
template <>
int convertFromString<int>(StringView str);
template <>
long convertFromString<long>(StringView str);
template <>
unsigned convertFromString<unsigned>(StringView str);
template <>
unsigned long convertFromString<unsigned long>(StringView str);
template <>
float convertFromString<float>(StringView str);
template <>
double convertFromString<double>(StringView str);
template <>
bool convertFromString<bool>(StringView str);
/// "IDLE", "RUNNING", "SUCCESS" or "FAILURE".
template <>
NodeStatus convertFromString<NodeStatus>(StringView str);
/// "Action", "Condition", "Control", "Decorator", "SubTree" or "SubTreePlus"; UNDEFINED otherwise.
template <>
NodeType convertFromString<NodeType>(StringView str);
/// "Input" or "INPUT", "Output" or "OUTPUT"; INOUT otherwise.
template <>
PortDirection convertFromString<PortDirection>(StringView str);

using StringConverter = std::function<Any(StringView)>;

template <typename T>
StringConverter GetAnyFromStringFunctor()
{
  if constexpr (std::is_void_v<T>) {
    return {};
  } else {
    return [](StringView str) { return Any(convertFromString<T>(str)); };
  }
}

template <typename T>
struct always_false : std::false_type
{
};

/// Text of a value: strings as they are, numbers with std::to_string.
template <typename T>
std::string toStr(T value)
{
  if constexpr (std::is_convertible_v<T, std::string>) {
    return std::string(value);
  } else if constexpr (std::is_arithmetic_v<T>) {
    return std::to_string(value);
  } else {
    static_assert(always_false<T>::value, "toStr: no conversion to text for this type");
  }
}

template <>
std::string toStr<NodeStatus>(NodeStatus status);
template <>
std::string toStr<NodeType>(NodeType type);
template <>
std::string toStr<PortDirection>(PortDirection direction);

std::ostream & operator<<(std::ostream & os, const NodeStatus & status);

/// A value of T, or the text of the error that prevented it.
template <typename T>
using Optional = nonstd::expected<T, std::string>;

/// Success, or the text of the error.
using Result = Optional<void>;

/// Direction, type, description and default value of one port of a node type. A port made
/// without a type (T = void) is not strongly typed and accepts any value.
class PortInfo
{
public:
  PortInfo(PortDirection direction = PortDirection::INOUT);
  PortInfo(PortDirection direction, const std::type_info & type_info, StringConverter converter);

  PortDirection direction() const;

  /// Null when the port is not strongly typed.
  const std::type_info * type() const;
  bool isStronglyTyped() const;

  /// The text parsed as the port's type; empty when the port is not strongly typed.
  Any parseString(StringView str) const;

  void setDescription(StringView description);
  void setDefaultValue(StringView default_value_as_string);
  const std::string & description() const;
  /// Empty when the port has no default value.
  const std::string & defaultValue() const;

private:
  PortDirection direction_;
  const std::type_info * type_;
  StringConverter converter_;
  std::string description_;
  std::string default_value_;
};

using PortsList = std::unordered_map<std::string, PortInfo>;

/// Throws RuntimeError for "ID" and "name", which the XML format keeps for itself.
void checkPortName(StringView name);

template <typename T = void>
std::pair<std::string, PortInfo> CreatePort(
  PortDirection direction, StringView name, StringView description = {})
{
  checkPortName(name);
  std::pair<std::string, PortInfo> out;
  out.first = std::string(name);
  if constexpr (std::is_void_v<T>) {
    out.second = PortInfo(direction);
  } else {
    out.second = PortInfo(direction, typeid(T), GetAnyFromStringFunctor<T>());
  }
  out.second.setDescription(description);
  return out;
}

template <typename T = void>
std::pair<std::string, PortInfo> InputPort(StringView name, StringView description = {})
{
  return CreatePort<T>(PortDirection::INPUT, name, description);
}

template <typename T = void>
std::pair<std::string, PortInfo> OutputPort(StringView name, StringView description = {})
{
  return CreatePort<T>(PortDirection::OUTPUT, name, description);
}

template <typename T = void>
std::pair<std::string, PortInfo> BidirectionalPort(StringView name, StringView description = {})
{
  return CreatePort<T>(PortDirection::INOUT, name, description);
}

/// An input port whose value is `default_value` when the tree does not give one.
template <typename T = void>
std::pair<std::string, PortInfo> InputPort(
  StringView name, const T & default_value, StringView description)
{
  auto out = CreatePort<T>(PortDirection::INPUT, name, description);
  out.second.setDefaultValue(toStr(default_value));
  return out;
}

template <typename T = void>
std::pair<std::string, PortInfo> BidirectionalPort(
  StringView name, const T & default_value, StringView description)
{
  auto out = CreatePort<T>(PortDirection::INOUT, name, description);
  out.second.setDefaultValue(toStr(default_value));
  return out;
}

template <typename T, typename = void>
struct has_static_method_providedPorts : std::false_type
{
};

template <typename T>
struct has_static_method_providedPorts<
  T, std::enable_if_t<std::is_same_v<decltype(T::providedPorts()), PortsList>>> : std::true_type
{
};

/// T::providedPorts() when T has it, an empty list otherwise.
template <typename T>
PortsList getProvidedPorts()
{
  if constexpr (has_static_method_providedPorts<T>::value) {
    return T::providedPorts();
  } else {
    return {};
  }
}

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__BASIC_TYPES_H_
