#ifndef RCLCPP__SUBSCRIPTION_BASE_HPP_
#define RCLCPP__SUBSCRIPTION_BASE_HPP_

#include <cstdint>
#include <memory>
#include <string>

#include "rclcpp/context.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/waitable.hpp"

namespace rclcpp
{

namespace detail
{
class MessageInbox;
}  // namespace detail

/// The type-independent part of a subscription: its place in the graph and its queue.
/**
 * Received messages wait in a queue of the history depth (keep last: the oldest is dropped
 * when full) until the executor holding the subscription's group takes them one by one.
 */
class SubscriptionBase : public rclcpp::Waitable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(SubscriptionBase)

  /// Registers the subscription on the topic `topic_name` resolved in the node's namespace.
  SubscriptionBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
    const char * type_name, const rclcpp::QoS & qos);
  ~SubscriptionBase() override;

  /// The resolved topic name.
  const char * get_topic_name() const;

  /// Publishers of the same topic and type.
  size_t get_publisher_count() const;

  rclcpp::QoS get_actual_qos() const;

  bool is_ready() override;

  /// The oldest queued message as a std::shared_ptr<const MessageT>.
  std::shared_ptr<void> take_data() override;

private:
  std::string topic_name_;
  rclcpp::QoS qos_;
  std::shared_ptr<detail::MessageInbox> inbox_;
  uint64_t endpoint_id_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_BASE_HPP_
