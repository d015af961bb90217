#include "rclcpp/detail/inboxes.hpp"

#include <algorithm>

namespace rclcpp
{
namespace detail
{

MessageInbox::MessageInbox(size_t depth, std::shared_ptr<CallbackGroupLink> group_link)
: queue(depth), group_link_(std::move(group_link))
{
}

void MessageInbox::on_message(std::shared_ptr<const void> message)
{
  queue.push(std::move(message));
  group_link_->notify();
}

RequestInbox::RequestInbox(size_t depth, std::shared_ptr<CallbackGroupLink> group_link)
: queue(depth), group_link_(std::move(group_link))
{
}

void RequestInbox::on_request(
  const rmw_request_id_t & request_header, std::shared_ptr<const void> request)
{
  queue.push(QueuedRequest{request_header, std::move(request)});
  group_link_->notify();
}

ResponseInbox::ResponseInbox(size_t depth, std::shared_ptr<CallbackGroupLink> group_link)
: queue(depth), group_link_(std::move(group_link))
{
}

void ResponseInbox::on_response(
  const rmw_request_id_t & request_header, std::shared_ptr<void> response)
{
  queue.push(QueuedResponse{request_header, std::move(response)});
  group_link_->notify();
}

size_t queue_depth(const rmw_qos_profile_t & qos)
{
  if (qos.history == RMW_QOS_POLICY_HISTORY_KEEP_ALL) {
    return 0;
  }
  return std::max<size_t>(qos.depth, 1);
}

}  // namespace detail
}  // namespace rclcpp
