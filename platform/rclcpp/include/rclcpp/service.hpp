#ifndef RCLCPP__SERVICE_HPP_
#define RCLCPP__SERVICE_HPP_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "rclcpp/any_service_callback.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/waitable.hpp"
#include "rmw/types.h"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

namespace detail
{
class RequestInbox;
}  // namespace detail

/// The type-independent part of a service: its place in the graph and its request queue.
class ServiceBase : public rclcpp::Waitable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ServiceBase)

  /// Offers the service `service_name` resolved in the node's namespace.
  ServiceBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
    const char * type_name, const rmw_qos_profile_t & qos_profile);
  ~ServiceBase() override;

  /// The resolved service name.
  const char * get_service_name();

  bool is_ready() override;

  /// The oldest queued request (header and request message).
  std::shared_ptr<void> take_data() override;

protected:
  struct ReceivedRequest
  {
    std::shared_ptr<rmw_request_id_t> header;
    std::shared_ptr<const void> request;
  };

  /// Route an answer back to the client named in `request_header`; dropped when it is gone.
  void send_response_type_erased(
    const rmw_request_id_t & request_header, std::shared_ptr<void> response);

private:
  std::string service_name_;
  std::shared_ptr<detail::RequestInbox> inbox_;
  uint64_t endpoint_id_;
};

/// Serves requests of one service type; the executor holding its group runs the callback, and
/// the response goes out when the callback returns (or later, for the deferred forms).
template <typename ServiceT>
class Service : public ServiceBase, public std::enable_shared_from_this<Service<ServiceT>>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Service)

  using CallbackType = std::function<void(
    const std::shared_ptr<typename ServiceT::Request>,
    std::shared_ptr<typename ServiceT::Response>)>;
  using CallbackWithHeaderType = std::function<void(
    const std::shared_ptr<rmw_request_id_t>, const std::shared_ptr<typename ServiceT::Request>,
    std::shared_ptr<typename ServiceT::Response>)>;

  Service(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
    AnyServiceCallback<ServiceT> any_callback, const rmw_qos_profile_t & qos_profile)
  : ServiceBase(node_base, service_name, rosidl_generator_traits::name<ServiceT>(), qos_profile),
    any_callback_(std::move(any_callback))
  {
  }

  /// Answer the request identified by `req_id` with a copy of `response`.
  void send_response(rmw_request_id_t & req_id, typename ServiceT::Response & response)
  {
    send_response_type_erased(req_id, std::make_shared<typename ServiceT::Response>(response));
  }

  void execute(std::shared_ptr<void> & data) override
  {
    auto received = std::static_pointer_cast<ReceivedRequest>(data);
    auto request = std::make_shared<typename ServiceT::Request>(
      *std::static_pointer_cast<const typename ServiceT::Request>(received->request));
    auto response =
      any_callback_.dispatch(this->shared_from_this(), received->header, std::move(request));
    if (response) {
      send_response_type_erased(*received->header, std::move(response));
    }
  }

private:
  AnyServiceCallback<ServiceT> any_callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SERVICE_HPP_
