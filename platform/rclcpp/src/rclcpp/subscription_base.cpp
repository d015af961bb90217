#include "rclcpp/subscription_base.hpp"

#include "rclcpp/detail/graph.hpp"
#include "rclcpp/detail/inboxes.hpp"

namespace rclcpp
{

SubscriptionBase::SubscriptionBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
  const char * type_name, const rclcpp::QoS & qos)
: topic_name_(node_base->resolve_topic_or_service_name(topic_name, false)),
  qos_(qos),
  inbox_(std::make_shared<detail::MessageInbox>(
    detail::queue_depth(qos.get_rmw_qos_profile()), callback_group_link())),
  endpoint_id_(detail::get_graph().add_subscription({topic_name_, type_name}, inbox_))
{
}

SubscriptionBase::~SubscriptionBase() { detail::get_graph().remove_endpoint(endpoint_id_); }

const char * SubscriptionBase::get_topic_name() const { return topic_name_.c_str(); }

size_t SubscriptionBase::get_publisher_count() const
{
  return detail::get_graph().count_publishers(endpoint_id_);
}

rclcpp::QoS SubscriptionBase::get_actual_qos() const { return qos_; }

bool SubscriptionBase::is_ready() { return !inbox_->queue.empty(); }

std::shared_ptr<void> SubscriptionBase::take_data()
{
  auto message = inbox_->queue.pop();
  if (!message) {
    return nullptr;
  }
  // Handed back as const by the typed subscription's execute().
  return std::const_pointer_cast<void>(*message);
}

}  // namespace rclcpp
