#ifndef BEHAVIORTREE_CPP_V3__UTILS__EXPECTED_HPP_
#define BEHAVIORTREE_CPP_V3__UTILS__EXPECTED_HPP_

#include <exception>
#include <type_traits>
#include <utility>
#include <variant>

namespace nonstd
{
/// The error side of an expected, as made by make_unexpected.
template <typename E>
class unexpected_type
{
public:
  explicit unexpected_type(E error) : error_(std::move(error)) {}

  const E & value() const & { return error_; }
  E && value() && { return std::move(error_); }

private:
  E error_;
};

template <typename E>
unexpected_type<std::decay_t<E>> make_unexpected(E && error)
{
  return unexpected_type<std::decay_t<E>>(std::forward<E>(error));
}

template <typename T>
struct is_unexpected : std::false_type
{
};

template <typename E>
struct is_unexpected<unexpected_type<E>> : std::true_type
{
};

template <typename E>
class bad_expected_access;

template <>
class bad_expected_access<void> : public std::exception
{
};

/// Raised by expected::value() when it holds an error; carries the error.
template <typename E>
class bad_expected_access : public bad_expected_access<void>
{
public:
  using error_type = E;

  explicit bad_expected_access(E error) : error_(std::move(error)) {}

  const char * what() const noexcept override { return "bad_expected_access"; }

  const E & error() const & { return error_; }

private:
  E error_;
};

/// Either a value of T or an error of E.
template <typename T, typename E>
class expected
{
public:
  expected() : storage_(std::in_place_index<0>) {}

  template <
    typename U = T,
    typename = std::enable_if_t<
      std::is_constructible_v<T, U &&> && !std::is_same_v<std::decay_t<U>, expected> &&
      !is_unexpected<std::decay_t<U>>::value && !std::is_same_v<std::decay_t<U>, std::in_place_t>>>
  expected(U && value) : storage_(std::in_place_index<0>, std::forward<U>(value))
  {
  }

  template <typename G>
  expected(const unexpected_type<G> & error) : storage_(std::in_place_index<1>, error.value())
  {
  }

  template <typename G>
  expected(unexpected_type<G> && error) : storage_(std::in_place_index<1>, std::move(error).value())
  {
  }

  bool has_value() const noexcept { return storage_.index() == 0; }
  explicit operator bool() const noexcept { return has_value(); }

  T & value() &
  {
    check();
    return std::get<0>(storage_);
  }
  const T & value() const &
  {
    check();
    return std::get<0>(storage_);
  }
  T && value() &&
  {
    check();
    return std::get<0>(std::move(storage_));
  }

  template <typename U>
  T value_or(U && fallback) const &
  {
    return has_value() ? std::get<0>(storage_) : static_cast<T>(std::forward<U>(fallback));
  }

  /// Precondition: !has_value().
  const E & error() const & { return std::get<1>(storage_); }

  T & operator*() & { return value(); }
  const T & operator*() const & { return value(); }
  T * operator->() { return &value(); }
  const T * operator->() const { return &value(); }

private:
  void check() const
  {
    if (!has_value()) {
      throw bad_expected_access<E>(error());
    }
  }

  std::variant<T, E> storage_;
};

/// Success without a value, or an error of E.
template <typename E>
class expected<void, E>
{
public:
  expected() = default;

  template <typename G>
  expected(const unexpected_type<G> & error) : error_(error.value()), has_error_(true)
  {
  }

  template <typename G>
  expected(unexpected_type<G> && error) : error_(std::move(error).value()), has_error_(true)
  {
  }

  bool has_value() const noexcept { return !has_error_; }
  explicit operator bool() const noexcept { return has_value(); }

  void value() const
  {
    if (has_error_) {
      throw bad_expected_access<E>(error_);
    }
  }

  /// Precondition: !has_value().
  const E & error() const & { return error_; }

private:
  E error_{};
  bool has_error_ = false;
};

}  // namespace nonstd

#endif  // BEHAVIORTREE_CPP_V3__UTILS__EXPECTED_HPP_
