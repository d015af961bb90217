#ifndef RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/guard_condition.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{
namespace node_interfaces
{

/// The identity of a node and its callback groups.
class NodeBaseInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeBaseInterface)

  using CallbackGroupFunction = std::function<void(rclcpp::CallbackGroup::SharedPtr)>;

  virtual ~NodeBaseInterface() = default;

  virtual const char * get_name() const = 0;

  /// "/" for a node in the root namespace.
  virtual const char * get_namespace() const = 0;

  /// Namespace and name joined, for example "/execute_engine_topic".
  virtual const char * get_fully_qualified_name() const = 0;

  virtual rclcpp::Context::SharedPtr get_context() = 0;

  virtual rclcpp::CallbackGroup::SharedPtr create_callback_group(
    rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true) = 0;

  /// The mutually exclusive group entities go to when none is given.
  virtual rclcpp::CallbackGroup::SharedPtr get_default_callback_group() = 0;

  virtual bool callback_group_in_node(rclcpp::CallbackGroup::SharedPtr group) = 0;

  /// Call `func` for every live group of the node, the default group first.
  virtual void for_each_callback_group(const CallbackGroupFunction & func) = 0;

  /// Set while an executor holds the node (add_node); the flag add_node claims.
  virtual std::atomic_bool & get_associated_with_executor_atomic() = 0;

  /// Triggered when the node gains a callback group or an entity.
  virtual rclcpp::GuardCondition & get_notify_guard_condition() = 0;

  /// Resolve a relative name in the node's namespace ("~" is the node's own name).
  /** Throws rclcpp::exceptions::InvalidTopicNameError or InvalidServiceNameError. */
  virtual std::string resolve_topic_or_service_name(
    const std::string & name, bool is_service, bool only_expand = false) const = 0;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_
