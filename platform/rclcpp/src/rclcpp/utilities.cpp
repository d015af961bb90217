#include "rclcpp/utilities.hpp"

#include <utility>

#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/detail/signal_handler.hpp"

namespace rclcpp
{

namespace
{

rclcpp::Context::SharedPtr or_default(rclcpp::Context::SharedPtr context)
{
  return context ? context : rclcpp::contexts::get_global_default_context();
}

}  // namespace

void init(
  int argc, char const * const * argv, const InitOptions & init_options,
  SignalHandlerOptions signal_handler_options)
{
  rclcpp::contexts::get_global_default_context()->init(argc, argv, init_options);
  install_signal_handlers(signal_handler_options);
}

bool install_signal_handlers(SignalHandlerOptions signal_handler_options)
{
  return detail::SignalHandler::get_global_signal_handler().install(signal_handler_options);
}

bool uninstall_signal_handlers()
{
  return detail::SignalHandler::get_global_signal_handler().uninstall();
}

bool ok(rclcpp::Context::SharedPtr context) { return or_default(std::move(context))->is_valid(); }

bool shutdown(rclcpp::Context::SharedPtr context, const std::string & reason)
{
  auto default_context = rclcpp::contexts::get_global_default_context();
  context = or_default(std::move(context));
  const bool was_valid = context->shutdown(reason);
  if (context == default_context) {
    uninstall_signal_handlers();
  }
  return was_valid;
}

void on_shutdown(std::function<void()> callback, rclcpp::Context::SharedPtr context)
{
  or_default(std::move(context))->on_shutdown(std::move(callback));
}

}  // namespace rclcpp
