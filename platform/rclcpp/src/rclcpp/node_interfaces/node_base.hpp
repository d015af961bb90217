#ifndef RCLCPP__NODE_INTERFACES__NODE_BASE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_BASE_HPP_

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

/// A node's name, namespace, context and callback groups.
/** The node holds its groups weakly, except the default group. */
class NodeBase : public NodeBaseInterface
{
public:
  /// Throws InvalidNodeNameError, InvalidNamespaceError, or RCLError for an invalid context.
  NodeBase(
    const std::string & node_name, const std::string & namespace_,
    rclcpp::Context::SharedPtr context);
  ~NodeBase() override;

  NodeBase(const NodeBase &) = delete;
  NodeBase & operator=(const NodeBase &) = delete;

  const char * get_name() const override;
  const char * get_namespace() const override;
  const char * get_fully_qualified_name() const override;
  rclcpp::Context::SharedPtr get_context() override;
  rclcpp::CallbackGroup::SharedPtr create_callback_group(
    rclcpp::CallbackGroupType group_type,
    bool automatically_add_to_executor_with_node = true) override;
  rclcpp::CallbackGroup::SharedPtr get_default_callback_group() override;
  bool callback_group_in_node(rclcpp::CallbackGroup::SharedPtr group) override;
  void for_each_callback_group(const CallbackGroupFunction & func) override;
  std::atomic_bool & get_associated_with_executor_atomic() override;
  rclcpp::GuardCondition & get_notify_guard_condition() override;
  std::string resolve_topic_or_service_name(
    const std::string & name, bool is_service, bool only_expand = false) const override;

private:
  std::string name_;
  std::string namespace_;
  std::string fully_qualified_name_;
  rclcpp::Context::SharedPtr context_;
  rclcpp::GuardCondition notify_guard_condition_;
  std::atomic_bool associated_with_executor_{false};

  std::mutex callback_groups_mutex_;
  rclcpp::CallbackGroup::SharedPtr default_callback_group_;
  std::vector<rclcpp::CallbackGroup::WeakPtr> callback_groups_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_BASE_HPP_
