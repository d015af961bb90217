#ifndef RCLCPP__DETAIL__IN_PROCESS_GRAPH_HPP_
#define RCLCPP__DETAIL__IN_PROCESS_GRAPH_HPP_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/detail/graph.hpp"

namespace rclcpp
{
namespace detail
{

/// The graph of endpoints living in this process; delivery is a hand-over of shared objects.
class InProcessGraph : public Graph
{
public:
  EndpointId add_publisher(const EndpointInfo & topic) override;
  EndpointId add_subscription(const EndpointInfo & topic, std::weak_ptr<MessageSink> sink) override;
  EndpointId add_service(const EndpointInfo & service, std::weak_ptr<RequestSink> sink) override;
  EndpointId add_client(const EndpointInfo & service, std::weak_ptr<ResponseSink> sink) override;
  void remove_endpoint(EndpointId endpoint) override;

  void publish(EndpointId publisher, std::shared_ptr<const void> message) override;
  size_t count_subscriptions(EndpointId publisher) const override;
  size_t count_publishers(EndpointId subscription) const override;
  size_t count_publishers(const std::string & topic_name) const override;
  size_t count_subscriptions(const std::string & topic_name) const override;

  void send_request(
    EndpointId client, int64_t sequence_number, std::shared_ptr<const void> request) override;
  void send_response(
    const rmw_request_id_t & request_header, std::shared_ptr<void> response) override;
  bool service_available(EndpointId client) const override;

  ChangeListenerId add_change_listener(std::function<void()> listener) override;
  void remove_change_listener(ChangeListenerId listener) override;

private:
  enum class Kind
  {
    Publisher,
    Subscription,
    Service,
    Client
  };

  struct Endpoint
  {
    Kind kind;
    EndpointInfo info;
    std::weak_ptr<MessageSink> message_sink;
    std::weak_ptr<RequestSink> request_sink;
    std::weak_ptr<ResponseSink> response_sink;
  };

  EndpointId add(Endpoint endpoint);

  /// The endpoints of kind `kind` that match `endpoint` (same name and type); caller locks.
  std::vector<const Endpoint *> matches(EndpointId endpoint, Kind kind) const;

  size_t count_by_name(const std::string & name, Kind kind) const;

  void notify_change();

  mutable std::mutex mutex_;
  std::map<EndpointId, Endpoint> endpoints_;
  EndpointId last_endpoint_id_ = 0;
  std::map<ChangeListenerId, std::function<void()>> change_listeners_;
  ChangeListenerId last_listener_id_ = 0;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__IN_PROCESS_GRAPH_HPP_
