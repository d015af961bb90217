// How the robot's action nodes drive a client: a private executor polled with spin_some(0) and
// zero-timeout waits on the pending goal, callbacks only inside those spins, waiting for the
// server, and many goals served at once by a multi-threaded server.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>

#include "fibonacci_fixture.hpp"

namespace
{

using rclcpp::FutureReturnCode;
using rclcpp_action::ResultCode;
using Options = rclcpp_action::Client<Fibonacci>::SendGoalOptions;

TEST_F(FibonacciActionTest, ZeroTimeoutPollingOfThePrivateExecutorFollowsAGoal)
{
  start_server();
  ASSERT_TRUE(client_->wait_for_action_server(kPatience));
  server_->hold_goal_decisions();

  int accepted = 0;
  ClientGoalHandle::WrappedResult result;
  bool has_result = false;
  Options options;
  options.goal_response_callback = [&](ClientGoalHandle::SharedPtr handle) {
    accepted += handle ? 1 : 0;
  };
  options.result_callback = [&](const ClientGoalHandle::WrappedResult & wrapped) {
    result = wrapped;
    has_result = true;
  };
  Fibonacci::Goal goal;
  goal.order = 8;
  std::shared_future<ClientGoalHandle::SharedPtr> pending = client_->async_send_goal(goal, options);

  executor_->spin_some(0ns);
  EXPECT_EQ(executor_->spin_until_future_complete(pending, 0ms), FutureReturnCode::TIMEOUT);
  EXPECT_EQ(accepted, 0);
  server_->release_goal_decisions();

  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  auto poll = [&] {
    executor_->spin_some(0ns);
    return std::chrono::steady_clock::now() < deadline;
  };
  while (poll() &&
         executor_->spin_until_future_complete(pending, 0ms) != FutureReturnCode::SUCCESS) {
  }
  ASSERT_EQ(pending.wait_for(0s), std::future_status::ready);
  const auto handle = pending.get();
  ASSERT_TRUE(handle);
  EXPECT_EQ(accepted, 1);

  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);
  served->succeed(ScriptedFibonacciServer::result_of({21}));
  while (poll() && !has_result) {
  }
  ASSERT_TRUE(has_result);
  EXPECT_EQ(0, std::memcmp(result.goal_id.data(), handle->get_goal_id().data(), 16));
  EXPECT_EQ(result.code, ResultCode::SUCCEEDED);
  EXPECT_EQ(result.result->sequence, std::vector<int32_t>{21});
}

TEST_F(FibonacciActionTest, CallbacksRunOnlyInsideSpinsOfTheClientExecutor)
{
  start_server();
  const auto test_thread = std::this_thread::get_id();
  std::atomic<bool> spinning{false};
  std::atomic<int> calls{0};
  std::atomic<int> calls_outside_spins{0};
  std::atomic<int> responses{0};
  std::atomic<int> feedbacks{0};
  std::atomic<int> results{0};
  auto record = [&](std::atomic<int> & counter) {
    ++calls;
    ++counter;
    if (!spinning || std::this_thread::get_id() != test_thread) {
      ++calls_outside_spins;
    }
  };
  Options options;
  options.goal_response_callback = [&](ClientGoalHandle::SharedPtr) { record(responses); };
  options.feedback_callback = [&](
                                ClientGoalHandle::SharedPtr,
                                std::shared_ptr<const Fibonacci::Feedback>) { record(feedbacks); };
  options.result_callback = [&](const ClientGoalHandle::WrappedResult &) { record(results); };
  auto spin_until_count = [&](std::atomic<int> & counter) {
    spinning = true;
    const bool reached = spin_until([&] { return counter == 1; });
    spinning = false;
    return reached;
  };

  Fibonacci::Goal goal;
  goal.order = 2;
  auto pending = client_->async_send_goal(goal, options);
  const auto served = server_->next_accepted_goal();
  ASSERT_TRUE(served);
  EXPECT_EQ(calls, 0);  // the response is waiting, undelivered
  ASSERT_TRUE(spin_until_count(responses));

  served->publish_feedback(ScriptedFibonacciServer::feedback_of({1}));
  EXPECT_EQ(calls, 1);
  ASSERT_TRUE(spin_until_count(feedbacks));

  served->succeed(ScriptedFibonacciServer::result_of({1, 1}));
  EXPECT_EQ(results, 0);
  ASSERT_TRUE(spin_until_count(results));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(calls_outside_spins, 0);
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

  // The graph may learn of a removal a little later.
  server_.reset();
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (client_->action_server_is_ready() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_FALSE(client_->action_server_is_ready());
  std::thread stopper([] {
    std::this_thread::sleep_for(20ms);
    rclcpp::shutdown();
  });
  EXPECT_FALSE(client_->wait_for_action_server());
  stopper.join();
}

TEST_F(FibonacciActionTest, ConcurrentGoalsEachGetTheirOwnFeedbackAndResult)
{
  start_server();
  constexpr int32_t kGoals = 6;
  constexpr int kFeedbacksPerGoal = 4;
  std::map<int32_t, std::shared_future<ClientGoalHandle::SharedPtr>> pending;
  std::map<int32_t, int> feedbacks;
  std::map<int32_t, ClientGoalHandle::WrappedResult> results;
  for (int32_t order = 1; order <= kGoals; ++order) {
    Options options;
    options.feedback_callback = [&feedbacks, order](
                                  ClientGoalHandle::SharedPtr,
                                  std::shared_ptr<const Fibonacci::Feedback> feedback) {
      EXPECT_EQ(feedback->sequence, std::vector<int32_t>{order});
      ++feedbacks[order];
    };
    options.result_callback = [&results, order](const ClientGoalHandle::WrappedResult & result) {
      results[order] = result;
    };
    Fibonacci::Goal goal;
    goal.order = order;
    pending[order] = client_->async_send_goal(goal, options);
  }
  for (const auto & entry : pending) {
    ASSERT_EQ(
      executor_->spin_until_future_complete(entry.second, kPatience), FutureReturnCode::SUCCESS);
  }

  std::vector<std::shared_ptr<ServerGoalHandle>> served_goals;
  for (int32_t i = 0; i < kGoals; ++i) {
    served_goals.push_back(server_->next_accepted_goal());
    ASSERT_TRUE(served_goals.back());
  }
  std::vector<std::thread> workers;
  for (const auto & served : served_goals) {
    workers.emplace_back([served] {
      const int32_t order = served->get_goal()->order;
      for (int k = 0; k < kFeedbacksPerGoal; ++k) {
        served->publish_feedback(ScriptedFibonacciServer::feedback_of({order}));
      }
      served->succeed(ScriptedFibonacciServer::result_of({order}));
    });
  }
  const bool all_results = spin_until([&] { return results.size() == kGoals; });
  for (auto & worker : workers) {
    worker.join();
  }
  ASSERT_TRUE(all_results);
  for (const auto & [order, result] : results) {
    EXPECT_EQ(result.code, ResultCode::SUCCEEDED);
    EXPECT_EQ(result.result->sequence, std::vector<int32_t>{order});
    EXPECT_EQ(result.goal_id, pending[order].get()->get_goal_id());
    // Feedback beyond the subscription's depth may be dropped, never misdelivered.
    EXPECT_LE(feedbacks[order], kFeedbacksPerGoal);
  }
}

}  // namespace
