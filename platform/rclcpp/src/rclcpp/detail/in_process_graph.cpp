#include "rclcpp/detail/in_process_graph.hpp"

#include <cstring>
#include <utility>

namespace rclcpp
{
namespace detail
{

namespace
{

rmw_request_id_t make_request_header(EndpointId client, int64_t sequence_number)
{
  rmw_request_id_t header{};
  static_assert(sizeof(header.writer_guid) >= sizeof(client), "writer_guid too small");
  std::memcpy(header.writer_guid, &client, sizeof(client));
  header.sequence_number = sequence_number;
  return header;
}

EndpointId client_of(const rmw_request_id_t & header)
{
  EndpointId client;
  std::memcpy(&client, header.writer_guid, sizeof(client));
  return client;
}

}  // namespace

EndpointId InProcessGraph::add_publisher(const EndpointInfo & topic)
{
  return add(Endpoint{Kind::Publisher, topic, {}, {}, {}});
}

EndpointId InProcessGraph::add_subscription(
  const EndpointInfo & topic, std::weak_ptr<MessageSink> sink)
{
  return add(Endpoint{Kind::Subscription, topic, std::move(sink), {}, {}});
}

EndpointId InProcessGraph::add_service(
  const EndpointInfo & service, std::weak_ptr<RequestSink> sink)
{
  return add(Endpoint{Kind::Service, service, {}, std::move(sink), {}});
}

EndpointId InProcessGraph::add_client(
  const EndpointInfo & service, std::weak_ptr<ResponseSink> sink)
{
  return add(Endpoint{Kind::Client, service, {}, {}, std::move(sink)});
}

EndpointId InProcessGraph::add(Endpoint endpoint)
{
  EndpointId id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = ++last_endpoint_id_;
    endpoints_.emplace(id, std::move(endpoint));
  }
  notify_change();
  return id;
}

void InProcessGraph::remove_endpoint(EndpointId endpoint)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    endpoints_.erase(endpoint);
  }
  notify_change();
}

std::vector<const InProcessGraph::Endpoint *> InProcessGraph::matches(
  EndpointId endpoint, Kind kind) const
{
  std::vector<const Endpoint *> result;
  auto self = endpoints_.find(endpoint);
  if (self == endpoints_.end()) {
    return result;
  }
  for (const auto & [id, other] : endpoints_) {
    if (
      other.kind == kind && other.info.name == self->second.info.name &&
      other.info.type_name == self->second.info.type_name) {
      result.push_back(&other);
    }
  }
  return result;
}

void InProcessGraph::publish(EndpointId publisher, std::shared_ptr<const void> message)
{
  std::vector<std::shared_ptr<MessageSink>> sinks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Endpoint * subscription : matches(publisher, Kind::Subscription)) {
      if (auto sink = subscription->message_sink.lock()) {
        sinks.push_back(std::move(sink));
      }
    }
  }
  for (const auto & sink : sinks) {
    sink->on_message(message);
  }
}

size_t InProcessGraph::count_subscriptions(EndpointId publisher) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return matches(publisher, Kind::Subscription).size();
}

size_t InProcessGraph::count_publishers(EndpointId subscription) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return matches(subscription, Kind::Publisher).size();
}

size_t InProcessGraph::count_publishers(const std::string & topic_name) const
{
  return count_by_name(topic_name, Kind::Publisher);
}

size_t InProcessGraph::count_subscriptions(const std::string & topic_name) const
{
  return count_by_name(topic_name, Kind::Subscription);
}

size_t InProcessGraph::count_by_name(const std::string & name, Kind kind) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  size_t count = 0;
  for (const auto & [id, endpoint] : endpoints_) {
    if (endpoint.kind == kind && endpoint.info.name == name) {
      ++count;
    }
  }
  return count;
}

void InProcessGraph::send_request(
  EndpointId client, int64_t sequence_number, std::shared_ptr<const void> request)
{
  std::vector<std::shared_ptr<RequestSink>> sinks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Endpoint * service : matches(client, Kind::Service)) {
      if (auto sink = service->request_sink.lock()) {
        sinks.push_back(std::move(sink));
      }
    }
  }
  const rmw_request_id_t header = make_request_header(client, sequence_number);
  for (const auto & sink : sinks) {
    sink->on_request(header, request);
  }
}

void InProcessGraph::send_response(
  const rmw_request_id_t & request_header, std::shared_ptr<void> response)
{
  std::shared_ptr<ResponseSink> sink;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto client = endpoints_.find(client_of(request_header));
    if (client == endpoints_.end() || client->second.kind != Kind::Client) {
      return;
    }
    sink = client->second.response_sink.lock();
  }
  if (sink) {
    sink->on_response(request_header, std::move(response));
  }
}

bool InProcessGraph::service_available(EndpointId client) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return !matches(client, Kind::Service).empty();
}

Graph::ChangeListenerId InProcessGraph::add_change_listener(std::function<void()> listener)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const ChangeListenerId id = ++last_listener_id_;
  change_listeners_.emplace(id, std::move(listener));
  return id;
}

void InProcessGraph::remove_change_listener(ChangeListenerId listener)
{
  std::lock_guard<std::mutex> lock(mutex_);
  change_listeners_.erase(listener);
}

void InProcessGraph::notify_change()
{
  std::vector<std::function<void()>> listeners;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto & [id, listener] : change_listeners_) {
      listeners.push_back(listener);
    }
  }
  for (const auto & listener : listeners) {
    listener();
  }
}

Graph & get_graph()
{
  // Never destroyed: entities owned by other static objects may leave the graph at exit.
  static auto * graph = new InProcessGraph;
  return *graph;
}

}  // namespace detail
}  // namespace rclcpp
