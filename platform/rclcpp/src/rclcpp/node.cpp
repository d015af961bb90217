#include "rclcpp/node.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "rclcpp/detail/graph.hpp"
#include "rclcpp/node_interfaces/node_base.hpp"
#include "rclcpp/node_interfaces/node_waitables.hpp"

namespace rclcpp
{

namespace
{

/// "ns.sub.name" for the node "name" in namespace "/ns/sub"; "name" in the root namespace.
std::string logger_name(const std::string & namespace_, const std::string & name)
{
  std::string prefix = namespace_.substr(1);
  std::replace(prefix.begin(), prefix.end(), '/', '.');
  return prefix.empty() ? name : prefix + "." + name;
}

}  // namespace

Node::Node(const std::string & node_name, const NodeOptions & options)
: Node(node_name, "", options)
{
}

Node::Node(
  const std::string & node_name, const std::string & namespace_, const NodeOptions & options)
: node_options_(options),
  node_base_(std::make_shared<node_interfaces::NodeBase>(node_name, namespace_, options.context())),
  node_waitables_(std::make_shared<node_interfaces::NodeWaitables>(node_base_.get())),
  clock_(std::make_shared<rclcpp::Clock>(RCL_ROS_TIME)),
  logger_(rclcpp::get_logger(logger_name(node_base_->get_namespace(), node_base_->get_name())))
{
}

Node::~Node() = default;

const char * Node::get_name() const { return node_base_->get_name(); }

const char * Node::get_namespace() const { return node_base_->get_namespace(); }

const char * Node::get_fully_qualified_name() const
{
  return node_base_->get_fully_qualified_name();
}

rclcpp::Logger Node::get_logger() const { return logger_; }

rclcpp::CallbackGroup::SharedPtr Node::create_callback_group(
  rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
{
  return node_base_->create_callback_group(group_type, automatically_add_to_executor_with_node);
}

rclcpp::Clock::SharedPtr Node::get_clock() { return clock_; }

rclcpp::Clock::ConstSharedPtr Node::get_clock() const { return clock_; }

rclcpp::Time Node::now() const { return clock_->now(); }

rclcpp::node_interfaces::NodeBaseInterface::SharedPtr Node::get_node_base_interface()
{
  return node_base_;
}

rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr Node::get_node_waitables_interface()
{
  return node_waitables_;
}

const rclcpp::NodeOptions & Node::get_node_options() const { return node_options_; }

size_t Node::count_publishers(const std::string & topic_name) const
{
  return detail::get_graph().count_publishers(
    node_base_->resolve_topic_or_service_name(topic_name, false));
}

size_t Node::count_subscribers(const std::string & topic_name) const
{
  return detail::get_graph().count_subscriptions(
    node_base_->resolve_topic_or_service_name(topic_name, false));
}

rclcpp::CallbackGroup::SharedPtr Node::group_or_default(
  rclcpp::CallbackGroup::SharedPtr group, const char * entity_kind)
{
  if (!group) {
    return node_base_->get_default_callback_group();
  }
  if (!node_base_->callback_group_in_node(group)) {
    throw std::runtime_error(
      std::string("Cannot create ") + entity_kind + ", callback group not in node.");
  }
  return group;
}

void Node::add_to_group(
  const rclcpp::Waitable::SharedPtr & entity, const rclcpp::CallbackGroup::SharedPtr & group)
{
  group->add_waitable(entity);
  node_base_->get_notify_guard_condition().trigger();
}

}  // namespace rclcpp
