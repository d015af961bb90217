// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <tuple>
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
// ("loc_finish_trajectory", "loc_get_trajectory_states"), on nodes of their own spun by the
// given executor, which must outlive them. They record every request, and the order of the
// calls across all services, and answer as scripted. They keep no trajectories of their own:
// the states services report the scripted lists whatever was started or finished.
class SimulatedMappingPeers
{
public:
  using MapStartTrajectory = velmarin_mapping_ros_msgs::srv::StartTrajectory;
  using MapWriteState = velmarin_mapping_ros_msgs::srv::WriteState;
  using MapFinishTrajectory = velmarin_mapping_ros_msgs::srv::FinishTrajectory;
  using MapDeleteTrajectory = velmarin_mapping_ros_msgs::srv::DeleteTrajectory;
  using MapGetTrajectoryStates = velmarin_mapping_ros_msgs::srv::GetTrajectoryStates;
  using LocFinishTrajectory = velmarin_localization_ros_msgs::srv::FinishTrajectory;
  using LocGetTrajectoryStates = velmarin_localization_ros_msgs::srv::GetTrajectoryStates;

  // Serves every service above except those named in `absent`.
  explicit SimulatedMappingPeers(
    BackgroundExecutor & executor, const std::set<std::string> & absent = {});
  // Leaves the executor.
  ~SimulatedMappingPeers();

  SimulatedMappingPeers(const SimulatedMappingPeers &) = delete;
  SimulatedMappingPeers & operator=(const SimulatedMappingPeers &) = delete;

  // The lists "map_get_trajectory_states" (or "loc_get_trajectory_states") reports from now on;
  // both empty until set. They may differ in length.
  void SetMapTrajectories(std::vector<int32_t> ids, std::vector<uint8_t> states);
  void SetLocTrajectories(std::vector<int32_t> ids, std::vector<uint8_t> states);
  // The status code every later reply carries (0 until set).
  void SetStatusCode(uint8_t code);

  // The names of the services called so far, in order of arrival.
  std::vector<std::string> Calls() const;

  // The requests of service type S received so far, in order of arrival.
  template <typename S>
  std::vector<typename S::Request> Requests() const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return std::get<std::vector<typename S::Request>>(state_->requests);
  }

private:
  struct TrajectoryLists
  {
    std::vector<int32_t> ids;
    std::vector<uint8_t> states;
  };

  struct State
  {
    std::mutex mutex;
    uint8_t status_code = 0;
    TrajectoryLists map_trajectories;
    TrajectoryLists loc_trajectories;
    std::vector<std::string> calls;
    std::tuple<
      std::vector<MapStartTrajectory::Request>, std::vector<MapWriteState::Request>,
      std::vector<MapFinishTrajectory::Request>, std::vector<MapDeleteTrajectory::Request>,
      std::vector<MapGetTrajectoryStates::Request>, std::vector<LocFinishTrajectory::Request>,
      std::vector<LocGetTrajectoryStates::Request>>
      requests;
  };

  // Serves `service_name` on `node` unless it is absent; `fill` completes each reply from the
  // state once the status is set.
  template <typename S, typename Fill>
  void Serve(
    const rclcpp::Node::SharedPtr & node, const std::string & service_name,
    const std::set<std::string> & absent, Fill fill);

  BackgroundExecutor & executor_;
  std::shared_ptr<State> state_;
  rclcpp::Node::SharedPtr mapping_node_;
  rclcpp::Node::SharedPtr localization_node_;
  std::vector<rclcpp::ServiceBase::SharedPtr> services_;
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_
