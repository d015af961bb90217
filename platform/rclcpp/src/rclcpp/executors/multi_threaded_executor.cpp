#include "rclcpp/executors/multi_threaded_executor.hpp"

#include <algorithm>
#include <thread>
#include <vector>

namespace rclcpp
{
namespace executors
{

MultiThreadedExecutor::MultiThreadedExecutor(
  const rclcpp::ExecutorOptions & options, size_t number_of_threads, bool yield_before_execute,
  std::chrono::nanoseconds timeout)
: rclcpp::Executor(options),
  number_of_threads_(
    number_of_threads > 0 ? number_of_threads
                          : std::max<size_t>(std::thread::hardware_concurrency(), 2)),
  yield_before_execute_(yield_before_execute),
  next_exec_timeout_(timeout)
{
}

MultiThreadedExecutor::~MultiThreadedExecutor() = default;

MultiThreadedExecutor::WaitTurn::WaitTurn(MultiThreadedExecutor & executor) : executor_(executor)
{
  std::unique_lock<std::mutex> lock(executor_.turn_mutex_);
  executor_.turn_free_.wait(lock, [this] { return !executor_.turn_taken_; });
  executor_.turn_taken_ = true;
}

MultiThreadedExecutor::WaitTurn::~WaitTurn()
{
  {
    std::lock_guard<std::mutex> lock(executor_.turn_mutex_);
    executor_.turn_taken_ = false;
  }
  executor_.turn_free_.notify_one();
}

void MultiThreadedExecutor::spin()
{
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin() called while already spinning");
  }
  SpinningGuard guard(spinning);
  std::vector<std::thread> threads;
  {
    WaitTurn turn(*this);
    for (size_t thread_id = 1; thread_id < number_of_threads_; ++thread_id) {
      threads.emplace_back(&MultiThreadedExecutor::run, this, thread_id);
    }
  }
  run(0);
  for (auto & thread : threads) {
    thread.join();
  }
}

size_t MultiThreadedExecutor::get_number_of_threads() { return number_of_threads_; }

void MultiThreadedExecutor::run(size_t this_thread_number)
{
  (void)this_thread_number;
  while (rclcpp::ok(context_) && spinning.load()) {
    rclcpp::AnyExecutable any_exec;
    {
      WaitTurn turn(*this);
      if (!rclcpp::ok(context_) || !spinning.load()) {
        return;
      }
      if (!get_next_executable(any_exec, next_exec_timeout_)) {
        continue;
      }
    }
    if (yield_before_execute_) {
      std::this_thread::yield();
    }
    execute_any_executable(any_exec);
  }
}

}  // namespace executors
}  // namespace rclcpp
