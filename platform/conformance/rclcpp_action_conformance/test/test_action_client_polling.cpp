// How the robot's action nodes drive a client: a private executor polled with spin_some(0) and
// zero-timeout waits on the pending goal, callbacks only inside those polls, waiting for the
// server, and many goals served at once by a multi-threaded server.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "fibonacci_fixture.hpp"

namespace
{

using rclcpp::FutureReturnCode;

TEST_F(FibonacciActionTest, ZeroTimeoutPollsFollowAGoalAndAloneRunItsCallbacks)
{
  start_server();
  ASSERT_TRUE(client_->wait_for_action_server(kPatience));
  server_->hold_goal_decisions(true);
  const auto test_thread = std::this_thread::get_id();
  std::atomic<bool> polling{false};
  std::atomic<int> misplaced_calls{0};
  auto checked = [&](auto inner) {
    return [&, inner](auto &&... args) {
      misplaced_calls += polling && std::this_thread::get_id() == test_thread ? 0 : 1;
      inner(args...);
    };
  };
  Options options = recording();
  options.goal_response_callback = checked(options.goal_response_callback);
  options.feedback_callback = checked(options.feedback_callback);
  options.result_callback = checked(options.result_callback);
  Fibonacci::Goal goal;
  goal.order = 8;
  std::shared_future<ClientGoalHandle::SharedPtr> pending = client_->async_send_goal(goal, options);

  // One poll as a tick makes it: spin what is ready, then look at the goal response. False once
  // kPatience is over.
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  auto response = FutureReturnCode::INTERRUPTED;
  auto poll = [&] {
    polling = true;
    executor_->spin_some(0ns);
    response = executor_->spin_until_future_complete(pending, 0ms);
    polling = false;
    return std::chrono::steady_clock::now() < deadline;
  };
  poll();
  EXPECT_EQ(response, FutureReturnCode::TIMEOUT);
  EXPECT_TRUE(responses.empty());
  server_->hold_goal_decisions(false);
  while (poll() && response != FutureReturnCode::SUCCESS) {
  }
  ASSERT_EQ(pending.wait_for(0s), std::future_status::ready);
  const auto handle = pending.get();
  ASSERT_TRUE(handle);
  EXPECT_EQ(responses.size(), 1u);

  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);
  served->publish_feedback(holding<Fibonacci::Feedback>({1}));
  while (poll() && feedbacks.empty()) {
  }
  // Cancelled as a late accepted goal is: the answer is not waited for.
  client_->async_cancel_goal(handle);
  while (poll() && !served->is_canceling()) {
  }
  served->canceled(holding<Fibonacci::Result>({21}));
  while (poll() && results.empty()) {
  }
  ASSERT_EQ(feedbacks, std::vector<std::vector<int32_t>>{{1}});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].goal_id, handle->get_goal_id());
  EXPECT_EQ(results[0].code, ResultCode::CANCELED);
  EXPECT_EQ(results[0].result->sequence, std::vector<int32_t>{21});
  EXPECT_EQ(misplaced_calls, 0);
}

TEST_F(FibonacciActionTest, WaitForActionServerEndsWhenItAppearsOrAtShutdown)
{
  EXPECT_FALSE(client_->action_server_is_ready());
  EXPECT_FALSE(client_->wait_for_action_server(20ms));
  std::thread starter([this] {
    std::this_thread::sleep_for(20ms);
    start_server();
  });
  EXPECT_TRUE(client_->wait_for_action_server(kPatience));
  starter.join();
  EXPECT_TRUE(client_->action_server_is_ready());

  auto absent = rclcpp_action::create_client<Fibonacci>(client_node_, "absent", group_);
  std::thread stopper([] {
    std::this_thread::sleep_for(20ms);
    rclcpp::shutdown();
  });
  EXPECT_FALSE(absent->wait_for_action_server());
  stopper.join();
}

TEST_F(FibonacciActionTest, ConcurrentGoalsEachGetTheirOwnFeedbackAndResult)
{
  start_server();
  constexpr int32_t kGoals = 6;
  constexpr int kFeedbacksPerGoal = 4;
  std::map<int32_t, std::shared_future<ClientGoalHandle::SharedPtr>> pending;
  std::map<int32_t, int> feedbacks_of;
  std::map<int32_t, ClientGoalHandle::WrappedResult> results_of;
  for (int32_t order = 1; order <= kGoals; ++order) {
    Options options;
    options.feedback_callback = [&feedbacks_of, order](
                                  ClientGoalHandle::SharedPtr,
                                  std::shared_ptr<const Fibonacci::Feedback> feedback) {
      EXPECT_EQ(feedback->sequence, std::vector<int32_t>{order});
      ++feedbacks_of[order];
    };
    options.result_callback = [&results_of, order](const ClientGoalHandle::WrappedResult & result) {
      results_of[order] = result;
    };
    Fibonacci::Goal goal;
    goal.order = order;
    pending[order] = client_->async_send_goal(goal, options);
  }
  for (const auto & entry : pending) {
    ASSERT_EQ(
      executor_->spin_until_future_complete(entry.second, kPatience), FutureReturnCode::SUCCESS);
  }
  const auto served_goals = server_->next_accepted_goals(kGoals);
  ASSERT_EQ(served_goals.size(), size_t{kGoals});
  std::vector<std::thread> workers;
  for (const auto & [order, served] : served_goals) {
    workers.emplace_back([order = order, served = served] {
      for (int k = 0; k < kFeedbacksPerGoal; ++k) {
        served->publish_feedback(holding<Fibonacci::Feedback>({order}));
      }
      served->succeed(holding<Fibonacci::Result>({order}));
    });
  }
  const bool all_results = spin_until([&] { return results_of.size() == kGoals; });
  for (auto & worker : workers) {
    worker.join();
  }
  ASSERT_TRUE(all_results);
  for (const auto & [order, result] : results_of) {
    EXPECT_EQ(result.code, ResultCode::SUCCEEDED);
    EXPECT_EQ(result.result->sequence, std::vector<int32_t>{order});
    EXPECT_EQ(result.goal_id, pending[order].get()->get_goal_id());
    // Feedback beyond the subscription's depth may be dropped, never misdelivered.
    EXPECT_LE(feedbacks_of[order], kFeedbacksPerGoal);
  }
}

}  // namespace
