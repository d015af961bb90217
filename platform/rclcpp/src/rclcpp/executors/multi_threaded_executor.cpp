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

void MultiThreadedExecutor::spin()
{
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin() called while already spinning");
  }
  SpinningGuard guard(spinning);
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> wait_lock(wait_mutex_);
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
      std::lock_guard<std::mutex> wait_lock(wait_mutex_);
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
