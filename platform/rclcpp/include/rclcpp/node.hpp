#ifndef RCLCPP__NODE_HPP_
#define RCLCPP__NODE_HPP_

#include <chrono>
#include <memory>
#include <string>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables_interface.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/publisher_options.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp/subscription.hpp"
#include "rclcpp/subscription_options.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp/timer.hpp"
#include "rmw/qos_profiles.h"

namespace rclcpp
{

/// A named participant of the graph that owns publishers, subscriptions, services, clients
/// and timers; usable as a base class.
/**
 * Relative topic and service names resolve in the node's namespace, names starting with "/"
 * are absolute. Entities without a callback group go to the node's default group, which is
 * mutually exclusive. Throws rclcpp::exceptions::InvalidNodeNameError for a malformed name and
 * rclcpp::exceptions::RCLError when the context is not initialized.
 */
class Node : public std::enable_shared_from_this<Node>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Node)

  explicit Node(const std::string & node_name, const NodeOptions & options = NodeOptions());

  explicit Node(
    const std::string & node_name, const std::string & namespace_,
    const NodeOptions & options = NodeOptions());

  virtual ~Node();

  Node(const Node &) = delete;
  Node & operator=(const Node &) = delete;

  const char * get_name() const;

  /// "/" for a node in the root namespace.
  const char * get_namespace() const;

  /// For example "/execute_engine_topic".
  const char * get_fully_qualified_name() const;

  /// The logger named after the node ("ns.name" for a node in namespace "/ns").
  rclcpp::Logger get_logger() const;

  rclcpp::CallbackGroup::SharedPtr create_callback_group(
    rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true);

  template <
    typename MessageT, typename AllocatorT = std::allocator<void>,
    typename PublisherT = rclcpp::Publisher<MessageT, AllocatorT>>
  std::shared_ptr<PublisherT> create_publisher(
    const std::string & topic_name, const rclcpp::QoS & qos,
    const PublisherOptionsWithAllocator<AllocatorT> & options =
      PublisherOptionsWithAllocator<AllocatorT>());

  /// `callback` takes the message as std::shared_ptr<const MessageT>,
  /// std::shared_ptr<MessageT>, const MessageT & or std::unique_ptr<MessageT>.
  template <
    typename MessageT, typename CallbackT, typename AllocatorT = std::allocator<void>,
    typename SubscriptionT = rclcpp::Subscription<MessageT, AllocatorT>>
  std::shared_ptr<SubscriptionT> create_subscription(
    const std::string & topic_name, const rclcpp::QoS & qos, CallbackT && callback,
    const SubscriptionOptionsWithAllocator<AllocatorT> & options =
      SubscriptionOptionsWithAllocator<AllocatorT>());

  /// A timer on the steady clock; `callback` takes nothing or the timer.
  template <typename DurationRepT = int64_t, typename DurationT = std::milli, typename CallbackT>
  typename rclcpp::WallTimer<CallbackT>::SharedPtr create_wall_timer(
    std::chrono::duration<DurationRepT, DurationT> period, CallbackT callback,
    rclcpp::CallbackGroup::SharedPtr group = nullptr);

  template <typename ServiceT>
  typename rclcpp::Client<ServiceT>::SharedPtr create_client(
    const std::string & service_name,
    const rmw_qos_profile_t & qos_profile = rmw_qos_profile_services_default,
    rclcpp::CallbackGroup::SharedPtr group = nullptr);

  /// `callback` in any form AnyServiceCallback accepts.
  template <typename ServiceT, typename CallbackT>
  typename rclcpp::Service<ServiceT>::SharedPtr create_service(
    const std::string & service_name, CallbackT && callback,
    const rmw_qos_profile_t & qos_profile = rmw_qos_profile_services_default,
    rclcpp::CallbackGroup::SharedPtr group = nullptr);

  /// The node's clock, of type RCL_ROS_TIME.
  rclcpp::Clock::SharedPtr get_clock();
  rclcpp::Clock::ConstSharedPtr get_clock() const;

  /// The time of the node's clock.
  rclcpp::Time now() const;

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr get_node_base_interface();

  rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr get_node_waitables_interface();

  const rclcpp::NodeOptions & get_node_options() const;

  /// Publishers on the topic (resolved in the node's namespace).
  size_t count_publishers(const std::string & topic_name) const;

  /// Subscriptions on the topic (resolved in the node's namespace).
  size_t count_subscribers(const std::string & topic_name) const;

private:
  /// `group`, or the default group when null; throws std::runtime_error
  /// "Cannot create <entity_kind>, callback group not in node." for a group of another node.
  rclcpp::CallbackGroup::SharedPtr group_or_default(
    rclcpp::CallbackGroup::SharedPtr group, const char * entity_kind);

  /// Put a new entity into its group and tell the executors that hold the node and the group.
  void add_to_group(
    const rclcpp::Waitable::SharedPtr & entity, const rclcpp::CallbackGroup::SharedPtr & group);

  rclcpp::NodeOptions node_options_;
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_;
  rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_;
  rclcpp::Clock::SharedPtr clock_;
  rclcpp::Logger logger_;
};

}  // namespace rclcpp

#include "rclcpp/node_impl.hpp"

#endif  // RCLCPP__NODE_HPP_
