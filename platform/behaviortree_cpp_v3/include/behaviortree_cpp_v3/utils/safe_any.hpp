#ifndef BEHAVIORTREE_CPP_V3__UTILS__SAFE_ANY_HPP_
#define BEHAVIORTREE_CPP_V3__UTILS__SAFE_ANY_HPP_

#include <any>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

#include "behaviortree_cpp_v3/exceptions.h"
#include "behaviortree_cpp_v3/utils/demangle_util.h"

namespace BT
{
// Defined, with its specializations, in basic_types.h.
template <typename T>
T convertFromString(std::string_view str);

/// A value of any copyable type, as the blackboard stores it. Numbers are kept in a wide form
/// (int64_t, uint64_t or double) so that they can be read back as any arithmetic type that
/// holds the value exactly; text is kept as std::string and can be read back as any type that
/// convertFromString parses. type() is the type the value was given as.
class Any
{
public:
  Any() = default;

  template <typename T, typename = std::enable_if_t<!std::is_same_v<std::decay_t<T>, Any>>>
  explicit Any(const T & value) : original_type_(&originalType<T>())
  {
    if constexpr (std::is_same_v<T, bool>) {
      value_ = value;
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
      value_ = static_cast<int64_t>(value);
    } else if constexpr (std::is_integral_v<T>) {
      value_ = static_cast<uint64_t>(value);
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
    const auto & stored = value_.type();
    return stored == typeid(int64_t) || stored == typeid(uint64_t) || stored == typeid(double) ||
           stored == typeid(bool);
  }

  bool isString() const { return value_.type() == typeid(std::string); }

  /// The value as T. Throws RuntimeError when empty, when a number does not fit T exactly, or
  /// when the value cannot be converted to T; text is parsed with convertFromString<T>.
  template <typename T>
  T cast() const
  {
    if (empty()) {
      throw RuntimeError("Any::cast failed because it is empty");
    }
    if (const T * exact = std::any_cast<T>(&value_)) {
      return *exact;
    }
    if constexpr (std::is_arithmetic_v<T>) {
      if (isNumber()) {
        return castNumber<T>();
      }
    }
    if constexpr (std::is_same_v<T, std::string>) {
      if (isNumber()) {
        return numberToString();
      }
    }
    if (isString()) {
      return convertFromString<T>(*std::any_cast<std::string>(&value_));
    }
    throw RuntimeError(
      "Any::cast failed: a value of type [", demangle(type()), "] can not be converted to [",
      demangle(typeid(T)), "]");
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

  template <typename T>
  T castNumber() const
  {
    if (const bool * flag = std::any_cast<bool>(&value_)) {
      return static_cast<T>(*flag);
    }
    if (const double * real = std::any_cast<double>(&value_)) {
      return castReal<T>(*real);
    }
    if (const int64_t * integer = std::any_cast<int64_t>(&value_)) {
      return castInteger<T>(*integer);
    }
    return castInteger<T>(*std::any_cast<uint64_t>(&value_));
  }

  template <typename T>
  T castReal(double real) const
  {
    if constexpr (std::is_floating_point_v<T>) {
      return static_cast<T>(real);
    } else {
      if (std::trunc(real) != real) {
        throw RuntimeError("Any::cast failed: floating point value would be truncated");
      }
      if constexpr (std::is_same_v<T, bool>) {
        if (real != 0.0 && real != 1.0) {
          throw RuntimeError("Any::cast failed: only 0 and 1 convert to bool");
        }
        return real == 1.0;
      } else {
        // Both bounds are powers of two or one less, so comparing as long double is exact.
        const long double wide = real;
        if (
          wide < static_cast<long double>(std::numeric_limits<T>::min()) ||
          wide > static_cast<long double>(std::numeric_limits<T>::max())) {
          throw RuntimeError("Any::cast failed: value out of range of the requested type");
        }
        return static_cast<T>(real);
      }
    }
  }

  template <typename T, typename Integer>
  T castInteger(Integer integer) const
  {
    if constexpr (std::is_floating_point_v<T>) {
      return static_cast<T>(integer);
    } else if constexpr (std::is_same_v<T, bool>) {
      if (integer != 0 && integer != 1) {
        throw RuntimeError("Any::cast failed: only 0 and 1 convert to bool");
      }
      return integer == 1;
    } else {
      if (!fitsIn<T>(integer)) {
        throw RuntimeError("Any::cast failed: value out of range of the requested type");
      }
      return static_cast<T>(integer);
    }
  }

  template <typename T, typename Integer>
  static bool fitsIn(Integer integer)
  {
    if constexpr (std::is_signed_v<Integer> == std::is_signed_v<T>) {
      return integer >= std::numeric_limits<T>::min() && integer <= std::numeric_limits<T>::max();
    } else if constexpr (std::is_signed_v<Integer>) {
      return integer >= 0 &&
             static_cast<std::make_unsigned_t<Integer>>(integer) <= std::numeric_limits<T>::max();
    } else {
      return integer <= static_cast<std::make_unsigned_t<T>>(std::numeric_limits<T>::max());
    }
  }

  std::string numberToString() const;

  std::any value_;
  const std::type_info * original_type_ = &typeid(void);
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__UTILS__SAFE_ANY_HPP_
