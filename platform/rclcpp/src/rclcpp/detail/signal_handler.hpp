#ifndef RCLCPP__DETAIL__SIGNAL_HANDLER_HPP_
#define RCLCPP__DETAIL__SIGNAL_HANDLER_HPP_

#include <csignal>
#include <mutex>
#include <thread>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{
namespace detail
{

/// Turns SIGINT and SIGTERM into a shutdown of every context that asks for it.
/**
 * The handler itself only writes the signal number into a pipe (async-signal-safe) and then
 * calls the handler that was installed before; a watcher thread reads the pipe, logs
 * "signal_handler(signum=N)" and shuts the contexts down.
 */
class SignalHandler
{
public:
  static SignalHandler & get_global_signal_handler();

  /// False when installed already.
  bool install(SignalHandlerOptions signal_handler_options);

  /// False when not installed.
  bool uninstall();

private:
  SignalHandler() = default;

  void watch_signals(int read_fd);

  std::mutex mutex_;
  bool installed_ = false;
  SignalHandlerOptions options_ = SignalHandlerOptions::None;
  int pipe_fds_[2] = {-1, -1};
  std::thread watcher_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__SIGNAL_HANDLER_HPP_
