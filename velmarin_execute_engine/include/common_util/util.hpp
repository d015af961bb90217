// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef COMMON_UTIL__UTIL_HPP_
#define COMMON_UTIL__UTIL_HPP_

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <utility>

#include "common_util/log_holder.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rosidl_runtime_cpp/message_initialization.hpp"

namespace common_util
{

// The request and the reply slot of one blocking call of service type S. Both messages are
// created fully initialised on construction; the caller fills `request`, calls
// SyncCallService and reads `response` only after a true result.
template <typename S>
class ServiceCallHolder
{
public:
  ServiceCallHolder()
  : request(new typename S::Request(rosidl_runtime_cpp::MessageInitialization::ALL)),
    response(new typename S::Response(rosidl_runtime_cpp::MessageInitialization::ALL))
  {
  }

  std::shared_ptr<typename S::Request> request;
  // Replaced by the server's response object when a call succeeds; untouched otherwise.
  std::shared_ptr<typename S::Response> response;
};

// A node for the private use of one tree node, which no executor holds: the node form of
// SyncCallService spins it on the calling thread. It keeps the clients of its calls, one per
// service name and type, for its whole life: DDS keeps memory for every endpoint it has seen
// until shutdown, so a client per call would grow the process with every call.
class PrivateNode : public rclcpp::Node
{
public:
  using rclcpp::Node::Node;

  // The client of `service_name` of type S, made on the first call (services-default QoS, the
  // node's default callback group) and the same one on every later call. Safe from any thread.
  template <typename S>
  std::shared_ptr<rclcpp::Client<S>> ServiceClient(const std::string & service_name)
  {
    std::lock_guard<std::mutex> lock(clients_mutex_);
    std::shared_ptr<rclcpp::ClientBase> & client =
      clients_[{service_name, std::type_index(typeid(S))}];
    if (!client) {
      client = create_client<S>(service_name, rmw_qos_profile_services_default, nullptr);
    }
    return std::static_pointer_cast<rclcpp::Client<S>>(client);
  }

private:
  std::mutex clients_mutex_;
  std::map<std::pair<std::string, std::type_index>, std::shared_ptr<rclcpp::ClientBase>> clients_;
};

// A new private node named `name` while no other node made here under that name is alive,
// else `name` followed by "_2", "_3" and so on (the first number free): several tree nodes of
// one type then put distinct names on the graph, and each keeps a node of its own to spin.
inline std::shared_ptr<PrivateNode> MakePrivateNode(const std::string & name)
{
  static std::mutex mutex;
  static std::map<std::string, std::weak_ptr<PrivateNode>> made;
  std::lock_guard<std::mutex> lock(mutex);
  std::string free_name = name;
  for (int number = 2; !made[free_name].expired(); ++number) {
    free_name = name + "_" + std::to_string(number);
  }
  auto node = std::make_shared<PrivateNode>(free_name);
  made[free_name] = node;
  return node;
}

// Blocking call through the client of `service_name` that `node` keeps; `node` must belong to
// no executor: waits up to `service_timeout` for the service, sends `holder.request` and spins
// `node` on the calling thread for up to `response_timeout`. True only when the reply arrived;
// it is then moved into `holder.response`. A reply that comes after its call gave up is
// dropped, never taken by a later call. Every failure is logged; a ROS shutdown before or
// during the spin gives false with an "interrupted" line. One call at a time per node.
template <typename S>
bool SyncCallService(
  std::shared_ptr<PrivateNode> node, std::string service_name, ServiceCallHolder<S> & holder,
  std::chrono::milliseconds response_timeout, std::chrono::milliseconds service_timeout)
{
  if (!node || service_name.empty()) {
    return false;
  }
  auto node_base = node->get_node_base_interface();
  if (node_base->get_associated_with_executor_atomic().load(std::memory_order_relaxed)) {
    EE_LOG_ERROR(
      "SyncCallService server:{} err_info:{}", service_name,
      std::string("Node '") + node_base->get_fully_qualified_name() +
        "' has already been added to an executor.");
    return false;
  }

  auto client = node->ServiceClient<S>(service_name);
  if (!client->wait_for_service(service_timeout)) {
    EE_LOG_ERROR(" server:{} not exist", service_name);
    return false;
  }

  auto pending = client->async_send_request(holder.request);
  rclcpp::FutureReturnCode outcome = rclcpp::FutureReturnCode::INTERRUPTED;
  try {
    outcome = rclcpp::spin_until_future_complete(node_base, pending.future, response_timeout);
  } catch (const rclcpp::exceptions::RCLError &) {
    // A shutdown that comes after the send leaves no valid context to make the spin's
    // executor in: that is an interruption, anything else is not ours to hide.
    if (rclcpp::ok()) {
      throw;
    }
  }
  if (outcome == rclcpp::FutureReturnCode::SUCCESS) {
    holder.response = pending.future.get();
    return true;
  }
  // After a shutdown nothing spins the node any more, so the reply must not be waited for.
  client->remove_pending_request(pending.request_id);
  if (outcome == rclcpp::FutureReturnCode::TIMEOUT) {
    EE_LOG_ERROR("SyncCallService server:{} timeout", service_name);
  } else {
    EE_LOG_ERROR("SyncCallService server:{} interrupted", service_name);
  }
  return false;
}

// Blocking call through `client`, whose reply an executor on another thread must deliver:
// waits up to `service_timeout` for the service, sends `holder.request` and waits up to
// `response_timeout` for the reply without spinning anything. True only when the reply
// arrived; it is then moved into `holder.response`. Every failure is logged.
template <typename S>
bool SyncCallService(
  std::shared_ptr<rclcpp::Client<S>> client, ServiceCallHolder<S> & holder,
  std::chrono::milliseconds response_timeout, std::chrono::milliseconds service_timeout)
{
  if (!client) {
    EE_LOG_ERROR("SyncCallService client is nullptr");
    return false;
  }
  const std::string service_name = client->get_service_name();
  if (!client->wait_for_service(service_timeout)) {
    EE_LOG_ERROR("server:{} not exist", service_name);
    return false;
  }

  auto pending = client->async_send_request(holder.request);
  const std::future_status status = pending.future.wait_for(response_timeout);
  if (status == std::future_status::ready) {
    holder.response = pending.future.get();
    return true;
  }
  if (status == std::future_status::timeout) {
    EE_LOG_ERROR("SyncCallService server:{} timeout", service_name);
  } else {
    EE_LOG_ERROR("SyncCallService server:{} wait_for deferred", service_name);
  }
  client->remove_pending_request(pending.request_id);
  return false;
}

}  // namespace common_util

#endif  // COMMON_UTIL__UTIL_HPP_
