#ifndef RCLCPP__CONTEXT_HPP_
#define RCLCPP__CONTEXT_HPP_

#include <atomic>
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

namespace node_interfaces
{
class NodeBase;
}  // namespace node_interfaces

/// Removes a shutdown callback again; empty once the callback is gone.
class ShutdownCallbackHandle
{
  friend class Context;

public:
  using ShutdownCallbackType = std::function<void()>;

private:
  std::weak_ptr<ShutdownCallbackType> callback;
};

using OnShutdownCallbackHandle = ShutdownCallbackHandle;
using PreShutdownCallbackHandle = ShutdownCallbackHandle;

/// The life span of the client library between init and shutdown.
/**
 * A context can be initialized again after it was shut down, once every node made on it is
 * gone. Shutdown runs the pre-shutdown callbacks while the context is still valid, then ends
 * it and runs the on-shutdown callbacks (which is how executors and waits are woken).
 */
class Context : public std::enable_shared_from_this<Context>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Context)

  using OnShutdownCallback = OnShutdownCallbackHandle::ShutdownCallbackType;
  using PreShutdownCallback = PreShutdownCallbackHandle::ShutdownCallbackType;

  Context();
  virtual ~Context();

  /// Initialize; throws ContextAlreadyInitialized when valid already, and RCLError while a
  /// node of an earlier initialisation is still alive.
  virtual void init(
    int argc, char const * const * argv,
    const rclcpp::InitOptions & init_options = rclcpp::InitOptions());

  /// True between init and shutdown.
  bool is_valid() const;

  const rclcpp::InitOptions & get_init_options() const;
  rclcpp::InitOptions get_init_options();

  /// The reason given to the last shutdown, empty before the first one.
  std::string shutdown_reason() const;

  /// Shut down: false when the context was not valid. Runs the pre-shutdown callbacks first,
  /// while the context is still valid, then the on-shutdown callbacks. A shutdown that comes
  /// meanwhile from another thread waits for this one.
  virtual bool shutdown(const std::string & reason);

  /// Register a callback run at shutdown; returns the callback.
  virtual OnShutdownCallback on_shutdown(OnShutdownCallback callback);

  /// Register a callback run at shutdown; the handle removes it again.
  virtual OnShutdownCallbackHandle add_on_shutdown_callback(OnShutdownCallback callback);

  /// False when the handle's callback is not registered (any more).
  virtual bool remove_on_shutdown_callback(const OnShutdownCallbackHandle & callback_handle);

  std::vector<OnShutdownCallback> get_on_shutdown_callbacks() const;

  /// Register a callback run at shutdown before the context stops being valid. It must not
  /// add or remove pre-shutdown callbacks.
  virtual PreShutdownCallbackHandle add_pre_shutdown_callback(PreShutdownCallback callback);

  /// False when the handle's callback is not registered (any more). Waits for a pre-shutdown
  /// callback that is running.
  virtual bool remove_pre_shutdown_callback(const PreShutdownCallbackHandle & callback_handle);

private:
  friend class node_interfaces::NodeBase;

  // Counts the nodes made on this context that are alive, so that a new initialisation can
  // refuse to run under them.
  void node_created();
  void node_destroyed();

  using CallbackList = std::vector<std::shared_ptr<ShutdownCallbackHandle::ShutdownCallbackType>>;

  static ShutdownCallbackHandle add_callback(
    CallbackList & callbacks, std::mutex & mutex, ShutdownCallbackHandle::ShutdownCallbackType cb);
  static bool remove_callback(
    CallbackList & callbacks, std::mutex & mutex, const ShutdownCallbackHandle & handle);
  static std::vector<ShutdownCallbackHandle::ShutdownCallbackType> copy_callbacks(
    const CallbackList & callbacks, std::mutex & mutex);

  std::atomic_bool valid_{false};
  rclcpp::InitOptions init_options_;
  std::string shutdown_reason_;
  mutable std::mutex mutex_;
  // Held for a whole shutdown, as real rclcpp holds its init lock.
  std::recursive_mutex shutdown_mutex_;
  std::atomic<size_t> live_nodes_{0};

  CallbackList on_shutdown_callbacks_;
  mutable std::mutex on_shutdown_callbacks_mutex_;
  CallbackList pre_shutdown_callbacks_;
  // Held while the pre-shutdown callbacks run.
  mutable std::mutex pre_shutdown_callbacks_mutex_;
};

/// Every context alive in the process.
std::vector<Context::SharedPtr> get_contexts();

}  // namespace rclcpp

#endif  // RCLCPP__CONTEXT_HPP_
