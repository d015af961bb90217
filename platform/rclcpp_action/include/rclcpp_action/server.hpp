#ifndef RCLCPP_ACTION__SERVER_HPP_
#define RCLCPP_ACTION__SERVER_HPP_

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "rcl_action/action_server.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/server_goal_handle.hpp"
#include "rclcpp_action/server_goal_registry.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

/// What the server's code decides about a new goal.
enum class GoalResponse : int8_t
{
  REJECT = 1,
  /// Accept and start at once (EXECUTING).
  ACCEPT_AND_EXECUTE = 2,
  /// Accept and leave ACCEPTED until the handle's execute().
  ACCEPT_AND_DEFER = 3,
};

/// What the server's code decides about a request to cancel a goal.
enum class CancelResponse : int8_t
{
  REJECT = 1,
  ACCEPT = 2,
};

/// Serves goals of one action type under one action name.
///
/// The server is three services ("<name>/_action/send_goal", ".../cancel_goal",
/// ".../get_result") and two publishers (".../feedback", ".../status"); its callbacks run in the
/// executor that serves its callback group. A goal is answered first and only then registered,
/// its status published and `handle_accepted` run: in a reentrant group a result request that
/// comes in between is answered at once with status UNKNOWN and an empty result, and a cancel
/// request ERROR_UNKNOWN_GOAL_ID. A result request for a goal the server holds waits until the
/// goal ends.
template <typename ActionT>
class Server
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Server)

  using GoalCallback =
    std::function<GoalResponse(const GoalUUID &, std::shared_ptr<const typename ActionT::Goal>)>;
  using CancelCallback = std::function<CancelResponse(std::shared_ptr<ServerGoalHandle<ActionT>>)>;
  using AcceptedCallback = std::function<void(std::shared_ptr<ServerGoalHandle<ActionT>>)>;

  Server(
    rclcpp::Node & node, const std::string & name, const rcl_action_server_options_t & options,
    GoalCallback handle_goal, CancelCallback handle_cancel, AcceptedCallback handle_accepted,
    rclcpp::CallbackGroup::SharedPtr group)
  : goals_(std::make_shared<Registry>(
      node.create_publisher<typename ActionT::Impl::GoalStatusMessage>(
        name + "/_action/status", qos_of(options.status_topic_qos)),
      node.create_publisher<typename ActionT::Impl::FeedbackMessage>(
        name + "/_action/feedback", qos_of(options.feedback_topic_qos)),
      std::chrono::nanoseconds(options.result_timeout.nanoseconds)))
  {
    auto goals = goals_;
    auto clock = node.get_clock();
    goal_service_ = node.create_service<GoalService>(
      name + "/_action/send_goal",
      [goals, clock, handle_goal, handle_accepted](
        std::shared_ptr<rclcpp::Service<GoalService>> service,
        std::shared_ptr<rmw_request_id_t> header,
        std::shared_ptr<typename GoalService::Request> request) {
        const GoalUUID & goal_id = request->goal_id.uuid;
        const std::shared_ptr<const typename ActionT::Goal> goal(request, &request->goal);
        // A goal id already in use names another goal: refused without asking.
        const GoalResponse decision =
          goals->knows(goal_id) ? GoalResponse::REJECT : handle_goal(goal_id, goal);
        typename GoalService::Response response;
        response.accepted = decision != GoalResponse::REJECT;
        // As in ROS 2, the response's stamp stays zero; the goal's own stamp is its acceptance.
        service->send_response(*header, response);
        if (response.accepted) {
          handle_accepted(goals->accept(
            goal_id, goal, clock->now(), decision == GoalResponse::ACCEPT_AND_EXECUTE));
        }
      },
      options.goal_service_qos, group);
    cancel_service_ = node.create_service<CancelService>(
      name + "/_action/cancel_goal",
      [goals, handle_cancel](
        std::shared_ptr<typename CancelService::Request> request,
        std::shared_ptr<typename CancelService::Response> response) {
        goals->cancel(
          request->goal_info,
          [&handle_cancel](std::shared_ptr<ServerGoalHandle<ActionT>> handle) {
            return handle_cancel(handle) == CancelResponse::ACCEPT;
          },
          *response);
      },
      options.cancel_service_qos, group);
    result_service_ = node.create_service<ResultService>(
      name + "/_action/get_result",
      [goals](
        std::shared_ptr<rclcpp::Service<ResultService>> service,
        std::shared_ptr<rmw_request_id_t> header,
        std::shared_ptr<typename ResultService::Request> request) {
        std::weak_ptr<rclcpp::Service<ResultService>> weak_service = service;
        goals->request_result(
          request->goal_id.uuid,
          [weak_service, header](typename ResultService::Response & response) {
            if (const auto service = weak_service.lock()) {
              service->send_response(*header, response);
            }
          });
      },
      options.result_service_qos, group);
  }

  virtual ~Server() = default;

private:
  using GoalService = typename ActionT::Impl::SendGoalService;
  using CancelService = typename ActionT::Impl::CancelGoalService;
  using ResultService = typename ActionT::Impl::GetResultService;
  using Registry = ServerGoalRegistry<ActionT>;

  static rclcpp::QoS qos_of(const rmw_qos_profile_t & profile)
  {
    return rclcpp::QoS(rclcpp::QoSInitialization::from_rmw(profile), profile);
  }

  const std::shared_ptr<Registry> goals_;
  typename rclcpp::Service<GoalService>::SharedPtr goal_service_;
  typename rclcpp::Service<CancelService>::SharedPtr cancel_service_;
  typename rclcpp::Service<ResultService>::SharedPtr result_service_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_HPP_
