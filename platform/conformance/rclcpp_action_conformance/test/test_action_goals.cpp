// Goals from sending to their end, as a client sees them: acceptance and refusal, feedback,
// status, results and their codes, and results of goals the caller has let go of.

#include <gtest/gtest.h>

#include "fibonacci_fixture.hpp"

namespace
{

using rclcpp_action::ResultCode;
using rclcpp_action::exceptions::UnknownGoalHandleError;
using GoalStatus = action_msgs::msg::GoalStatus;
using Options = rclcpp_action::Client<Fibonacci>::SendGoalOptions;

TEST_F(FibonacciActionTest, AcceptedGoalGivesFeedbackStatusAndResult)
{
  start_server();
  ASSERT_TRUE(client_->wait_for_action_server(kPatience));
  EXPECT_TRUE(client_->action_server_is_ready());

  std::vector<ClientGoalHandle::SharedPtr> responses;
  std::vector<std::vector<int32_t>> feedbacks;
  std::vector<ClientGoalHandle::WrappedResult> results;
  Options options;
  options.goal_response_callback = [&](ClientGoalHandle::SharedPtr handle) {
    responses.push_back(handle);
  };
  options.feedback_callback =
    [&](ClientGoalHandle::SharedPtr handle, std::shared_ptr<const Fibonacci::Feedback> feedback) {
      EXPECT_EQ(handle, responses.at(0));
      feedbacks.push_back(feedback->sequence);
    };
  options.result_callback = [&](const ClientGoalHandle::WrappedResult & result) {
    results.push_back(result);
  };

  const auto handle = send_and_await(5, options);
  ASSERT_TRUE(handle);
  ASSERT_EQ(responses.size(), 1u);
  EXPECT_EQ(responses[0], handle);
  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);
  EXPECT_EQ(served->get_goal_id(), handle->get_goal_id());
  EXPECT_EQ(served->get_goal()->order, 5);
  EXPECT_TRUE(served->is_executing());

  served->publish_feedback(ScriptedFibonacciServer::feedback_of({0, 1}));
  ASSERT_TRUE(spin_until([&] { return feedbacks.size() == 1; }));
  EXPECT_EQ(feedbacks[0], (std::vector<int32_t>{0, 1}));

  served->succeed(ScriptedFibonacciServer::result_of({0, 1, 1, 2, 3}));
  EXPECT_FALSE(served->is_active());
  ASSERT_TRUE(spin_until([&] { return results.size() == 1; }));
  EXPECT_EQ(results[0].code, ResultCode::SUCCEEDED);
  EXPECT_EQ(results[0].goal_id, handle->get_goal_id());
  EXPECT_EQ(results[0].result->sequence, (std::vector<int32_t>{0, 1, 1, 2, 3}));
  EXPECT_EQ(handle->get_status(), GoalStatus::STATUS_SUCCEEDED);

  // Once its result is in, the client no longer knows the goal.
  EXPECT_THROW(client_->async_cancel_goal(handle), UnknownGoalHandleError);
}

TEST_F(FibonacciActionTest, RefusedGoalGivesNullHandleAndNoResult)
{
  start_server();
  server_->goal_decision = rclcpp_action::GoalResponse::REJECT;
  int null_responses = 0;
  int results = 0;
  Options options;
  options.goal_response_callback = [&](ClientGoalHandle::SharedPtr handle) {
    null_responses += handle ? 0 : 1;
  };
  options.result_callback = [&](const ClientGoalHandle::WrappedResult &) { ++results; };

  EXPECT_EQ(send_and_await(3, options), nullptr);
  EXPECT_EQ(null_responses, 1);
  EXPECT_EQ(results, 0);
}

TEST_F(FibonacciActionTest, DeferredGoalThenAbortedReportsEachStatus)
{
  start_server();
  server_->goal_decision = rclcpp_action::GoalResponse::ACCEPT_AND_DEFER;
  std::vector<ClientGoalHandle::WrappedResult> results;
  Options options;
  options.result_callback = [&](const ClientGoalHandle::WrappedResult & result) {
    results.push_back(result);
  };
  const auto handle = send_and_await(2, options);
  ASSERT_TRUE(handle);
  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);
  EXPECT_TRUE(served->is_active());
  EXPECT_FALSE(served->is_executing());
  EXPECT_THROW(
    served->succeed(ScriptedFibonacciServer::result_of({})), rclcpp::exceptions::RCLError);

  served->execute();
  ASSERT_TRUE(spin_until([&] { return handle->get_status() == GoalStatus::STATUS_EXECUTING; }));
  served->abort(ScriptedFibonacciServer::result_of({7}));
  ASSERT_TRUE(spin_until([&] { return results.size() == 1; }));
  EXPECT_EQ(results[0].code, ResultCode::ABORTED);
  EXPECT_EQ(results[0].result->sequence, std::vector<int32_t>{7});
  EXPECT_EQ(handle->get_status(), GoalStatus::STATUS_ABORTED);
}

TEST_F(FibonacciActionTest, FeedbackReachesOnlyTheHandleOfItsGoal)
{
  start_server();
  std::map<int32_t, int> feedback_per_order;
  auto options_for = [&](int32_t order) {
    Options options;
    options.feedback_callback =
      [&, order](ClientGoalHandle::SharedPtr, std::shared_ptr<const Fibonacci::Feedback> feedback) {
        EXPECT_EQ(feedback->sequence, std::vector<int32_t>{order});
        ++feedback_per_order[order];
      };
    return options;
  };
  const auto first = send_and_await(1, options_for(1));
  const auto second = send_and_await(2, options_for(2));
  ASSERT_TRUE(first && second);
  const auto served_first = server_->next_accepted_goal();
  const auto served_second = server_->next_accepted_goal();
  ASSERT_TRUE(served_first && served_second);

  // A goal sent without callbacks whose future is dropped: the client forgets it.
  Fibonacci::Goal forgotten_goal;
  forgotten_goal.order = 3;
  {
    auto future = client_->async_send_goal(forgotten_goal);
    ASSERT_EQ(
      executor_->spin_until_future_complete(future, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  }
  const auto served_forgotten = server_->next_accepted_goal();
  ASSERT_TRUE(served_forgotten);
  served_forgotten->publish_feedback(ScriptedFibonacciServer::feedback_of({3}));
  served_forgotten->succeed(ScriptedFibonacciServer::result_of({}));

  served_second->publish_feedback(ScriptedFibonacciServer::feedback_of({2}));
  served_first->publish_feedback(ScriptedFibonacciServer::feedback_of({1}));
  ASSERT_TRUE(spin_until([&] { return feedback_per_order[1] == 1; }));
  EXPECT_EQ(feedback_per_order[2], 1);
  EXPECT_EQ(feedback_per_order.count(3), 0u);
}

TEST_F(FibonacciActionTest, ResultsOfGoalsTheCallerLetGo)
{
  start_server();
  std::vector<ClientGoalHandle::WrappedResult> results;
  Options options;
  options.result_callback = [&](const ClientGoalHandle::WrappedResult & result) {
    results.push_back(result);
  };

  // The caller drops the handle at once: the result still comes, with the goal's own id, so a
  // caller that follows another goal by now can tell it apart.
  rclcpp_action::GoalUUID dropped_id;
  {
    const auto dropped = send_and_await(1, options);
    ASSERT_TRUE(dropped);
    dropped_id = dropped->get_goal_id();
  }
  const auto followed = send_and_await(2, options);
  ASSERT_TRUE(followed);
  const auto served_dropped = server_->next_accepted_goal();
  const auto served_followed = server_->next_accepted_goal();
  ASSERT_TRUE(served_dropped && served_followed);
  served_dropped->succeed(ScriptedFibonacciServer::result_of({1}));
  ASSERT_TRUE(spin_until([&] { return results.size() == 1; }));
  EXPECT_EQ(results[0].goal_id, dropped_id);
  EXPECT_NE(results[0].goal_id, followed->get_goal_id());

  // A handle of another client's goal is unknown here.
  auto other_client = rclcpp_action::create_client<Fibonacci>(client_node_, "fibonacci", group_);
  try {
    other_client->async_cancel_goal(followed);
    ADD_FAILURE() << "another client's goal was known";
  } catch (const UnknownGoalHandleError & error) {
    EXPECT_STREQ(error.what(), "Goal handle is not known to this client.");
  }
  EXPECT_EQ(results.size(), 1u);
}

}  // namespace
