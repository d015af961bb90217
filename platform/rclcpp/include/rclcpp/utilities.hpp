#ifndef RCLCPP__UTILITIES_HPP_
#define RCLCPP__UTILITIES_HPP_

#include <functional>
#include <string>

#include "rclcpp/context.hpp"
#include "rclcpp/init_options.hpp"

namespace rclcpp
{

/// Which signals rclcpp handles (SIGINT and SIGTERM shut the contexts down).
enum class SignalHandlerOptions
{
  All,
  SigInt,
  SigTerm,
  None,
};

/// Initialize the default context and install the chosen signal handlers.
/** Throws ContextAlreadyInitialized when the default context is valid already. */
void init(
  int argc, char const * const * argv, const InitOptions & init_options = InitOptions(),
  SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);

/// Install handlers; false when handlers were installed already.
bool install_signal_handlers(
  SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);

/// Restore the previous handlers; false when none were installed.
bool uninstall_signal_handlers();

/// True while the context (the default one when null) is initialized and not shut down.
bool ok(rclcpp::Context::SharedPtr context = nullptr);

/// Shut the context (the default one when null) down; false when it was not valid.
/** Shutting the default context down also uninstalls the signal handlers. */
bool shutdown(
  rclcpp::Context::SharedPtr context = nullptr,
  const std::string & reason = "user called rclcpp::shutdown()");

/// Register a callback run when the context (the default one when null) shuts down.
void on_shutdown(std::function<void()> callback, rclcpp::Context::SharedPtr context = nullptr);

}  // namespace rclcpp

#endif  // RCLCPP__UTILITIES_HPP_
