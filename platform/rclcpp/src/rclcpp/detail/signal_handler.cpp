#include "rclcpp/detail/signal_handler.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "rclcpp/context.hpp"
#include "rclcpp/logging.hpp"

namespace rclcpp
{
namespace detail
{

namespace
{

// Read by the signal handler, so plain globals without locks.
std::atomic<int> g_signal_write_fd{-1};
struct sigaction g_previous_sigint;
struct sigaction g_previous_sigterm;

/// Written by uninstall to end the watcher thread; no signal has number 0.
constexpr unsigned char kStopWatching = 0;

bool handles_sigint(SignalHandlerOptions options)
{
  return options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigInt;
}

bool handles_sigterm(SignalHandlerOptions options)
{
  return options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigTerm;
}

void call_previous_handler(
  const struct sigaction & previous, int signum, siginfo_t * info, void * context)
{
  if (previous.sa_flags & SA_SIGINFO) {
    if (previous.sa_sigaction != nullptr) {
      previous.sa_sigaction(signum, info, context);
    }
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signum);
  }
}

void handle_signal(int signum, siginfo_t * info, void * context)
{
  const int saved_errno = errno;
  const int fd = g_signal_write_fd.load();
  if (fd >= 0) {
    const auto byte = static_cast<unsigned char>(signum);
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
  }
  errno = saved_errno;
  call_previous_handler(
    signum == SIGINT ? g_previous_sigint : g_previous_sigterm, signum, info, context);
}

void set_handler(int signum, struct sigaction & previous)
{
  struct sigaction action
  {
  };
  action.sa_sigaction = &handle_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO;
  if (sigaction(signum, &action, &previous) != 0) {
    throw std::runtime_error("failed to install the handler of signal " + std::to_string(signum));
  }
}

void write_byte(int fd, unsigned char byte)
{
  while (write(fd, &byte, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace

SignalHandler & SignalHandler::get_global_signal_handler()
{
  // Never destroyed: the watcher thread must not outlive its handler object at exit.
  static auto * handler = new SignalHandler;
  return *handler;
}

bool SignalHandler::install(SignalHandlerOptions signal_handler_options)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (installed_) {
    return false;
  }
  options_ = signal_handler_options;
  installed_ = true;
  if (signal_handler_options == SignalHandlerOptions::None) {
    return true;
  }
  if (pipe2(pipe_fds_, O_CLOEXEC) != 0) {
    installed_ = false;
    throw std::runtime_error("failed to create the signal pipe");
  }
  watcher_ = std::thread(&SignalHandler::watch_signals, this, pipe_fds_[0]);
  g_signal_write_fd.store(pipe_fds_[1]);
  if (handles_sigint(options_)) {
    set_handler(SIGINT, g_previous_sigint);
  }
  if (handles_sigterm(options_)) {
    set_handler(SIGTERM, g_previous_sigterm);
  }
  return true;
}

bool SignalHandler::uninstall()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!installed_) {
    return false;
  }
  installed_ = false;
  if (options_ == SignalHandlerOptions::None) {
    return true;
  }
  if (handles_sigint(options_)) {
    sigaction(SIGINT, &g_previous_sigint, nullptr);
  }
  if (handles_sigterm(options_)) {
    sigaction(SIGTERM, &g_previous_sigterm, nullptr);
  }
  g_signal_write_fd.store(-1);
  write_byte(pipe_fds_[1], kStopWatching);
  watcher_.join();
  close(pipe_fds_[0]);
  close(pipe_fds_[1]);
  pipe_fds_[0] = pipe_fds_[1] = -1;
  return true;
}

void SignalHandler::watch_signals(int read_fd)
{
  while (true) {
    unsigned char byte = 0;
    const ssize_t count = read(read_fd, &byte, 1);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0 || byte == kStopWatching) {
      return;
    }
    RCLCPP_INFO(rclcpp::get_logger("rclcpp"), "signal_handler(signum=%d)", static_cast<int>(byte));
    for (const auto & context : rclcpp::get_contexts()) {
      if (context->get_init_options().shutdown_on_signal) {
        context->shutdown("signal handler");
      }
    }
  }
}

}  // namespace detail
}  // namespace rclcpp
