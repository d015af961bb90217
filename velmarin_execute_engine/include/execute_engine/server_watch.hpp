// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__SERVER_WATCH_HPP_
#define EXECUTE_ENGINE__SERVER_WATCH_HPP_

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "rcl_action/action_client.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"

namespace execute_engine
{

// What an action server shows of itself to one client: the goals it holds, from its goal status
// topic, and whether it is still on the graph.
//
// The status subscription is made on `node` in `group`, so its callback runs in the spins that
// serve the client; all members run on that thread.
template <class ActionT>
class ServerWatch
{
public:
  // How often at most the graph is asked whether the server is still there.
  static constexpr std::chrono::milliseconds kPresencePeriod{500};

  ServerWatch(
    const std::shared_ptr<rclcpp::Node> & node, const std::string & action_name,
    const rclcpp::CallbackGroup::SharedPtr & group)
  {
    const rmw_qos_profile_t profile = rcl_action_client_get_default_options().status_topic_qos;
    rclcpp::SubscriptionOptions options;
    options.callback_group = group;
    status_subscription_ = node->template create_subscription<StatusMessage>(
      action_name + "/_action/status",
      rclcpp::QoS(rclcpp::QoSInitialization::from_rmw(profile), profile),
      [this](std::shared_ptr<const StatusMessage> message) { latest_status_ = message; }, options);
  }

  ServerWatch(const ServerWatch &) = delete;
  ServerWatch & operator=(const ServerWatch &) = delete;

  // Whether the server's latest goal status lists the goal. The server lists every goal it has
  // registered, and only a registered goal's result request is answered with its real result:
  // a goal answered but not yet registered gets an empty result of status UNKNOWN. The status is
  // taken in apart from the client's, which drops a status that comes before the goal response.
  bool holds(const rclcpp_action::GoalUUID & goal_id) const
  {
    if (!latest_status_) {
      return false;
    }
    const auto & list = latest_status_->status_list;
    return std::any_of(list.begin(), list.end(), [&goal_id](const auto & status) {
      return status.goal_info.goal_id.uuid == goal_id;
    });
  }

  // Whether the server has left the graph. The graph is asked at most once per kPresencePeriod
  // (false in between), unless `at_once`.
  bool hasLeft(const rclcpp_action::ClientBase & client, bool at_once = false)
  {
    const auto now = std::chrono::steady_clock::now();
    if (!at_once && now < next_check_) {
      return false;
    }
    next_check_ = now + kPresencePeriod;
    return !client.action_server_is_ready();
  }

private:
  using StatusMessage = typename ActionT::Impl::GoalStatusMessage;

  std::shared_ptr<const StatusMessage> latest_status_;
  std::chrono::steady_clock::time_point next_check_{};
  typename rclcpp::Subscription<StatusMessage>::SharedPtr status_subscription_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__SERVER_WATCH_HPP_
