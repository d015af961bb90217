#ifndef BEHAVIORTREE_CPP_V3__UTILS__SAFE_ANY_HPP_
#define BEHAVIORTREE_CPP_V3__UTILS__SAFE_ANY_HPP_

#include <any>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

#include "behaviortree_cpp_v3/utils/demangle_util.h"
#include "behaviortree_cpp_v3/utils/strcat.hpp"

namespace BT
{
/// A value of any copyable type, as the blackboard stores it. Integers, enums and bool are kept
/// as int64_t (uint64_t as itself), floating point numbers as double and text as std::string;
/// type() is the type the value was given as.
///
/// cast<T>() returns the value as T when it is held as T, converts numbers to another
/// arithmetic type when the value fits it exactly (any number converts to bool as "!= 0") and
/// numbers to text; it never parses text. Every other case throws std::runtime_error.
class Any
{
public:
  Any() = default;

  template <typename T, typename = std::enable_if_t<!std::is_same_v<std::decay_t<T>, Any>>>
  explicit Any(const T & value) : original_type_(&originalType<T>())
  {
    if constexpr (std::is_same_v<T, uint64_t> || std::is_same_v<T, double>) {
      value_ = value;
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
      value_ = static_cast<int64_t>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
      value_ = static_cast<double>(value);
    } else if constexpr (std::is_convertible_v<const T &, std::string_view>) {
      value_ = std::string(std::string_view(value));
    } else {
      value_ = value;
    }
  }

  bool empty() const noexcept { return !value_.has_value(); }

  /// The type the value was given as; typeid(void) when empty.
  const std::type_info & type() const noexcept { return *original_type_; }

  bool isNumber() const
  {
    const auto & held = value_.type();
    return held == typeid(int64_t) || held == typeid(uint64_t) || held == typeid(double);
  }

  bool isString() const { return value_.type() == typeid(std::string); }

  template <typename T>
  T cast() const
  {
    if (empty()) {
      throw std::runtime_error("Any::cast failed because it is empty");
    }
    if (const T * exact = std::any_cast<T>(&value_)) {
      return *exact;
    }
    if constexpr (std::is_same_v<T, std::string>) {
      if (const auto * integer = std::any_cast<int64_t>(&value_)) {
        return std::to_string(*integer);
      }
      if (const auto * integer = std::any_cast<uint64_t>(&value_)) {
        return std::to_string(*integer);
      }
      if (const auto * real = std::any_cast<double>(&value_)) {
        return std::to_string(*real);
      }
    } else if constexpr (std::is_arithmetic_v<T>) {
      if (const auto * integer = std::any_cast<int64_t>(&value_)) {
        return convertNumber<T>(*integer);
      }
      if (const auto * integer = std::any_cast<uint64_t>(&value_)) {
        return convertNumber<T>(*integer);
      }
      if (const auto * real = std::any_cast<double>(&value_)) {
        return convertNumber<T>(*real);
      }
    } else if constexpr (std::is_enum_v<T>) {
      if (const auto * integer = std::any_cast<int64_t>(&value_)) {
        return static_cast<T>(*integer);
      }
      if (const auto * integer = std::any_cast<uint64_t>(&value_)) {
        return static_cast<T>(*integer);
      }
    }
    throw std::runtime_error(StrCat(
      "[Any::convert]: no known safe conversion between [", demangle(value_.type()), "] and [",
      demangle(typeid(T)), "]"));
  }

private:
  template <typename T>
  static const std::type_info & originalType()
  {
    if constexpr (!std::is_arithmetic_v<T> && std::is_convertible_v<const T &, std::string_view>) {
      return typeid(std::string);
    } else {
      return typeid(T);
    }
  }

  template <typename Dst, typename Src>
  static Dst convertNumber(Src from)
  {
    if constexpr (std::is_same_v<Dst, bool>) {
      return from != 0;
    } else if constexpr (std::is_floating_point_v<Dst>) {
      if (static_cast<Src>(static_cast<Dst>(from)) != from) {
        throw std::runtime_error("Floating point truncated");
      }
      return static_cast<Dst>(from);
    } else {
      if constexpr (std::is_signed_v<Src> && !std::is_signed_v<Dst>) {
        if (from < 0) {
          throw std::runtime_error("Value is negative and can't be converted to signed");
        }
      }
      // Both limits are powers of two or one less, so long double compares them exactly.
      const long double wide = from;
      if (wide < static_cast<long double>(std::numeric_limits<Dst>::min())) {
        throw std::runtime_error("Value too small.");
      }
      if (wide > static_cast<long double>(std::numeric_limits<Dst>::max())) {
        throw std::runtime_error("Value too large.");
      }
      if constexpr (std::is_floating_point_v<Src>) {
        if (static_cast<Src>(static_cast<Dst>(from)) != from) {
          throw std::runtime_error("Floating point truncated");
        }
      }
      return static_cast<Dst>(from);
    }
  }

  std::any value_;
  const std::type_info * original_type_ = &typeid(void);
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__UTILS__SAFE_ANY_HPP_
