#ifndef RCLCPP__NODE_IMPL_HPP_
#define RCLCPP__NODE_IMPL_HPP_

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#ifndef RCLCPP__NODE_HPP_
#include "rclcpp/node.hpp"
#endif

namespace rclcpp
{

template <typename MessageT, typename AllocatorT, typename PublisherT>
std::shared_ptr<PublisherT> Node::create_publisher(
  const std::string & topic_name, const rclcpp::QoS & qos,
  const PublisherOptionsWithAllocator<AllocatorT> & options)
{
  // Publishing runs no callback, so the publisher needs no group.
  (void)options;
  return std::make_shared<PublisherT>(node_base_.get(), topic_name, qos);
}

template <typename MessageT, typename CallbackT, typename AllocatorT, typename SubscriptionT>
std::shared_ptr<SubscriptionT> Node::create_subscription(
  const std::string & topic_name, const rclcpp::QoS & qos, CallbackT && callback,
  const SubscriptionOptionsWithAllocator<AllocatorT> & options)
{
  auto group = group_or_default(options.callback_group, "subscription");
  AnySubscriptionCallback<MessageT, AllocatorT> any_callback;
  any_callback.set(std::forward<CallbackT>(callback));
  auto subscription =
    std::make_shared<SubscriptionT>(node_base_.get(), topic_name, qos, std::move(any_callback));
  add_to_group(subscription, group);
  return subscription;
}

template <typename DurationRepT, typename DurationT, typename CallbackT>
typename rclcpp::WallTimer<CallbackT>::SharedPtr Node::create_wall_timer(
  std::chrono::duration<DurationRepT, DurationT> period, CallbackT callback,
  rclcpp::CallbackGroup::SharedPtr group)
{
  group = group_or_default(group, "timer");
  auto timer = std::make_shared<rclcpp::WallTimer<CallbackT>>(
    std::chrono::duration_cast<std::chrono::nanoseconds>(period), std::move(callback));
  group->add_timer(timer);
  node_base_->get_notify_guard_condition().trigger();
  return timer;
}

template <typename ServiceT>
typename rclcpp::Client<ServiceT>::SharedPtr Node::create_client(
  const std::string & service_name, const rmw_qos_profile_t & qos_profile,
  rclcpp::CallbackGroup::SharedPtr group)
{
  group = group_or_default(group, "client");
  auto client =
    std::make_shared<rclcpp::Client<ServiceT>>(node_base_.get(), service_name, qos_profile);
  add_to_group(client, group);
  return client;
}

template <typename ServiceT, typename CallbackT>
typename rclcpp::Service<ServiceT>::SharedPtr Node::create_service(
  const std::string & service_name, CallbackT && callback, const rmw_qos_profile_t & qos_profile,
  rclcpp::CallbackGroup::SharedPtr group)
{
  group = group_or_default(group, "service");
  AnyServiceCallback<ServiceT> any_callback;
  any_callback.set(std::forward<CallbackT>(callback));
  auto service = std::make_shared<rclcpp::Service<ServiceT>>(
    node_base_.get(), service_name, std::move(any_callback), qos_profile);
  add_to_group(service, group);
  return service;
}

}  // namespace rclcpp

#endif  // RCLCPP__NODE_IMPL_HPP_
