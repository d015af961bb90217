// Goals from sending to their end, as a client sees them: acceptance and refusal, feedback,
// results and their codes, cancels, and goals that the caller or the server let go of.

#include <gtest/gtest.h>

#include "fibonacci_fixture.hpp"

namespace
{

using rclcpp_action::exceptions::UnknownGoalHandleError;
using CancelResponse = action_msgs::srv::CancelGoal::Response;
using Feedback = Fibonacci::Feedback;
using Result = Fibonacci::Result;
using ResultService = Fibonacci::Impl::GetResultService;

TEST_F(FibonacciActionTest, AcceptedGoalGivesFeedbackAndItsResultWithItsCode)
{
  start_server();
  const struct
  {
    void (ServerGoalHandle::*end)(std::shared_ptr<Result>);
    ResultCode code;
  } ends[] = {
    {&ServerGoalHandle::succeed, ResultCode::SUCCEEDED},
    {&ServerGoalHandle::abort, ResultCode::ABORTED}};
  for (const auto & row : ends) {
    responses.clear();
    feedbacks.clear();
    results.clear();
    const auto handle = send_and_await(5, recording());
    ASSERT_TRUE(handle);
    EXPECT_EQ(responses, std::vector<ClientGoalHandle::SharedPtr>{handle});
    const auto served = server_->next_accepted_goal();
    ASSERT_TRUE(served);
    EXPECT_EQ(served->get_goal_id(), handle->get_goal_id());
    EXPECT_EQ(served->get_goal()->order, 5);

    served->publish_feedback(holding<Feedback>({0, 1}));
    ASSERT_TRUE(spin_until([&] { return !feedbacks.empty(); }));
    EXPECT_EQ(feedbacks[0], (std::vector<int32_t>{0, 1}));

    ((*served).*row.end)(holding<Result>({0, 1, 1}));
    ASSERT_TRUE(spin_until([&] { return !results.empty(); }));
    EXPECT_EQ(results[0].code, row.code);
    EXPECT_EQ(results[0].goal_id, handle->get_goal_id());
    EXPECT_EQ(results[0].result->sequence, (std::vector<int32_t>{0, 1, 1}));
    // Once its result is in, the client no longer knows the goal.
    EXPECT_THROW(client_->async_cancel_goal(handle), UnknownGoalHandleError);
  }
}

// As the action nodes ask for a result: once the server holds the goal, asked once however
// often asked for, reaching the callback given then.
TEST_F(FibonacciActionTest, ResultAskedForOnceTheServerHoldsTheGoalReachesTheCallbackGivenThen)
{
  start_server();
  const auto handle = send_and_await(4);
  ASSERT_TRUE(handle);
  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);
  const auto future = client_->async_get_result(
    handle, [this](const ClientGoalHandle::WrappedResult & result) { results.push_back(result); });
  client_->async_get_result(handle);
  served->succeed(holding<Result>({0, 1}));
  ASSERT_TRUE(spin_until([&] { return !results.empty(); }));
  executor_->spin_some();
  EXPECT_EQ(results.size(), 1u);
  EXPECT_EQ(future.get().code, ResultCode::SUCCEEDED);
  EXPECT_THROW(client_->async_get_result(handle), UnknownGoalHandleError);
}

TEST_F(FibonacciActionTest, RefusedGoalGivesNullHandleAndNoResult)
{
  start_server();
  server_->goal_decision = rclcpp_action::GoalResponse::REJECT;
  EXPECT_EQ(send_and_await(3, recording()), nullptr);
  EXPECT_EQ(responses, std::vector<ClientGoalHandle::SharedPtr>{nullptr});
  EXPECT_TRUE(results.empty());
}

// A server answers a goal before it registers it. Requests about the goal that come before
// then find no such goal; a reentrant server holding its goal decision makes that window last.
TEST_F(FibonacciActionTest, RequestsAboutAGoalTheServerHasNotRegisteredFindNoGoal)
{
  start_server(rclcpp::CallbackGroupType::Reentrant);
  auto result_client = client_node_->create_client<ResultService>(
    "fibonacci/_action/get_result", rmw_qos_profile_services_default, group_);
  auto cancel_client = client_node_->create_client<action_msgs::srv::CancelGoal>(
    "fibonacci/_action/cancel_goal", rmw_qos_profile_services_default, group_);
  ASSERT_TRUE(client_->wait_for_action_server(kPatience));
  ASSERT_TRUE(result_client->wait_for_service(kPatience));
  ASSERT_TRUE(cancel_client->wait_for_service(kPatience));
  server_->hold_goal_decisions(true);
  Fibonacci::Goal goal;
  goal.order = 4;
  const auto pending = client_->async_send_goal(goal);
  const auto goal_id = server_->next_goal_request();

  auto result_request = std::make_shared<ResultService::Request>();
  result_request->goal_id.uuid = goal_id;
  auto result = result_client->async_send_request(result_request).future.share();
  auto cancel_request = std::make_shared<action_msgs::srv::CancelGoal::Request>();
  cancel_request->goal_info.goal_id.uuid = goal_id;
  auto cancel = cancel_client->async_send_request(cancel_request).future.share();
  ASSERT_EQ(
    executor_->spin_until_future_complete(result, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  ASSERT_EQ(
    executor_->spin_until_future_complete(cancel, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(result.get()->status, rclcpp_action::GoalStatus::STATUS_UNKNOWN);
  EXPECT_TRUE(result.get()->result.sequence.empty());
  EXPECT_EQ(cancel.get()->return_code, CancelResponse::ERROR_UNKNOWN_GOAL_ID);
  EXPECT_TRUE(cancel.get()->goals_canceling.empty());

  server_->hold_goal_decisions(false);
  ASSERT_EQ(
    executor_->spin_until_future_complete(pending, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_TRUE(pending.get());
}

// The client takes the first result answer for a goal as its result, also one of status UNKNOWN
// from a server that does not hold the goal (as one answers between answering a goal and
// registering it), and forgets the goal, which goes on at the server that runs it.
TEST_F(FibonacciActionTest, TheFirstResultAnswerIsTheGoalsResultEvenWhenItsStatusIsUnknown)
{
  start_server();
  // A second server of the action that never registers the goal: its own answer to the goal is
  // held until the client took the first server's acceptance, and is then lost.
  auto unregistering =
    std::make_unique<ScriptedFibonacciServer>("fibonacci", rclcpp::CallbackGroupType::Reentrant);
  unregistering->goal_decision = rclcpp_action::GoalResponse::REJECT;
  unregistering->hold_goal_decisions(true);
  ASSERT_TRUE(client_->wait_for_action_server(kPatience));
  const auto handle = send_and_await(6, recording());
  ASSERT_TRUE(handle);
  ASSERT_TRUE(spin_until([&] { return !results.empty(); }));
  EXPECT_EQ(results[0].code, ResultCode::UNKNOWN);
  EXPECT_TRUE(results[0].result->sequence.empty());
  EXPECT_THROW(client_->async_get_result(handle), UnknownGoalHandleError);
  unregistering->hold_goal_decisions(false);
  unregistering.reset();

  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);
  EXPECT_TRUE(served->is_executing());
  served->succeed(holding<Result>({6}));
  const auto next = send_and_await(7, recording());
  const auto next_served = server_->next_accepted_goal();
  ASSERT_TRUE(next && next_served);
  next_served->succeed(holding<Result>({7}));
  ASSERT_TRUE(spin_until([&] { return results.size() > 1u; }));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[1].goal_id, next->get_goal_id());
  EXPECT_EQ(handle->get_status(), rclcpp_action::GoalStatus::STATUS_UNKNOWN);
}

TEST_F(FibonacciActionTest, CancelsEndTheGoalCanceledWhenAcceptedAndSoDoesTheServerLettingGo)
{
  start_server();
  const struct
  {
    rclcpp_action::CancelResponse decision;
    int8_t return_code;
    ResultCode end;
  } cancels[] = {
    {rclcpp_action::CancelResponse::ACCEPT, CancelResponse::ERROR_NONE, ResultCode::CANCELED},
    {rclcpp_action::CancelResponse::REJECT, CancelResponse::ERROR_REJECTED, ResultCode::SUCCEEDED},
  };
  for (const auto & row : cancels) {
    results.clear();
    server_->cancel_decision = row.decision;
    const auto handle = send_and_await(5, recording());
    const auto served = server_->next_accepted_goal();
    ASSERT_TRUE(handle && served);
    auto cancel = client_->async_cancel_goal(handle);
    ASSERT_EQ(
      executor_->spin_until_future_complete(cancel, kPatience), rclcpp::FutureReturnCode::SUCCESS);
    EXPECT_EQ(cancel.get()->return_code, row.return_code);
    if (row.end == ResultCode::CANCELED) {
      ASSERT_EQ(cancel.get()->goals_canceling.size(), 1u);
      EXPECT_EQ(cancel.get()->goals_canceling[0].goal_id.uuid, handle->get_goal_id());
      served->canceled(holding<Result>({0, 1}));
    } else {
      EXPECT_TRUE(cancel.get()->goals_canceling.empty());
      EXPECT_THROW(served->canceled(holding<Result>({})), rclcpp::exceptions::RCLError);
      served->succeed(holding<Result>({0, 1}));
    }
    ASSERT_TRUE(spin_until([&] { return !results.empty(); }));
    EXPECT_EQ(results[0].code, row.end);
    EXPECT_EQ(results[0].result->sequence, (std::vector<int32_t>{0, 1}));
  }

  results.clear();
  server_->keep_handles = false;
  const auto dropped = send_and_await(5, recording());
  ASSERT_TRUE(dropped);
  ASSERT_TRUE(spin_until([&] { return !results.empty(); }));
  EXPECT_EQ(results[0].code, ResultCode::CANCELED);
  EXPECT_EQ(results[0].goal_id, dropped->get_goal_id());
}

// A goal that can no longer be canceled counts as ended, even while it is still canceling.
TEST_F(FibonacciActionTest, CancelOfAGoalThatCanNoLongerBeCanceledIsAnsweredGoalTerminated)
{
  start_server();
  const std::function<void(ClientGoalHandle::SharedPtr, ServerGoalHandle &)> bring_to[] = {
    [this](ClientGoalHandle::SharedPtr handle, ServerGoalHandle &) {
      auto first = client_->async_cancel_goal(handle);
      ASSERT_EQ(
        executor_->spin_until_future_complete(first, kPatience), rclcpp::FutureReturnCode::SUCCESS);
      ASSERT_EQ(first.get()->return_code, CancelResponse::ERROR_NONE);
    },
    [](ClientGoalHandle::SharedPtr, ServerGoalHandle & served) {
      served.succeed(holding<Result>({1}));
    },
  };
  for (const auto & bring : bring_to) {
    // Without a result callback the client still knows the goal once it ended.
    const auto handle = send_and_await(5);
    const auto served = server_->next_accepted_goal();
    ASSERT_TRUE(handle && served);
    bring(handle, *served);
    auto cancel = client_->async_cancel_goal(handle);
    ASSERT_EQ(
      executor_->spin_until_future_complete(cancel, kPatience), rclcpp::FutureReturnCode::SUCCESS);
    EXPECT_EQ(cancel.get()->return_code, CancelResponse::ERROR_GOAL_TERMINATED);
    EXPECT_TRUE(cancel.get()->goals_canceling.empty());
  }
}

// A destroyed server answers nothing it still owed, and the client's requests stay pending;
// one started under the same name later serves new goals but holds none of the old ones.
TEST_F(FibonacciActionTest, AServerGoneAnswersNothingMoreAndOneBackKnowsNoneOfItsGoals)
{
  start_server();
  const auto awaited = send_and_await(1, recording());
  const auto unawaited = send_and_await(2);
  auto served = server_->next_accepted_goals(2);
  ASSERT_TRUE(awaited && unawaited && served.size() == 2u);
  server_.reset();
  ASSERT_TRUE(spin_until([this] { return !client_->action_server_is_ready(); }));
  EXPECT_FALSE(client_->wait_for_action_server(0s));
  served[1]->publish_feedback(holding<Feedback>({1}));
  served[1]->succeed(holding<Result>({1}));
  served[2]->abort(holding<Result>({2}));
  const auto cancel_to_nobody = client_->async_cancel_goal(awaited);

  start_server();
  ASSERT_TRUE(client_->wait_for_action_server(kPatience));
  auto cancel = client_->async_cancel_goal(unawaited);
  ASSERT_EQ(
    executor_->spin_until_future_complete(cancel, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(cancel.get()->return_code, CancelResponse::ERROR_UNKNOWN_GOAL_ID);
  auto unknown = client_->async_get_result(unawaited);
  ASSERT_EQ(
    executor_->spin_until_future_complete(unknown, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(unknown.get().code, ResultCode::UNKNOWN);
  EXPECT_TRUE(unknown.get().result->sequence.empty());
  // That first answer is the goal's result: the client forgets the goal.
  EXPECT_THROW(client_->async_get_result(unawaited), UnknownGoalHandleError);

  const auto fresh = send_and_await(3, recording());
  const auto fresh_served = server_->next_accepted_goal();
  ASSERT_TRUE(fresh && fresh_served);
  fresh_served->succeed(holding<Result>({3}));
  ASSERT_TRUE(spin_until([&] { return !results.empty(); }));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].goal_id, fresh->get_goal_id());
  EXPECT_EQ(results[0].code, ResultCode::SUCCEEDED);
  EXPECT_TRUE(feedbacks.empty());
  EXPECT_NE(cancel_to_nobody.wait_for(0s), std::future_status::ready);
}

TEST_F(FibonacciActionTest, GoalsTheCallerLetGoNeverReachTheFollowedGoalsCallbacks)
{
  start_server();
  // The caller drops the handle at once: the result still comes, with the goal's own id, so a
  // caller that follows another goal by now can tell it apart.
  rclcpp_action::GoalUUID dropped_id;
  {
    const auto dropped = send_and_await(1, recording());
    ASSERT_TRUE(dropped);
    dropped_id = dropped->get_goal_id();
  }
  // Sent without callbacks and its future dropped at once, as pause and recovery goals are.
  Fibonacci::Goal forgotten;
  forgotten.order = 3;
  client_->async_send_goal(forgotten);
  const auto followed = send_and_await(2, recording());
  ASSERT_TRUE(followed);
  auto served = server_->next_accepted_goals(3);
  ASSERT_EQ(served.size(), 3u);
  served[3]->publish_feedback(holding<Feedback>({3}));
  served[3]->succeed(holding<Result>({3}));
  served[1]->succeed(holding<Result>({1}));
  served[2]->publish_feedback(holding<Feedback>({2}));
  ASSERT_TRUE(spin_until([&] { return !results.empty() && !feedbacks.empty(); }));
  EXPECT_EQ(feedbacks, std::vector<std::vector<int32_t>>{{2}});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].goal_id, dropped_id);

  // A handle of another client's goal is unknown here.
  auto other_client = rclcpp_action::create_client<Fibonacci>(client_node_, "fibonacci", group_);
  try {
    other_client->async_cancel_goal(followed);
    ADD_FAILURE() << "another client's goal was known";
  } catch (const UnknownGoalHandleError & error) {
    EXPECT_STREQ(error.what(), "Goal handle is not known to this client.");
  }
}

}  // namespace
