#ifndef RCLCPP__PUBLISHER_HPP_
#define RCLCPP__PUBLISHER_HPP_

#include <memory>
#include <string>
#include <utility>

#include "rclcpp/macros.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/qos.hpp"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

/// Publishes messages of one type on one topic.
template <typename MessageT, typename AllocatorT = std::allocator<void>>
class Publisher : public PublisherBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Publisher<MessageT, AllocatorT>)

  using MessageUniquePtr = std::unique_ptr<MessageT>;
  using MessageSharedPtr = std::shared_ptr<const MessageT>;

  Publisher(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic,
    const rclcpp::QoS & qos)
  : PublisherBase(node_base, topic, rosidl_generator_traits::name<MessageT>(), qos)
  {
  }

  /// Publish a copy of `msg`.
  void publish(const MessageT & msg) { publish_type_erased(std::make_shared<const MessageT>(msg)); }

  /// Publish `msg` without copying it; the publisher takes ownership.
  void publish(std::unique_ptr<MessageT> msg)
  {
    publish_type_erased(std::shared_ptr<const MessageT>(std::move(msg)));
  }
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_HPP_
