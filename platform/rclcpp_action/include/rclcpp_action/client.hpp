#ifndef RCLCPP_ACTION__CLIENT_HPP_
#define RCLCPP_ACTION__CLIENT_HPP_

#include <array>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <string>

#include "rcl_action/action_client.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/client_goal_handle.hpp"
#include "rclcpp_action/client_goal_registry.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

/// What every action client does whatever its action type: find its server and name goals.
class ClientBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ClientBase)

  virtual ~ClientBase() = default;

  /// Whether the server's goal, cancel and result services are all on the graph now.
  bool action_server_is_ready() const;

  /// Waits until the server is ready, at most `timeout` (negative: without limit).
  /// Returns false on timeout and when the context shuts down meanwhile.
  template <typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_action_server(
    std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1))
  {
    return wait_for_action_server_nanoseconds(
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

protected:
  explicit ClientBase(std::array<rclcpp::ClientBase::SharedPtr, 3> service_clients);

  /// A fresh random goal id.
  GoalUUID generate_goal_id();

private:
  bool wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout);

  const std::array<rclcpp::ClientBase::SharedPtr, 3> service_clients_;
  std::mutex random_mutex_;
  std::mt19937_64 random_engine_;
};

/// Sends goals of one action type to the server of one action name and follows them.
///
/// The client is three service clients ("<name>/_action/send_goal", ".../cancel_goal",
/// ".../get_result") and two subscriptions (".../feedback", ".../status") in one callback group,
/// so every callback given to it runs inside a spin of the executor that serves that group.
template <typename ActionT>
class Client : public ClientBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Client<ActionT>)

  using Goal = typename ActionT::Goal;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = ClientGoalHandle<ActionT>;
  using WrappedResult = typename GoalHandle::WrappedResult;
  using GoalResponseCallback = std::function<void(typename GoalHandle::SharedPtr)>;
  using FeedbackCallback = typename GoalHandle::FeedbackCallback;
  using ResultCallback = typename GoalHandle::ResultCallback;
  using CancelRequest = typename ActionT::Impl::CancelGoalService::Request;
  using CancelResponse = typename ActionT::Impl::CancelGoalService::Response;
  using CancelCallback = std::function<void(typename CancelResponse::SharedPtr)>;

  /// The callbacks of one goal; any may be empty.
  struct SendGoalOptions
  {
    /// Called with the handle when the server accepts the goal, with null when it refuses.
    GoalResponseCallback goal_response_callback;
    /// Called for each feedback of this goal.
    FeedbackCallback feedback_callback;
    /// Called with the result; setting it makes the client ask for the result on acceptance.
    ResultCallback result_callback;
  };

  Client(
    rclcpp::Node & node, const std::string & action_name, rclcpp::CallbackGroup::SharedPtr group,
    const rcl_action_client_options_t & options)
  : Client(
      node, action_name, group, options,
      node.create_client<GoalService>(
        action_name + "/_action/send_goal", options.goal_service_qos, group),
      node.create_client<CancelService>(
        action_name + "/_action/cancel_goal", options.cancel_service_qos, group),
      node.create_client<ResultService>(
        action_name + "/_action/get_result", options.result_service_qos, group))
  {
  }

  /// Sends a goal. The future holds the goal's handle once the server accepted it, null when
  /// the server refused it; it is set during a spin, before `goal_response_callback` runs.
  std::shared_future<typename GoalHandle::SharedPtr> async_send_goal(
    const Goal & goal, const SendGoalOptions & options = SendGoalOptions())
  {
    auto promise = std::make_shared<std::promise<typename GoalHandle::SharedPtr>>();
    std::shared_future<typename GoalHandle::SharedPtr> future(promise->get_future());
    auto request = std::make_shared<typename GoalService::Request>();
    request->goal_id.uuid = generate_goal_id();
    request->goal = goal;
    auto goals = goals_;
    std::weak_ptr<rclcpp::Client<ResultService>> result_client = result_client_;
    goal_client_->async_send_request(
      request, [goals, result_client, request, options,
                promise](typename rclcpp::Client<GoalService>::SharedFuture response_future) {
        const auto response = response_future.get();
        if (!response->accepted) {
          promise->set_value(nullptr);
          if (options.goal_response_callback) {
            options.goal_response_callback(nullptr);
          }
          return;
        }
        GoalInfo info;
        info.goal_id = request->goal_id;
        info.stamp = response->stamp;
        typename GoalHandle::SharedPtr handle(
          new GoalHandle(info, options.feedback_callback, options.result_callback));
        goals->add(handle);
        promise->set_value(handle);
        if (options.goal_response_callback) {
          options.goal_response_callback(handle);
        }
        if (options.result_callback) {
          request_result(handle, goals, result_client);
        }
      });
    goals_->forget_unreferenced();
    return future;
  }

  /// Asks the server for the result of a goal this client knows, unless that was asked for
  /// already; `result_callback`, when given, replaces the goal's result callback. The future
  /// holds the result once it is in. Throws exceptions::UnknownGoalHandleError for an unknown
  /// goal (one whose result is in is forgotten).
  std::shared_future<WrappedResult> async_get_result(
    typename GoalHandle::SharedPtr goal_handle, ResultCallback result_callback = nullptr)
  {
    if (!goals_->knows(goal_handle->get_goal_id())) {
      throw exceptions::UnknownGoalHandleError();
    }
    if (result_callback) {
      goal_handle->set_result_callback(std::move(result_callback));
    }
    request_result(goal_handle, goals_, result_client_);
    return goal_handle->result_future_;
  }

  /// Asks the server to cancel a goal this client knows. The future holds the server's
  /// response. Throws exceptions::UnknownGoalHandleError for an unknown goal.
  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_goal(
    typename GoalHandle::SharedPtr goal_handle, CancelCallback cancel_callback = nullptr)
  {
    if (!goals_->knows(goal_handle->get_goal_id())) {
      throw exceptions::UnknownGoalHandleError();
    }
    auto request = std::make_shared<CancelRequest>();
    request->goal_info.goal_id.uuid = goal_handle->get_goal_id();
    return async_cancel(request, cancel_callback);
  }

private:
  using GoalService = typename ActionT::Impl::SendGoalService;
  using CancelService = typename ActionT::Impl::CancelGoalService;
  using ResultService = typename ActionT::Impl::GetResultService;
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;
  using GoalStatusMessage = typename ActionT::Impl::GoalStatusMessage;
  using Registry = ClientGoalRegistry<GoalHandle>;

  Client(
    rclcpp::Node & node, const std::string & action_name, rclcpp::CallbackGroup::SharedPtr group,
    const rcl_action_client_options_t & options,
    typename rclcpp::Client<GoalService>::SharedPtr goal_client,
    typename rclcpp::Client<CancelService>::SharedPtr cancel_client,
    typename rclcpp::Client<ResultService>::SharedPtr result_client)
  : ClientBase({goal_client, cancel_client, result_client}),
    goal_client_(std::move(goal_client)),
    cancel_client_(std::move(cancel_client)),
    result_client_(std::move(result_client)),
    goals_(std::make_shared<Registry>())
  {
    rclcpp::SubscriptionOptions subscription_options;
    subscription_options.callback_group = group;
    auto goals = goals_;
    feedback_subscription_ = node.create_subscription<FeedbackMessage>(
      action_name + "/_action/feedback", qos_of(options.feedback_topic_qos),
      [goals](std::shared_ptr<const FeedbackMessage> message) {
        const auto handle = goals->find(message->goal_id.uuid);
        if (handle) {
          handle->call_feedback_callback(
            handle, std::shared_ptr<const Feedback>(message, &message->feedback));
        }
      },
      subscription_options);
    status_subscription_ = node.create_subscription<GoalStatusMessage>(
      action_name + "/_action/status", qos_of(options.status_topic_qos),
      [goals](std::shared_ptr<const GoalStatusMessage> message) {
        for (const auto & status : message->status_list) {
          const auto handle = goals->find(status.goal_info.goal_id.uuid);
          if (handle) {
            handle->set_status(status.status);
          }
        }
      },
      subscription_options);
  }

  static rclcpp::QoS qos_of(const rmw_qos_profile_t & profile)
  {
    return rclcpp::QoS(rclcpp::QoSInitialization::from_rmw(profile), profile);
  }

  // Asks once per goal. The pending request owns the handle, so the result reaches its
  // callback even after the caller dropped the handle; the goal is forgotten once it is in.
  static void request_result(
    const typename GoalHandle::SharedPtr & handle, const std::shared_ptr<Registry> & goals,
    const std::weak_ptr<rclcpp::Client<ResultService>> & weak_result_client)
  {
    const auto result_client = weak_result_client.lock();
    if (!result_client || handle->set_result_awareness(true)) {
      return;
    }
    auto request = std::make_shared<typename ResultService::Request>();
    request->goal_id.uuid = handle->get_goal_id();
    result_client->async_send_request(
      request,
      [handle, goals](typename rclcpp::Client<ResultService>::SharedFuture response_future) {
        const auto response = response_future.get();
        WrappedResult wrapped_result;
        wrapped_result.goal_id = handle->get_goal_id();
        wrapped_result.code = static_cast<ResultCode>(response->status);
        wrapped_result.result = std::make_shared<typename ActionT::Result>(response->result);
        handle->set_result(wrapped_result);
        goals->forget(handle->get_goal_id());
      });
  }

  std::shared_future<typename CancelResponse::SharedPtr> async_cancel(
    std::shared_ptr<CancelRequest> request, CancelCallback cancel_callback)
  {
    auto promise = std::make_shared<std::promise<typename CancelResponse::SharedPtr>>();
    std::shared_future<typename CancelResponse::SharedPtr> future(promise->get_future());
    cancel_client_->async_send_request(
      request, [promise, cancel_callback](
                 typename rclcpp::Client<CancelService>::SharedFuture response_future) {
        const auto response = response_future.get();
        promise->set_value(response);
        if (cancel_callback) {
          cancel_callback(response);
        }
      });
    return future;
  }

  const typename rclcpp::Client<GoalService>::SharedPtr goal_client_;
  const typename rclcpp::Client<CancelService>::SharedPtr cancel_client_;
  const typename rclcpp::Client<ResultService>::SharedPtr result_client_;
  const std::shared_ptr<Registry> goals_;
  typename rclcpp::Subscription<FeedbackMessage>::SharedPtr feedback_subscription_;
  typename rclcpp::Subscription<GoalStatusMessage>::SharedPtr status_subscription_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_HPP_
