#include "rclcpp/client.hpp"

#include <utility>

#include "rclcpp/detail/graph.hpp"
#include "rclcpp/detail/inboxes.hpp"
#include "rclcpp/detail/wake_signal.hpp"

namespace rclcpp
{

namespace
{

/// Wakes a signal on every graph change and on shutdown of a context while it lives.
class GraphOrShutdownWatch
{
public:
  GraphOrShutdownWatch(rclcpp::Context & context, std::shared_ptr<detail::WakeSignal> signal)
  : context_(context),
    listener_(detail::get_graph().add_change_listener([signal] { signal->trigger(); })),
    shutdown_handle_(context.add_on_shutdown_callback([signal] { signal->trigger(); }))
  {
  }

  ~GraphOrShutdownWatch()
  {
    context_.remove_on_shutdown_callback(shutdown_handle_);
    detail::get_graph().remove_change_listener(listener_);
  }

  GraphOrShutdownWatch(const GraphOrShutdownWatch &) = delete;
  GraphOrShutdownWatch & operator=(const GraphOrShutdownWatch &) = delete;

private:
  rclcpp::Context & context_;
  detail::Graph::ChangeListenerId listener_;
  rclcpp::OnShutdownCallbackHandle shutdown_handle_;
};

}  // namespace

ClientBase::ClientBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & service_name,
  const char * type_name, const rmw_qos_profile_t & qos_profile)
: context_(node_base->get_context()),
  service_name_(node_base->resolve_topic_or_service_name(service_name, true)),
  inbox_(std::make_shared<detail::ResponseInbox>(
    detail::queue_depth(qos_profile), callback_group_link())),
  endpoint_id_(detail::get_graph().add_client({service_name_, type_name}, inbox_))
{
}

ClientBase::~ClientBase() { detail::get_graph().remove_endpoint(endpoint_id_); }

const char * ClientBase::get_service_name() const { return service_name_.c_str(); }

bool ClientBase::service_is_ready() const
{
  return context_->is_valid() && detail::get_graph().service_available(endpoint_id_);
}

bool ClientBase::wait_for_service_nanoseconds(std::chrono::nanoseconds timeout)
{
  if (service_is_ready()) {
    return true;
  }
  if (timeout == std::chrono::nanoseconds::zero()) {
    return false;
  }
  const auto deadline = timeout < std::chrono::nanoseconds::zero()
                          ? std::chrono::steady_clock::time_point::max()
                          : std::chrono::steady_clock::now() + timeout;
  auto signal = std::make_shared<detail::WakeSignal>();
  GraphOrShutdownWatch watch(*context_, signal);
  while (context_->is_valid()) {
    if (service_is_ready()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    signal->wait_until(deadline);
  }
  return false;
}

bool ClientBase::is_ready() { return !inbox_->queue.empty(); }

std::shared_ptr<void> ClientBase::take_data()
{
  auto queued = inbox_->queue.pop();
  if (!queued) {
    return nullptr;
  }
  return std::make_shared<ReceivedResponse>(
    ReceivedResponse{queued->header, std::move(queued->response)});
}

void ClientBase::send_request_type_erased(
  int64_t sequence_number, std::shared_ptr<const void> request)
{
  detail::get_graph().send_request(endpoint_id_, sequence_number, std::move(request));
}

}  // namespace rclcpp
