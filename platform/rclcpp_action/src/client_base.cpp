#include <algorithm>

#include "rclcpp_action/client.hpp"

namespace rclcpp_action
{

ClientBase::ClientBase(std::array<rclcpp::ClientBase::SharedPtr, 3> service_clients)
: service_clients_(std::move(service_clients)), random_engine_(std::random_device{}())
{
}

bool ClientBase::action_server_is_ready() const
{
  return std::all_of(
    service_clients_.begin(), service_clients_.end(),
    [](const rclcpp::ClientBase::SharedPtr & client) { return client->service_is_ready(); });
}

bool ClientBase::wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (const auto & client : service_clients_) {
    auto time_left = timeout;
    if (timeout > std::chrono::nanoseconds(0)) {
      time_left = std::max(
        std::chrono::nanoseconds(0), std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       deadline - std::chrono::steady_clock::now()));
    }
    if (!client->wait_for_service(time_left)) {
      return false;
    }
  }
  return true;
}

GoalUUID ClientBase::generate_goal_id()
{
  GoalUUID goal_id;
  std::lock_guard<std::mutex> lock(random_mutex_);
  for (size_t i = 0; i < goal_id.size(); i += sizeof(uint64_t)) {
    const uint64_t bits = random_engine_();
    std::copy_n(reinterpret_cast<const uint8_t *>(&bits), sizeof(bits), goal_id.begin() + i);
  }
  return goal_id;
}

}  // namespace rclcpp_action
