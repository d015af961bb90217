#include "rclcpp/publisher_base.hpp"

#include <utility>

#include "rclcpp/detail/graph.hpp"

namespace rclcpp
{

PublisherBase::PublisherBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
  const char * type_name, const rclcpp::QoS & qos)
: context_(node_base->get_context()),
  topic_name_(node_base->resolve_topic_or_service_name(topic_name, false)),
  qos_(qos),
  endpoint_id_(detail::get_graph().add_publisher({topic_name_, type_name}))
{
}

PublisherBase::~PublisherBase() { detail::get_graph().remove_endpoint(endpoint_id_); }

const char * PublisherBase::get_topic_name() const { return topic_name_.c_str(); }

size_t PublisherBase::get_subscription_count() const
{
  return detail::get_graph().count_subscriptions(endpoint_id_);
}

rclcpp::QoS PublisherBase::get_actual_qos() const { return qos_; }

void PublisherBase::publish_type_erased(std::shared_ptr<const void> message)
{
  if (!context_->is_valid()) {
    return;
  }
  detail::get_graph().publish(endpoint_id_, std::move(message));
}

}  // namespace rclcpp
