#ifndef RCLCPP__WAITABLE_HPP_
#define RCLCPP__WAITABLE_HPP_

#include <memory>

#include "rclcpp/macros.hpp"

namespace rclcpp
{

class CallbackGroup;

namespace detail
{
class CallbackGroupLink;
}  // namespace detail

/// Something an executor waits on and runs: a subscription, service, client, timer or any
/// entity built on top of them.
/**
 * An executor runs a waitable only while it holds the waitable's callback group: it asks
 * is_ready(), takes one unit of work with take_data() and hands it to execute(). A waitable
 * calls notify_callback_group() when new work arrives so that the executor wakes up.
 */
class Waitable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Waitable)

  Waitable();
  virtual ~Waitable();

  Waitable(const Waitable &) = delete;
  Waitable & operator=(const Waitable &) = delete;

  /// True when take_data() has work to hand out.
  virtual bool is_ready() = 0;

  /// Remove one unit of work; null when another thread took it first.
  virtual std::shared_ptr<void> take_data() = 0;

  /// Run the callback on data returned by take_data().
  virtual void execute(std::shared_ptr<void> & data) = 0;

  /// Wake the executor serving this waitable's group; safe from any thread.
  void notify_callback_group();

protected:
  /// Shared with objects that must wake the executor on the waitable's behalf (an inbox the
  /// graph writes to) without keeping the waitable alive.
  std::shared_ptr<detail::CallbackGroupLink> callback_group_link() const;

private:
  friend class CallbackGroup;

  std::shared_ptr<detail::CallbackGroupLink> group_link_;
};

}  // namespace rclcpp

#endif  // RCLCPP__WAITABLE_HPP_
