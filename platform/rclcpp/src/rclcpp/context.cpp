#include "rclcpp/context.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/exceptions.hpp"
#include "rcutils/error_handling.h"
#include "rcutils/logging.h"

namespace rclcpp
{

namespace
{

/// The contexts between init and shutdown; never destroyed, so it outlives static contexts.
class InitializedContexts
{
public:
  static InitializedContexts & get()
  {
    static auto * contexts = new InitializedContexts;
    return *contexts;
  }

  void add(const Context::SharedPtr & context)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    contexts_.push_back(context);
  }

  void remove(const Context * context)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    contexts_.erase(
      std::remove_if(
        contexts_.begin(), contexts_.end(),
        [context](const Context::WeakPtr & weak) {
          auto shared = weak.lock();
          return !shared || shared.get() == context;
        }),
      contexts_.end());
  }

  std::vector<Context::SharedPtr> all()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Context::SharedPtr> result;
    for (const auto & weak : contexts_) {
      if (auto shared = weak.lock()) {
        result.push_back(std::move(shared));
      }
    }
    return result;
  }

private:
  std::mutex mutex_;
  std::vector<Context::WeakPtr> contexts_;
};

}  // namespace

Context::Context() = default;

Context::~Context() { InitializedContexts::get().remove(this); }

void Context::init(int argc, char const * const * argv, const rclcpp::InitOptions & init_options)
{
  (void)argc;
  (void)argv;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (valid_.load()) {
      throw ContextAlreadyInitialized();
    }
    // Real rclcpp finalises the previous initialisation here, which its middleware refuses to
    // do under live nodes (it ends the process).
    if (live_nodes_.load() != 0) {
      throw rclcpp::exceptions::RCLError(
        "Not all nodes were finished before finishing the context: " +
        std::to_string(live_nodes_.load()) + " node(s) of the previous initialisation alive");
    }
    init_options_ = init_options;
    shutdown_reason_.clear();
    if (init_options_.auto_initialize_logging() && rcutils_logging_initialize() != RCUTILS_RET_OK) {
      rcutils_reset_error();
      throw rclcpp::exceptions::RCLError("failed to configure logging");
    }
    valid_.store(true);
  }
  InitializedContexts::get().add(shared_from_this());
}

bool Context::is_valid() const { return valid_.load(); }

const rclcpp::InitOptions & Context::get_init_options() const { return init_options_; }

rclcpp::InitOptions Context::get_init_options()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return init_options_;
}

std::string Context::shutdown_reason() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return shutdown_reason_;
}

bool Context::shutdown(const std::string & reason)
{
  std::lock_guard<std::recursive_mutex> shutdown_lock(shutdown_mutex_);
  if (!valid_.load()) {
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(pre_shutdown_callbacks_mutex_);
    for (const auto & callback : pre_shutdown_callbacks_) {
      (*callback)();
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    valid_.store(false);
    shutdown_reason_ = reason;
  }
  InitializedContexts::get().remove(this);
  for (const auto & callback : get_on_shutdown_callbacks()) {
    callback();
  }
  return true;
}

Context::OnShutdownCallback Context::on_shutdown(OnShutdownCallback callback)
{
  add_on_shutdown_callback(callback);
  return callback;
}

OnShutdownCallbackHandle Context::add_on_shutdown_callback(OnShutdownCallback callback)
{
  return add_callback(on_shutdown_callbacks_, on_shutdown_callbacks_mutex_, std::move(callback));
}

bool Context::remove_on_shutdown_callback(const OnShutdownCallbackHandle & callback_handle)
{
  return remove_callback(on_shutdown_callbacks_, on_shutdown_callbacks_mutex_, callback_handle);
}

std::vector<Context::OnShutdownCallback> Context::get_on_shutdown_callbacks() const
{
  return copy_callbacks(on_shutdown_callbacks_, on_shutdown_callbacks_mutex_);
}

PreShutdownCallbackHandle Context::add_pre_shutdown_callback(PreShutdownCallback callback)
{
  return add_callback(pre_shutdown_callbacks_, pre_shutdown_callbacks_mutex_, std::move(callback));
}

bool Context::remove_pre_shutdown_callback(const PreShutdownCallbackHandle & callback_handle)
{
  return remove_callback(pre_shutdown_callbacks_, pre_shutdown_callbacks_mutex_, callback_handle);
}

ShutdownCallbackHandle Context::add_callback(
  CallbackList & callbacks, std::mutex & mutex, ShutdownCallbackHandle::ShutdownCallbackType cb)
{
  auto callback_shared_ptr =
    std::make_shared<ShutdownCallbackHandle::ShutdownCallbackType>(std::move(cb));
  {
    std::lock_guard<std::mutex> lock(mutex);
    callbacks.push_back(callback_shared_ptr);
  }
  ShutdownCallbackHandle handle;
  handle.callback = callback_shared_ptr;
  return handle;
}

bool Context::remove_callback(
  CallbackList & callbacks, std::mutex & mutex, const ShutdownCallbackHandle & handle)
{
  auto callback = handle.callback.lock();
  if (!callback) {
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex);
  auto it = std::find(callbacks.begin(), callbacks.end(), callback);
  if (it == callbacks.end()) {
    return false;
  }
  callbacks.erase(it);
  return true;
}

std::vector<ShutdownCallbackHandle::ShutdownCallbackType> Context::copy_callbacks(
  const CallbackList & callbacks, std::mutex & mutex)
{
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<ShutdownCallbackHandle::ShutdownCallbackType> copies;
  for (const auto & callback : callbacks) {
    copies.push_back(*callback);
  }
  return copies;
}

void Context::node_created() { ++live_nodes_; }

void Context::node_destroyed() { --live_nodes_; }

std::vector<Context::SharedPtr> get_contexts() { return InitializedContexts::get().all(); }

namespace contexts
{

DefaultContext::SharedPtr get_global_default_context()
{
  // Never destroyed: nodes and executors owned by static objects may use it at exit.
  static auto * default_context = new DefaultContext::SharedPtr(std::make_shared<DefaultContext>());
  return *default_context;
}

}  // namespace contexts
}  // namespace rclcpp
