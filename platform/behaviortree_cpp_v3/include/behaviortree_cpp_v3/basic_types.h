#ifndef BEHAVIORTREE_CPP_V3__BASIC_TYPES_H_
#define BEHAVIORTREE_CPP_V3__BASIC_TYPES_H_

#include <functional>
#include <ostream>
#include <stdexcept>
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

inline bool StatusCompleted(const NodeStatus & status)
{
  return status == NodeStatus::SUCCESS || status == NodeStatus::FAILURE;
}

enum class PortDirection
{
  INPUT,
  OUTPUT,
  INOUT
};

using StringView = std::string_view;

/// Parses the text of a port as T. Specialize it for types of your own; the generic version
/// throws LogicError.
template <typename T>
T convertFromString(StringView /*str*/)
{
  throw LogicError(
    "You didn't implement the template specialization of convertFromString for this type: ",
    demangle(typeid(T)));
}

template <>
std::string convertFromString<std::string>(StringView str);
/// Numbers are read as std::stoi and std::stod read them: leading blanks and trailing text are
/// ignored; text without a number raises std::invalid_argument, one out of range
/// std::out_of_range.
template <>
int convertFromString<int>(StringView str);
template <>
double convertFromString<double>(StringView str);
/// 0, 1, true, false, True, False, TRUE or FALSE; RuntimeError otherwise.
template <>
bool convertFromString<bool>(StringView str);
/// "IDLE", "RUNNING", "SUCCESS" or "FAILURE"; RuntimeError otherwise.
template <>
NodeStatus convertFromString<NodeStatus>(StringView str);

using StringConverter = std::function<Any(StringView)>;

template <typename T>
StringConverter GetAnyFromStringFunctor()
{
  return [](StringView str) { return Any(convertFromString<T>(str)); };
}

template <>
inline StringConverter GetAnyFromStringFunctor<void>()
{
  return {};
}

/// Text of a value: strings as they are, numbers with std::to_string.
template <typename T>
std::string toStr(T value)
{
  if constexpr (std::is_arithmetic_v<T>) {
    return std::to_string(value);
  } else {
    return std::string(value);
  }
}

template <>
std::string toStr<NodeStatus>(NodeStatus status);

std::ostream & operator<<(std::ostream & os, const NodeStatus & status);

/// A value of T, or the text of the error that prevented it.
template <typename T>
using Optional = nonstd::expected<T, std::string>;

/// Success, or the text of the error.
using Result = Optional<void>;

/// "ID", "name" and "_description" are attributes of the XML format, never ports.
inline bool IsReservedPortname(StringView name)
{
  return name == "ID" || name == "name" || name == "_description";
}

/// Direction, type, description and default value of one port of a node type. A port made
/// without a type (T = void) is not strongly typed and accepts any value.
class PortInfo
{
public:
  PortInfo(PortDirection direction = PortDirection::INOUT);
  PortInfo(PortDirection direction, const std::type_info & type_info, StringConverter conv);

  PortDirection direction() const;

  /// Null when the port is not strongly typed.
  const std::type_info * type() const;
  bool isStronglyTyped() const { return type_ != nullptr; }

  /// The text parsed as the port's type; empty when the port has no converter.
  Any parseString(const char * str) const;
  Any parseString(const std::string & str) const;

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

/// Throws std::runtime_error for a reserved name (see IsReservedPortname).
template <typename T = void>
std::pair<std::string, PortInfo> CreatePort(
  PortDirection direction, StringView name, StringView description = {})
{
  if (IsReservedPortname(name)) {
    throw std::runtime_error("A port can not use a reserved name. See ReservedPortNames");
  }
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

/// An input port whose value is `default_value` when the tree does not give one.
template <typename T = void>
std::pair<std::string, PortInfo> InputPort(
  StringView name, const T & default_value, StringView description)
{
  auto out = CreatePort<T>(PortDirection::INPUT, name, description);
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
