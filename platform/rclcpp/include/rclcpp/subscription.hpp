#ifndef RCLCPP__SUBSCRIPTION_HPP_
#define RCLCPP__SUBSCRIPTION_HPP_

#include <memory>
#include <string>
#include <utility>

#include "rclcpp/any_subscription_callback.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription_base.hpp"
#include "rclcpp/subscription_options.hpp"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

/// Receives messages of one type on one topic and hands them to its callback.
template <typename MessageT, typename AllocatorT = std::allocator<void>>
class Subscription : public SubscriptionBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Subscription)

  Subscription(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
    const rclcpp::QoS & qos, AnySubscriptionCallback<MessageT, AllocatorT> callback)
  : SubscriptionBase(node_base, topic_name, rosidl_generator_traits::name<MessageT>(), qos),
    callback_(std::move(callback))
  {
  }

  void execute(std::shared_ptr<void> & data) override
  {
    callback_.dispatch(std::static_pointer_cast<const MessageT>(data));
  }

private:
  AnySubscriptionCallback<MessageT, AllocatorT> callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_HPP_
