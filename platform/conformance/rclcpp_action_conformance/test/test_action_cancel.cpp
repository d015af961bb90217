// Cancelling goals: cancels the server accepts and refuses, and goals
// that end canceled because their server let go of them.

#include <gtest/gtest.h>

#include "fibonacci_fixture.hpp"

namespace
{

using rclcpp_action::ResultCode;
using CancelResponse = action_msgs::srv::CancelGoal::Response;
using GoalStatus = action_msgs::msg::GoalStatus;
using Options = rclcpp_action::Client<Fibonacci>::SendGoalOptions;

class FibonacciCancelTest : public FibonacciActionTest
{
protected:
  Options collecting_results()
  {
    Options options;
    options.result_callback = [this](const ClientGoalHandle::WrappedResult & result) {
      results_.push_back(result);
    };
    return options;
  }

  std::vector<ClientGoalHandle::WrappedResult> results_;
};

TEST_F(FibonacciCancelTest, AcceptedCancelEndsTheGoalCanceled)
{
  start_server();
  const auto handle = send_and_await(5, collecting_results());
  ASSERT_TRUE(handle);
  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);

  CancelResponse::SharedPtr from_callback;
  auto cancel = client_->async_cancel_goal(
    handle, [&](CancelResponse::SharedPtr response) { from_callback = response; });
  ASSERT_EQ(
    executor_->spin_until_future_complete(cancel, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  const auto response = cancel.get();
  EXPECT_EQ(from_callback, response);
  EXPECT_EQ(response->return_code, CancelResponse::ERROR_NONE);
  ASSERT_EQ(response->goals_canceling.size(), 1u);
  EXPECT_EQ(response->goals_canceling[0].goal_id.uuid, handle->get_goal_id());
  EXPECT_TRUE(served->is_canceling());
  ASSERT_TRUE(spin_until([&] { return handle->get_status() == GoalStatus::STATUS_CANCELING; }));

  served->canceled(ScriptedFibonacciServer::result_of({0, 1}));
  ASSERT_TRUE(spin_until([&] { return results_.size() == 1; }));
  EXPECT_EQ(results_[0].code, ResultCode::CANCELED);
  EXPECT_EQ(results_[0].result->sequence, (std::vector<int32_t>{0, 1}));
}

TEST_F(FibonacciCancelTest, RefusedCancelLeavesTheGoalRunning)
{
  start_server();
  server_->cancel_decision = rclcpp_action::CancelResponse::REJECT;
  const auto handle = send_and_await(5, collecting_results());
  ASSERT_TRUE(handle);
  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);

  auto cancel = client_->async_cancel_goal(handle);
  ASSERT_EQ(
    executor_->spin_until_future_complete(cancel, kPatience), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(cancel.get()->return_code, CancelResponse::ERROR_REJECTED);
  EXPECT_TRUE(cancel.get()->goals_canceling.empty());
  EXPECT_TRUE(served->is_executing());
  EXPECT_THROW(
    served->canceled(ScriptedFibonacciServer::result_of({})), rclcpp::exceptions::RCLError);

  served->succeed(ScriptedFibonacciServer::result_of({1}));
  ASSERT_TRUE(spin_until([&] { return results_.size() == 1; }));
  EXPECT_EQ(results_[0].code, ResultCode::SUCCEEDED);
}

TEST_F(FibonacciCancelTest, GoalWhoseServerHandleIsDroppedEndsCanceled)
{
  start_server();
  server_->keep_handles = false;
  const auto handle = send_and_await(5, collecting_results());
  ASSERT_TRUE(handle);
  ASSERT_TRUE(spin_until([&] { return results_.size() == 1; }));
  EXPECT_EQ(results_[0].code, ResultCode::CANCELED);
  EXPECT_EQ(results_[0].goal_id, handle->get_goal_id());
}

}  // namespace
