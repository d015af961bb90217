#ifndef RCLCPP_ACTION__CREATE_SERVER_HPP_
#define RCLCPP_ACTION__CREATE_SERVER_HPP_

#include <memory>
#include <string>

#include "rcl_action/action_server.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/server.hpp"

namespace rclcpp_action
{

/// Makes a server of the action `name` (resolved in the node's namespace) whose callbacks are
/// in `group`, the node's default group when null. `node` is a pointer or shared pointer to a
/// node.
template <typename ActionT, typename NodeT>
typename Server<ActionT>::SharedPtr create_server(
  NodeT node, const std::string & name, typename Server<ActionT>::GoalCallback handle_goal,
  typename Server<ActionT>::CancelCallback handle_cancel,
  typename Server<ActionT>::AcceptedCallback handle_accepted,
  const rcl_action_server_options_t & options = rcl_action_server_get_default_options(),
  rclcpp::CallbackGroup::SharedPtr group = nullptr)
{
  return std::make_shared<Server<ActionT>>(
    *node, name, options, std::move(handle_goal), std::move(handle_cancel),
    std::move(handle_accepted), group);
}

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CREATE_SERVER_HPP_
