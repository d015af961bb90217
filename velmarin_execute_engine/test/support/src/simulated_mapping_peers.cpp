// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine_test_support/simulated_mapping_peers.hpp"

#include <thread>
#include <utility>

#include "velmarin_localization_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_localization_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/delete_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/start_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/write_state.hpp"

namespace execute_engine_test_support
{

namespace
{
namespace loc = velmarin_localization_ros_msgs::srv;
namespace map = velmarin_mapping_ros_msgs::srv;

const auto kById = [](const auto & request, auto &) {
  return " " + std::to_string(request.trajectory_id);
};
}  // namespace

SimulatedMappingPeers::SimulatedMappingPeers(
  BackgroundExecutor & executor, const std::set<std::string> & absent)
: executor_(executor),
  node_(std::make_shared<rclcpp::Node>("simulated_mapping_peers")),
  replies_(node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant))
{
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
  Serve<map::FinishTrajectory>("map_finish_trajectory", absent, kById);
  Serve<map::DeleteTrajectory>("map_delete_trajectory", absent, kById);
  Serve<map::GetTrajectoryStates>("map_get_trajectory_states", absent, report);
  Serve<loc::FinishTrajectory>("loc_finish_trajectory", absent, kById);
  Serve<loc::GetTrajectoryStates>("loc_get_trajectory_states", absent, report);
  executor_.AddNode(node_);
}

SimulatedMappingPeers::~SimulatedMappingPeers() { executor_.RemoveNode(node_); }

template <typename S, typename Describe>
void SimulatedMappingPeers::Serve(
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

void SimulatedMappingPeers::SetTrajectories(std::vector<int32_t> ids, std::vector<uint8_t> states)
{
  std::lock_guard<std::mutex> lock(mutex_);
  ids_ = std::move(ids);
  states_ = std::move(states);
}

void SimulatedMappingPeers::SetDelay(std::chrono::milliseconds delay)
{
  std::lock_guard<std::mutex> lock(mutex_);
  delay_ = delay;
}

std::vector<std::string> SimulatedMappingPeers::Calls() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

}  // namespace execute_engine_test_support
