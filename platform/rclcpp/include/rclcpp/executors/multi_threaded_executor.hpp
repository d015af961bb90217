#ifndef RCLCPP__EXECUTORS__MULTI_THREADED_EXECUTOR_HPP_
#define RCLCPP__EXECUTORS__MULTI_THREADED_EXECUTOR_HPP_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "rclcpp/executor.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{
namespace executors
{

/// Runs callbacks on a pool of threads; spin() blocks the calling thread as one of them.
/**
 * Callbacks of a mutually exclusive group never run at the same time; callbacks of a
 * reentrant group may.
 */
class MultiThreadedExecutor : public rclcpp::Executor
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(MultiThreadedExecutor)

  /// `number_of_threads` 0 means max(hardware concurrency, 2); `timeout` bounds each wait for
  /// work (negative: without limit).
  explicit MultiThreadedExecutor(
    const rclcpp::ExecutorOptions & options = rclcpp::ExecutorOptions(),
    size_t number_of_threads = 0, bool yield_before_execute = false,
    std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  ~MultiThreadedExecutor() override;

  /// Throws std::runtime_error "spin() called while already spinning".
  void spin() override;

  size_t get_number_of_threads();

protected:
  void run(size_t this_thread_number);

private:
  /// One thread at a time looks for work. The others wait on a condition variable rather than
  /// on a mutex, where a signal that ThreadSanitizer holds back until a blocking call would
  /// never be delivered while every thread waits.
  class WaitTurn
  {
  public:
    explicit WaitTurn(MultiThreadedExecutor & executor);
    ~WaitTurn();

  private:
    MultiThreadedExecutor & executor_;
  };

  std::mutex turn_mutex_;
  std::condition_variable turn_free_;
  bool turn_taken_ = false;
  size_t number_of_threads_;
  bool yield_before_execute_;
  std::chrono::nanoseconds next_exec_timeout_;
};

}  // namespace executors
}  // namespace rclcpp

#endif  // RCLCPP__EXECUTORS__MULTI_THREADED_EXECUTOR_HPP_
