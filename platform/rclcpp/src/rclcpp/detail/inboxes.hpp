#ifndef RCLCPP__DETAIL__INBOXES_HPP_
#define RCLCPP__DETAIL__INBOXES_HPP_

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "rclcpp/detail/callback_group_link.hpp"
#include "rclcpp/detail/graph.hpp"
#include "rmw/types.h"

namespace rclcpp
{
namespace detail
{

/// A thread-safe FIFO; with a depth limit the oldest item is dropped to make room.
template <typename ItemT>
class BoundedQueue
{
public:
  /// `depth` 0 means no limit.
  explicit BoundedQueue(size_t depth) : depth_(depth) {}

  void push(ItemT item)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (depth_ != 0 && items_.size() >= depth_) {
      items_.pop_front();
    }
    items_.push_back(std::move(item));
  }

  std::optional<ItemT> pop()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (items_.empty()) {
      return std::nullopt;
    }
    ItemT item = std::move(items_.front());
    items_.pop_front();
    return item;
  }

  bool empty() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.empty();
  }

private:
  mutable std::mutex mutex_;
  std::deque<ItemT> items_;
  const size_t depth_;
};

/// Where the graph leaves a subscription's messages.
class MessageInbox : public MessageSink
{
public:
  MessageInbox(size_t depth, std::shared_ptr<CallbackGroupLink> group_link);
  void on_message(std::shared_ptr<const void> message) override;

  BoundedQueue<std::shared_ptr<const void>> queue;

private:
  std::shared_ptr<CallbackGroupLink> group_link_;
};

struct QueuedRequest
{
  rmw_request_id_t header;
  std::shared_ptr<const void> request;
};

/// Where the graph leaves a service's requests.
class RequestInbox : public RequestSink
{
public:
  RequestInbox(size_t depth, std::shared_ptr<CallbackGroupLink> group_link);
  void on_request(
    const rmw_request_id_t & request_header, std::shared_ptr<const void> request) override;

  BoundedQueue<QueuedRequest> queue;

private:
  std::shared_ptr<CallbackGroupLink> group_link_;
};

struct QueuedResponse
{
  rmw_request_id_t header;
  std::shared_ptr<void> response;
};

/// Where the graph leaves a client's responses.
class ResponseInbox : public ResponseSink
{
public:
  ResponseInbox(size_t depth, std::shared_ptr<CallbackGroupLink> group_link);
  void on_response(
    const rmw_request_id_t & request_header, std::shared_ptr<void> response) override;

  BoundedQueue<QueuedResponse> queue;

private:
  std::shared_ptr<CallbackGroupLink> group_link_;
};

/// The queue depth a QoS profile asks for: 0 (no limit) for keep all, at least 1 otherwise.
size_t queue_depth(const rmw_qos_profile_t & qos);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__INBOXES_HPP_
