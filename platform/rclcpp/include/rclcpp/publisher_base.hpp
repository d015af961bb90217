#ifndef RCLCPP__PUBLISHER_BASE_HPP_
#define RCLCPP__PUBLISHER_BASE_HPP_

#include <cstdint>
#include <memory>
#include <string>

#include "rclcpp/context.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp
{

/// The type-independent part of a publisher: its place in the graph.
class PublisherBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(PublisherBase)

  /// Registers the publisher on the topic `topic_name` resolved in the node's namespace.
  PublisherBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
    const char * type_name, const rclcpp::QoS & qos);
  virtual ~PublisherBase();

  PublisherBase(const PublisherBase &) = delete;
  PublisherBase & operator=(const PublisherBase &) = delete;

  /// The resolved topic name.
  const char * get_topic_name() const;

  /// Subscriptions of the same topic and type.
  size_t get_subscription_count() const;

  rclcpp::QoS get_actual_qos() const;

protected:
  /// Hand an immutable message to every matching subscription; a no-op after shutdown.
  void publish_type_erased(std::shared_ptr<const void> message);

private:
  rclcpp::Context::SharedPtr context_;
  std::string topic_name_;
  rclcpp::QoS qos_;
  uint64_t endpoint_id_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_BASE_HPP_
