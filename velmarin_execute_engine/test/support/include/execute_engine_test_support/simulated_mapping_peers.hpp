// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "execute_engine_test_support/background_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_localization_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_localization_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/delete_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/start_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/write_state.hpp"

namespace execute_engine_test_support
{

// The mapping peer ("map_start_trajectory", "map_write_state", "map_finish_trajectory",
// "map_delete_trajectory", "map_get_trajectory_states") and the localization peer
// ("loc_finish_trajectory", "loc_get_trajectory_states"), on a node of their own spun by the
// given executor, which must outlive them. They record the calls across all services in order
// and answer every call with status 0. They keep no trajectories of their own: both states
// services report the scripted lists whatever was started or finished.
class SimulatedMappingPeers
{
public:
  // Serves every service above except those named in `absent`.
  explicit SimulatedMappingPeers(
    BackgroundExecutor & executor, const std::set<std::string> & absent = {})
  : executor_(executor), node_(std::make_shared<rclcpp::Node>("simulated_mapping_peers"))
  {
    namespace loc = velmarin_localization_ros_msgs::srv;
    namespace map = velmarin_mapping_ros_msgs::srv;
    const auto by_id = [](const auto & request, auto &) {
      return " " + std::to_string(request.trajectory_id);
    };
    const auto report = [this](const auto &, auto & response) {
      response.trajectory_states.trajectory_id = ids_;
      response.trajectory_states.trajectory_state = states_;
      return std::string();
    };
    Serve<map::StartTrajectory>("map_start_trajectory", absent, [](const auto & request, auto &) {
      return " " + request.configuration_directory + "/" + request.configuration_basename;
    });
    Serve<map::WriteState>("map_write_state", absent, [](const auto & request, auto &) {
      return (request.write_flag ? " " : " unflagged ") + request.filename;
    });
    Serve<map::FinishTrajectory>("map_finish_trajectory", absent, by_id);
    Serve<map::DeleteTrajectory>("map_delete_trajectory", absent, by_id);
    Serve<map::GetTrajectoryStates>("map_get_trajectory_states", absent, report);
    Serve<loc::FinishTrajectory>("loc_finish_trajectory", absent, by_id);
    Serve<loc::GetTrajectoryStates>("loc_get_trajectory_states", absent, report);
    executor_.AddNode(node_);
  }

  // Leaves the executor, which waits for replies still held back.
  ~SimulatedMappingPeers() { executor_.RemoveNode(node_); }

  // The lists both states services report from now on (empty until set; they may differ in
  // length), and how long each later reply is held back after its call arrived; calls to any of
  // the services are held side by side.
  void Script(
    std::vector<int32_t> ids, std::vector<uint8_t> states, std::chrono::milliseconds delay = {})
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_ = std::move(ids);
    states_ = std::move(states);
    delay_ = delay;
  }

  // One entry per call so far, in the order of the replies: the service's name, followed, for a
  // call that names a trajectory or a map file, by a blank and its trajectory id or file name
  // (or "unflagged " and the file name when the save's write_flag is false). A start shows its
  // configuration directory and basename joined by "/".
  std::vector<std::string> Calls() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

private:
  // Serves S as `service_name` unless it is absent; `describe`, given a call's request and
  // reply, completes the reply and gives what the call's entry shows after the name. Replies
  // to several calls are held back side by side, each on an executor thread of its own.
  template <typename S, typename Describe>
  void Serve(
    const std::string & service_name, const std::set<std::string> & absent, Describe describe)
  {
    if (absent.count(service_name) != 0) {
      return;
    }
    services_.push_back(node_->create_service<S>(
      service_name,
      [this, service_name, describe](
        const std::shared_ptr<typename S::Request> request,
        std::shared_ptr<typename S::Response> response) {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto delay = delay_;
        lock.unlock();
        std::this_thread::sleep_for(delay);
        lock.lock();
        calls_.push_back(service_name + describe(*request, *response));
      },
      rmw_qos_profile_services_default, replies_));
  }

  BackgroundExecutor & executor_;
  mutable std::mutex mutex_;
  std::vector<int32_t> ids_;
  std::vector<uint8_t> states_;
  std::chrono::milliseconds delay_{0};
  std::vector<std::string> calls_;
  rclcpp::Node::SharedPtr node_;
  rclcpp::CallbackGroup::SharedPtr replies_ =
    node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  std::vector<rclcpp::ServiceBase::SharedPtr> services_;
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_
