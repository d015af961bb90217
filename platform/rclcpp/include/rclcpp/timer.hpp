#ifndef RCLCPP__TIMER_HPP_
#define RCLCPP__TIMER_HPP_

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "rclcpp/macros.hpp"
#include "rclcpp/waitable.hpp"

namespace rclcpp
{

/// A periodic trigger on the steady clock; an executor that holds its group runs the callback.
/**
 * Calls that fall behind are not made up: after a late call the next one is due at the next
 * multiple of the period.
 */
class TimerBase : public rclcpp::Waitable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(TimerBase)

  explicit TimerBase(std::chrono::nanoseconds period);
  ~TimerBase() override;

  /// Stop calling the callback until reset().
  void cancel();
  bool is_canceled();

  /// Restart the period from now and undo a cancel.
  void reset();

  virtual void execute_callback() = 0;

  /// Time left until the next call is due (negative when overdue).
  std::chrono::nanoseconds time_until_trigger();

  /// The steady time of the next call; time_point::max() while cancelled.
  std::chrono::steady_clock::time_point next_call_time();

  /// Always true: timers run on the steady clock.
  bool is_steady();

  bool is_ready() override;
  std::shared_ptr<void> take_data() override;
  void execute(std::shared_ptr<void> & data) override;

private:
  std::mutex mutex_;
  const std::chrono::nanoseconds period_;
  std::chrono::steady_clock::time_point next_call_;
  bool canceled_ = false;
};

/// A timer over a callback taking nothing or the timer itself.
template <typename FunctorT>
class WallTimer : public TimerBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(WallTimer)

  WallTimer(std::chrono::nanoseconds period, FunctorT && callback)
  : TimerBase(period), callback_(std::forward<FunctorT>(callback))
  {
  }

  void execute_callback() override
  {
    if constexpr (std::is_invocable_v<FunctorT &>) {
      callback_();
    } else {
      static_assert(
        std::is_invocable_v<FunctorT &, TimerBase &>,
        "Timer callback must take no argument or a rclcpp::TimerBase &");
      callback_(*this);
    }
  }

private:
  FunctorT callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__TIMER_HPP_
