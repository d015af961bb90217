#ifndef RCLCPP__CLIENT_HPP_
#define RCLCPP__CLIENT_HPP_

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "rclcpp/context.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/waitable.hpp"
#include "rcutils/logging_macros.h"
#include "rmw/types.h"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

namespace detail
{

class ResponseInbox;

/// A future together with the id of the request it waits for.
template <typename FutureT>
struct FutureAndRequestId
{
  FutureT future;
  int64_t request_id;

  FutureAndRequestId(FutureT impl, int64_t req_id) : future(std::move(impl)), request_id(req_id) {}

  [[deprecated("FutureAndRequestId: use .future instead of an implicit conversion")]]
  operator FutureT &()
  {
    return this->future;
  }

  auto get() { return this->future.get(); }

  bool valid() const noexcept { return this->future.valid(); }

  void wait() const { return this->future.wait(); }

  template <class Rep, class Period>
  std::future_status wait_for(const std::chrono::duration<Rep, Period> & timeout_duration) const
  {
    return this->future.wait_for(timeout_duration);
  }

  template <class Clock, class Duration>
  std::future_status wait_until(const std::chrono::time_point<Clock, Duration> & timeout_time) const
  {
    return this->future.wait_until(timeout_time);
  }

  FutureAndRequestId(FutureAndRequestId && other) noexcept = default;
  FutureAndRequestId(const FutureAndRequestId & other) = delete;
  FutureAndRequestId & operator=(FutureAndRequestId && other) noexcept = default;
  FutureAndRequestId & operator=(const FutureAndRequestId & other) = delete;
  ~FutureAndRequestId() = default;
};

}  // namespace detail

/// The type-independent part of a client: its place in the graph and its response queue.
/**
 * Responses wait in the client's queue until the executor holding the client's group takes
 * them; only then is the request's future completed or its callback run.
 */
class ClientBase : public rclcpp::Waitable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ClientBase)

  /// Registers a client of the service `service_name` resolved in the node's namespace.
  ClientBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
    const char * type_name, const rmw_qos_profile_t & qos_profile);
  ~ClientBase() override;

  /// The resolved service name, for example "/map_server/load_map".
  const char * get_service_name() const;

  /// True when a service of the same resolved name and type exists (false after shutdown).
  bool service_is_ready() const;

  /// Wait until the service exists: true as soon as it does, false on timeout or shutdown.
  /** A negative timeout waits without limit. */
  template <typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_service(
    std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1))
  {
    return wait_for_service_nanoseconds(
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  bool is_ready() override;

  /// The oldest queued response (header and response message).
  std::shared_ptr<void> take_data() override;

protected:
  struct ReceivedResponse
  {
    rmw_request_id_t header;
    std::shared_ptr<void> response;
  };

  bool wait_for_service_nanoseconds(std::chrono::nanoseconds timeout);

  /// Hand an immutable request to every matching service.
  void send_request_type_erased(int64_t sequence_number, std::shared_ptr<const void> request);

private:
  rclcpp::Context::SharedPtr context_;
  std::string service_name_;
  std::shared_ptr<detail::ResponseInbox> inbox_;
  uint64_t endpoint_id_;
};

/// Sends requests of one service type and completes their futures with the responses.
template <typename ServiceT>
class Client : public ClientBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Client)

  using SharedRequest = typename ServiceT::Request::SharedPtr;
  using SharedResponse = typename ServiceT::Response::SharedPtr;

  using Promise = std::promise<SharedResponse>;
  using SharedPromise = std::shared_ptr<Promise>;

  using Future = std::future<SharedResponse>;
  using SharedFuture = std::shared_future<SharedResponse>;

  using CallbackType = std::function<void(SharedFuture)>;

  /// A shared future with its request id, as the callback form of async_send_request gives.
  struct SharedFutureAndRequestId : detail::FutureAndRequestId<std::shared_future<SharedResponse>>
  {
    using detail::FutureAndRequestId<std::shared_future<SharedResponse>>::FutureAndRequestId;
  };

  /// A future with its request id, as async_send_request gives.
  struct FutureAndRequestId : detail::FutureAndRequestId<std::future<SharedResponse>>
  {
    using detail::FutureAndRequestId<std::future<SharedResponse>>::FutureAndRequestId;

    [[deprecated("FutureAndRequestId: use .future.share() instead of an implicit conversion")]]
    operator SharedFuture()
    {
      return this->future.share();
    }

    SharedFuture share() noexcept { return this->future.share(); }
  };

  Client(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
    const rmw_qos_profile_t & qos_profile)
  : ClientBase(node_base, service_name, rosidl_generator_traits::name<ServiceT>(), qos_profile)
  {
  }

  /// Send a copy of `request`; the future completes when the client's executor takes the reply.
  FutureAndRequestId async_send_request(SharedRequest request)
  {
    Promise promise;
    auto future = promise.get_future();
    const int64_t request_id = send(*request, PendingRequest{std::move(promise)});
    return FutureAndRequestId(std::move(future), request_id);
  }

  /// As above; `cb` runs with the completed future inside the executor's spin.
  template <
    typename CallbackT, typename std::enable_if_t<
                          std::is_invocable_v<std::decay_t<CallbackT> &, SharedFuture>> * = nullptr>
  SharedFutureAndRequestId async_send_request(SharedRequest request, CallbackT && cb)
  {
    Promise promise;
    auto shared_future = promise.get_future().share();
    const int64_t request_id = send(
      *request, PendingRequest{CallbackPending{
                  std::move(promise), shared_future, CallbackType(std::forward<CallbackT>(cb))}});
    return SharedFutureAndRequestId(std::move(shared_future), request_id);
  }

  /// Forget a pending request; its reply, if it comes, is dropped. False when not pending.
  bool remove_pending_request(int64_t request_id)
  {
    std::lock_guard<std::mutex> lock(pending_requests_mutex_);
    return pending_requests_.erase(request_id) != 0u;
  }

  bool remove_pending_request(const FutureAndRequestId & future)
  {
    return remove_pending_request(future.request_id);
  }

  bool remove_pending_request(const SharedFutureAndRequestId & future)
  {
    return remove_pending_request(future.request_id);
  }

  /// Forget every pending request; returns how many there were.
  size_t prune_pending_requests()
  {
    std::lock_guard<std::mutex> lock(pending_requests_mutex_);
    const size_t count = pending_requests_.size();
    pending_requests_.clear();
    return count;
  }

  void execute(std::shared_ptr<void> & data) override
  {
    auto received = std::static_pointer_cast<ReceivedResponse>(data);
    PendingRequest pending;
    {
      std::lock_guard<std::mutex> lock(pending_requests_mutex_);
      auto it = pending_requests_.find(received->header.sequence_number);
      if (it == pending_requests_.end()) {
        RCUTILS_LOG_DEBUG_NAMED("rclcpp", "Received invalid sequence number. Ignoring...");
        return;
      }
      pending = std::move(it->second);
      pending_requests_.erase(it);
    }
    auto response = std::static_pointer_cast<typename ServiceT::Response>(received->response);
    if (auto * promise = std::get_if<Promise>(&pending)) {
      promise->set_value(std::move(response));
    } else {
      auto & with_callback = std::get<CallbackPending>(pending);
      with_callback.promise.set_value(std::move(response));
      with_callback.callback(with_callback.future);
    }
  }

private:
  struct CallbackPending
  {
    Promise promise;
    SharedFuture future;
    CallbackType callback;
  };
  using PendingRequest = std::variant<Promise, CallbackPending>;

  int64_t send(const typename ServiceT::Request & request, PendingRequest pending)
  {
    auto snapshot = std::make_shared<const typename ServiceT::Request>(request);
    int64_t request_id;
    {
      std::lock_guard<std::mutex> lock(pending_requests_mutex_);
      request_id = ++last_request_id_;
      pending_requests_.emplace(request_id, std::move(pending));
    }
    send_request_type_erased(request_id, std::move(snapshot));
    return request_id;
  }

  std::mutex pending_requests_mutex_;
  std::map<int64_t, PendingRequest> pending_requests_;
  int64_t last_request_id_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLIENT_HPP_
