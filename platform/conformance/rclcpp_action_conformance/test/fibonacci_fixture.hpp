#ifndef FIBONACCI_FIXTURE_HPP_
#define FIBONACCI_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "example_interfaces/action/fibonacci.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"

using Fibonacci = example_interfaces::action::Fibonacci;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Fibonacci>;
using ServerGoalHandle = rclcpp_action::ServerGoalHandle<Fibonacci>;
using Options = rclcpp_action::Client<Fibonacci>::SendGoalOptions;
using rclcpp_action::ResultCode;
using namespace std::chrono_literals;

/// Bound of every wait that only a fault would exhaust.
constexpr auto kPatience = 5s;

/// A result or feedback message holding `sequence`.
template <class Message>
std::shared_ptr<Message> holding(std::vector<int32_t> sequence)
{
  auto message = std::make_shared<Message>();
  message->sequence = std::move(sequence);
  return message;
}

/// A Fibonacci server on its own node and multi-threaded executor, whose decisions the test
/// sets and whose accepted goals the test drives by hand. In a reentrant group it answers
/// requests while a goal decision is held; otherwise one request at a time.
class ScriptedFibonacciServer
{
public:
  ScriptedFibonacciServer(const std::string & action_name, rclcpp::CallbackGroupType group_type)
  : node_(std::make_shared<rclcpp::Node>("fibonacci_server")),
    group_(node_->create_callback_group(group_type)),
    server_executor_(rclcpp::ExecutorOptions(), 2)
  {
    server_ = rclcpp_action::create_server<Fibonacci>(
      node_, action_name,
      [this](const rclcpp_action::GoalUUID & goal_id, std::shared_ptr<const Fibonacci::Goal>) {
        std::unique_lock<std::mutex> lock(mutex_);
        requested_.push_back(goal_id);
        requested_changed_.notify_all();
        decisions_released_.wait(lock, [this] { return !decisions_held_; });
        return goal_decision.load();
      },
      [this](std::shared_ptr<ServerGoalHandle>) { return cancel_decision.load(); },
      [this](std::shared_ptr<ServerGoalHandle> handle) {
        if (keep_handles) {
          std::lock_guard<std::mutex> lock(mutex_);
          accepted_.push_back(handle);
          accepted_changed_.notify_all();
        }
      },
      rcl_action_server_get_default_options(), group_);
    server_executor_.add_node(node_);
    spinner_ = std::thread([this] { server_executor_.spin(); });
    // A cancel that comes before the spin has begun would be lost, and the spin never end.
    while (!server_executor_.is_spinning()) {
      std::this_thread::yield();
    }
  }

  ~ScriptedFibonacciServer()
  {
    server_executor_.cancel();
    spinner_.join();
  }

  /// The next goal the server accepted, waiting for it if need be; null after kPatience.
  std::shared_ptr<ServerGoalHandle> next_accepted_goal()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!accepted_changed_.wait_for(lock, kPatience, [this] { return !accepted_.empty(); })) {
      return nullptr;
    }
    auto handle = accepted_.front();
    accepted_.pop_front();
    return handle;
  }

  /// The id of the next goal request, waiting for it if need be (even while decisions are held);
  /// all zero after kPatience.
  rclcpp_action::GoalUUID next_goal_request()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!requested_changed_.wait_for(lock, kPatience, [this] { return !requested_.empty(); })) {
      return {};
    }
    const auto goal_id = requested_.front();
    requested_.pop_front();
    return goal_id;
  }

  /// The next `count` accepted goals by their order; fewer after kPatience.
  std::map<int32_t, std::shared_ptr<ServerGoalHandle>> next_accepted_goals(int count)
  {
    std::map<int32_t, std::shared_ptr<ServerGoalHandle>> goals;
    for (int i = 0; i < count; ++i) {
      if (auto goal = next_accepted_goal()) {
        goals[goal->get_goal()->order] = goal;
      }
    }
    return goals;
  }

  /// While held, goal requests wait unanswered.
  void hold_goal_decisions(bool held)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    decisions_held_ = held;
    decisions_released_.notify_all();
  }

  std::atomic<rclcpp_action::GoalResponse> goal_decision{
    rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE};
  std::atomic<rclcpp_action::CancelResponse> cancel_decision{rclcpp_action::CancelResponse::ACCEPT};
  /// False: the server drops each goal's handle as soon as it accepted the goal.
  std::atomic<bool> keep_handles{true};

private:
  rclcpp::Node::SharedPtr node_;
  // The node holds its groups weakly.
  rclcpp::CallbackGroup::SharedPtr group_;
  rclcpp::executors::MultiThreadedExecutor server_executor_;
  rclcpp_action::Server<Fibonacci>::SharedPtr server_;
  std::thread spinner_;
  std::mutex mutex_;
  std::condition_variable accepted_changed_;
  std::deque<rclcpp_action::GoalUUID> requested_;
  std::condition_variable requested_changed_;
  bool decisions_held_ = false;
  std::condition_variable decisions_released_;
  std::deque<std::shared_ptr<ServerGoalHandle>> accepted_;
};

/// A client set up as the robot's action nodes set theirs up: in a mutually exclusive group of
/// its own, served by a private single-threaded executor that only the test thread spins.
class FibonacciActionTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // Without logging set up, ROS writes no log file.
    rclcpp::init(
      0, nullptr, rclcpp::InitOptions().auto_initialize_logging(false),
      rclcpp::SignalHandlerOptions::None);
    client_node_ = std::make_shared<rclcpp::Node>("fibonacci_client");
    executor_ = std::make_unique<rclcpp::executors::SingleThreadedExecutor>();
    group_ =
      client_node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
    executor_->add_callback_group(group_, client_node_->get_node_base_interface(), true);
    client_ = rclcpp_action::create_client<Fibonacci>(
      client_node_, "fibonacci", group_, rcl_action_client_get_default_options());
  }

  void TearDown() override
  {
    // Nothing of ROS may outlive the context.
    client_.reset();
    server_.reset();
    executor_.reset();
    group_.reset();
    client_node_.reset();
    rclcpp::shutdown();
  }

  void start_server(
    rclcpp::CallbackGroupType group_type = rclcpp::CallbackGroupType::MutuallyExclusive)
  {
    server_ = std::make_unique<ScriptedFibonacciServer>("fibonacci", group_type);
  }

  /// Spins the client's executor until `done` holds; false after kPatience.
  bool spin_until(const std::function<bool()> & done)
  {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      executor_->spin_once(10ms);
    }
    return true;
  }

  /// Options whose callbacks append to responses, feedbacks and results.
  Options recording()
  {
    Options options;
    options.goal_response_callback = [this](ClientGoalHandle::SharedPtr handle) {
      responses.push_back(handle);
    };
    options.feedback_callback =
      [this](ClientGoalHandle::SharedPtr, std::shared_ptr<const Fibonacci::Feedback> feedback) {
        feedbacks.push_back(feedback->sequence);
      };
    options.result_callback = [this](const ClientGoalHandle::WrappedResult & result) {
      results.push_back(result);
    };
    return options;
  }

  /// Sends a goal and spins until the server's answer; returns the handle (null if refused).
  ClientGoalHandle::SharedPtr send_and_await(int32_t order, const Options & options = {})
  {
    Fibonacci::Goal goal;
    goal.order = order;
    auto future = client_->async_send_goal(goal, options);
    EXPECT_EQ(
      executor_->spin_until_future_complete(future, kPatience), rclcpp::FutureReturnCode::SUCCESS);
    return future.get();
  }

  rclcpp::Node::SharedPtr client_node_;
  rclcpp::CallbackGroup::SharedPtr group_;
  std::unique_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
  rclcpp_action::Client<Fibonacci>::SharedPtr client_;
  std::unique_ptr<ScriptedFibonacciServer> server_;
  std::vector<ClientGoalHandle::SharedPtr> responses;
  std::vector<std::vector<int32_t>> feedbacks;
  std::vector<ClientGoalHandle::WrappedResult> results;
};

#endif  // FIBONACCI_FIXTURE_HPP_
