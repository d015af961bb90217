#ifndef RCLCPP__DETAIL__GRAPH_HPP_
#define RCLCPP__DETAIL__GRAPH_HPP_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rmw/types.h"

namespace rclcpp
{
namespace detail
{

/// Identifies one publisher, subscription, service or client in the graph.
using EndpointId = uint64_t;

/// What an endpoint talks about: a resolved topic or service name and a message or service
/// type name. Endpoints match when both are equal.
struct EndpointInfo
{
  std::string name;
  std::string type_name;
};

/// Receives the messages published on a subscription's topic.
class MessageSink
{
public:
  virtual ~MessageSink() = default;
  virtual void on_message(std::shared_ptr<const void> message) = 0;
};

/// Receives the requests sent to a service.
class RequestSink
{
public:
  virtual ~RequestSink() = default;
  virtual void on_request(
    const rmw_request_id_t & request_header, std::shared_ptr<const void> request) = 0;
};

/// Receives the responses addressed to a client.
class ResponseSink
{
public:
  virtual ~ResponseSink() = default;
  virtual void on_response(
    const rmw_request_id_t & request_header, std::shared_ptr<void> response) = 0;
};

/// The one seam between the client library's entities and whatever carries their data.
/**
 * Messages and requests travel as immutable objects that every receiver may share; a
 * response goes to exactly one client, which owns it. Sinks are held weakly: an entity that
 * is gone simply receives nothing. Sinks are called without any lock of the graph held.
 * A request's header names the sending client (writer_guid) and its sequence number; a
 * service answers with that header and the graph routes the response to that client.
 */
class Graph
{
public:
  virtual ~Graph() = default;

  virtual EndpointId add_publisher(const EndpointInfo & topic) = 0;
  virtual EndpointId add_subscription(
    const EndpointInfo & topic, std::weak_ptr<MessageSink> sink) = 0;
  virtual EndpointId add_service(const EndpointInfo & service, std::weak_ptr<RequestSink> sink) = 0;
  virtual EndpointId add_client(const EndpointInfo & service, std::weak_ptr<ResponseSink> sink) = 0;
  virtual void remove_endpoint(EndpointId endpoint) = 0;

  /// Deliver to every subscription matching the publisher.
  virtual void publish(EndpointId publisher, std::shared_ptr<const void> message) = 0;
  virtual size_t count_subscriptions(EndpointId publisher) const = 0;
  virtual size_t count_publishers(EndpointId subscription) const = 0;
  /// Publishers and subscriptions of a topic name, whatever their type.
  virtual size_t count_publishers(const std::string & topic_name) const = 0;
  virtual size_t count_subscriptions(const std::string & topic_name) const = 0;

  /// Deliver to every service matching the client.
  virtual void send_request(
    EndpointId client, int64_t sequence_number, std::shared_ptr<const void> request) = 0;
  /// Deliver to the client named in the header; dropped when it is gone.
  virtual void send_response(
    const rmw_request_id_t & request_header, std::shared_ptr<void> response) = 0;
  /// True when a service matches the client.
  virtual bool service_available(EndpointId client) const = 0;

  using ChangeListenerId = uint64_t;
  /// `listener` runs (under no graph lock) whenever an endpoint comes or goes.
  virtual ChangeListenerId add_change_listener(std::function<void()> listener) = 0;
  virtual void remove_change_listener(ChangeListenerId listener) = 0;
};

/// The graph of this process.
Graph & get_graph();

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__GRAPH_HPP_
