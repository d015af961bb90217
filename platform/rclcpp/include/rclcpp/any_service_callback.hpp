#ifndef RCLCPP__ANY_SERVICE_CALLBACK_HPP_
#define RCLCPP__ANY_SERVICE_CALLBACK_HPP_

#include <functional>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <variant>

#include "rmw/types.h"

namespace rclcpp
{

template <typename ServiceT>
class Service;

/// A service callback in any of the accepted forms.
/**
 * Forms, tried in this order: (request, response); (request header, request, response);
 * the deferred forms (request header, request) and (service, request header, request), which
 * answer later through Service::send_response. A value the callback returns is ignored, so a
 * bound member function returning bool is accepted.
 */
template <typename ServiceT>
class AnyServiceCallback
{
public:
  using SharedRequest = std::shared_ptr<typename ServiceT::Request>;
  using SharedResponse = std::shared_ptr<typename ServiceT::Response>;
  using SharedHeader = std::shared_ptr<rmw_request_id_t>;

  using SharedPtrCallback = std::function<void(SharedRequest, SharedResponse)>;
  using SharedPtrWithRequestHeaderCallback =
    std::function<void(SharedHeader, SharedRequest, SharedResponse)>;
  using SharedPtrDeferResponseCallback = std::function<void(SharedHeader, SharedRequest)>;
  using SharedPtrDeferResponseCallbackWithServiceHandle =
    std::function<void(std::shared_ptr<rclcpp::Service<ServiceT>>, SharedHeader, SharedRequest)>;

  template <typename CallbackT>
  void set(CallbackT && callback)
  {
    using Callback = std::decay_t<CallbackT>;
    Callback stored(std::forward<CallbackT>(callback));
    if constexpr (std::is_invocable_v<Callback &, SharedRequest, SharedResponse>) {
      callback_ = SharedPtrCallback(
        [stored = std::move(stored)](SharedRequest request, SharedResponse response) mutable {
          stored(std::move(request), std::move(response));
        });
    } else if constexpr (std::is_invocable_v<
                           Callback &, SharedHeader, SharedRequest, SharedResponse>) {
      callback_ = SharedPtrWithRequestHeaderCallback(
        [stored = std::move(stored)](
          SharedHeader header, SharedRequest request, SharedResponse response) mutable {
          stored(std::move(header), std::move(request), std::move(response));
        });
    } else if constexpr (std::is_invocable_v<Callback &, SharedHeader, SharedRequest>) {
      callback_ = SharedPtrDeferResponseCallback(
        [stored = std::move(stored)](SharedHeader header, SharedRequest request) mutable {
          stored(std::move(header), std::move(request));
        });
    } else {
      static_assert(
        std::is_invocable_v<
          Callback &, std::shared_ptr<rclcpp::Service<ServiceT>>, SharedHeader, SharedRequest>,
        "Service callback must take (request, response), (header, request, response), "
        "(header, request) or (service, header, request)");
      callback_ = SharedPtrDeferResponseCallbackWithServiceHandle(
        [stored = std::move(stored)](
          std::shared_ptr<rclcpp::Service<ServiceT>> service, SharedHeader header,
          SharedRequest request) mutable {
          stored(std::move(service), std::move(header), std::move(request));
        });
    }
  }

  /// Run the callback; returns the response to send, or null for a deferred form.
  SharedResponse dispatch(
    const std::shared_ptr<rclcpp::Service<ServiceT>> & service, const SharedHeader & header,
    SharedRequest request)
  {
    if (auto * cb = std::get_if<SharedPtrDeferResponseCallback>(&callback_)) {
      (*cb)(header, std::move(request));
      return nullptr;
    }
    if (auto * cb = std::get_if<SharedPtrDeferResponseCallbackWithServiceHandle>(&callback_)) {
      (*cb)(service, header, std::move(request));
      return nullptr;
    }
    auto response = std::make_shared<typename ServiceT::Response>();
    if (auto * cb = std::get_if<SharedPtrCallback>(&callback_)) {
      (*cb)(std::move(request), response);
    } else if (auto * cb = std::get_if<SharedPtrWithRequestHeaderCallback>(&callback_)) {
      (*cb)(header, std::move(request), response);
    } else {
      throw std::runtime_error("unexpected request without any callback set");
    }
    return response;
  }

private:
  std::variant<
    std::monostate, SharedPtrCallback, SharedPtrWithRequestHeaderCallback,
    SharedPtrDeferResponseCallback, SharedPtrDeferResponseCallbackWithServiceHandle>
    callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_SERVICE_CALLBACK_HPP_
