#ifndef RCLCPP_ACTION__CREATE_CLIENT_HPP_
#define RCLCPP_ACTION__CREATE_CLIENT_HPP_

#include <memory>
#include <string>

#include "rcl_action/action_client.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/client.hpp"

namespace rclcpp_action
{

/// Makes a client of the action `name` (resolved in the node's namespace) whose callbacks are
/// in `group`, the node's default group when null. `node` is a pointer or shared pointer to a
/// node.
template <typename ActionT, typename NodeT>
typename Client<ActionT>::SharedPtr create_client(
  NodeT node, const std::string & name, rclcpp::CallbackGroup::SharedPtr group = nullptr,
  const rcl_action_client_options_t & options = rcl_action_client_get_default_options())
{
  return std::make_shared<Client<ActionT>>(*node, name, group, options);
}

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CREATE_CLIENT_HPP_
