#include "rclcpp/service.hpp"

#include <utility>

#include "rclcpp/detail/graph.hpp"
#include "rclcpp/detail/inboxes.hpp"

namespace rclcpp
{

ServiceBase::ServiceBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
  const char * type_name, const rmw_qos_profile_t & qos_profile)
: service_name_(node_base->resolve_topic_or_service_name(service_name, true)),
  inbox_(std::make_shared<detail::RequestInbox>(
    detail::queue_depth(qos_profile), callback_group_link())),
  endpoint_id_(detail::get_graph().add_service({service_name_, type_name}, inbox_))
{
}

ServiceBase::~ServiceBase() { detail::get_graph().remove_endpoint(endpoint_id_); }

const char * ServiceBase::get_service_name() { return service_name_.c_str(); }

bool ServiceBase::is_ready() { return !inbox_->queue.empty(); }

std::shared_ptr<void> ServiceBase::take_data()
{
  auto queued = inbox_->queue.pop();
  if (!queued) {
    return nullptr;
  }
  return std::make_shared<ReceivedRequest>(ReceivedRequest{
    std::make_shared<rmw_request_id_t>(queued->header), std::move(queued->request)});
}

void ServiceBase::send_response_type_erased(
  const rmw_request_id_t & request_header, std::shared_ptr<void> response)
{
  detail::get_graph().send_response(request_header, std::move(response));
}

}  // namespace rclcpp
