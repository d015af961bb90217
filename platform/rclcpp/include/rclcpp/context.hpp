#ifndef RCLCPP__CONTEXT_HPP_
#define RCLCPP__CONTEXT_HPP_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/init_options.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

/// Thrown by Context::init on a context that is initialized and not yet shut down.
class ContextAlreadyInitialized : public std::runtime_error
{
public:
  ContextAlreadyInitialized() : std::runtime_error("context is already initialized") {}
};

/// The life span of the client library between init and shutdown.
/**
 * A context can be initialized again after it was shut down. Shutdown runs the registered
 * on-shutdown callbacks (which is how executors and waits are woken) and interrupts sleep_for.
 */
class Context : public std::enable_shared_from_this<Context>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Context)

  using OnShutdownCallback = std::function<void()>;

  class OnShutdownCallbackHandle
  {
    friend class Context;

  public:
    using OnShutdownCallbackType = OnShutdownCallback;

  private:
    std::weak_ptr<OnShutdownCallbackType> callback;
  };

  Context();
  virtual ~Context();

  /// Initialize; throws ContextAlreadyInitialized when valid already.
  virtual void init(
    int argc, char const * const * argv,
    const rclcpp::InitOptions & init_options = rclcpp::InitOptions());

  /// True between init and shutdown.
  bool is_valid() const;

  const rclcpp::InitOptions & get_init_options() const;
  rclcpp::InitOptions get_init_options();

  /// The reason given to the last shutdown, empty before the first one.
  std::string shutdown_reason() const;

  /// Shut down: false when the context was not valid. Runs the on-shutdown callbacks.
  virtual bool shutdown(const std::string & reason);

  /// Register a callback run at shutdown; returns the callback.
  virtual OnShutdownCallback on_shutdown(OnShutdownCallback callback);

  /// Register a callback run at shutdown; the handle removes it again.
  virtual OnShutdownCallbackHandle add_on_shutdown_callback(OnShutdownCallback callback);

  /// False when the handle's callback is not registered (any more).
  virtual bool remove_on_shutdown_callback(const OnShutdownCallbackHandle & callback_handle);

  std::vector<OnShutdownCallback> get_on_shutdown_callbacks() const;

  /// Sleep; true when the whole time passed, false when interrupted by shutdown.
  bool sleep_for(const std::chrono::nanoseconds & nanoseconds);

  /// Wake every sleep_for on this context; a sleep goes on while the context is valid.
  virtual void interrupt_all_sleep_for();

private:
  std::atomic_bool valid_{false};
  rclcpp::InitOptions init_options_;
  std::string shutdown_reason_;
  mutable std::mutex mutex_;

  std::vector<std::shared_ptr<OnShutdownCallback>> on_shutdown_callbacks_;
  mutable std::mutex on_shutdown_callbacks_mutex_;

  std::mutex interrupt_mutex_;
  std::condition_variable interrupt_condition_;
};

/// Every context alive in the process.
std::vector<Context::SharedPtr> get_contexts();

}  // namespace rclcpp

#endif  // RCLCPP__CONTEXT_HPP_
