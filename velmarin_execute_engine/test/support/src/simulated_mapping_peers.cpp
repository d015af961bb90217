// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine_test_support/simulated_mapping_peers.hpp"

#include <utility>

namespace execute_engine_test_support
{

namespace
{
// Replies that carry nothing beyond their status.
struct NothingToFill
{
  template <typename Response, typename State>
  void operator()(const State &, Response &) const
  {
  }
};
}  // namespace

SimulatedMappingPeers::SimulatedMappingPeers(
  BackgroundExecutor & executor, const std::set<std::string> & absent)
: executor_(executor),
  state_(std::make_shared<State>()),
  mapping_node_(std::make_shared<rclcpp::Node>("simulated_mapping_peer")),
  localization_node_(std::make_shared<rclcpp::Node>("simulated_localization_peer"))
{
  Serve<MapStartTrajectory>(mapping_node_, "map_start_trajectory", absent, NothingToFill());
  Serve<MapWriteState>(mapping_node_, "map_write_state", absent, NothingToFill());
  Serve<MapFinishTrajectory>(mapping_node_, "map_finish_trajectory", absent, NothingToFill());
  Serve<MapDeleteTrajectory>(mapping_node_, "map_delete_trajectory", absent, NothingToFill());
  Serve<MapGetTrajectoryStates>(
    mapping_node_, "map_get_trajectory_states", absent,
    [](const State & state, MapGetTrajectoryStates::Response & response) {
      response.trajectory_states.trajectory_id = state.map_trajectories.ids;
      response.trajectory_states.trajectory_state = state.map_trajectories.states;
    });
  Serve<LocFinishTrajectory>(localization_node_, "loc_finish_trajectory", absent, NothingToFill());
  Serve<LocGetTrajectoryStates>(
    localization_node_, "loc_get_trajectory_states", absent,
    [](const State & state, LocGetTrajectoryStates::Response & response) {
      response.trajectory_states.trajectory_id = state.loc_trajectories.ids;
      response.trajectory_states.trajectory_state = state.loc_trajectories.states;
    });
  executor_.AddNode(mapping_node_);
  executor_.AddNode(localization_node_);
}

SimulatedMappingPeers::~SimulatedMappingPeers()
{
  executor_.RemoveNode(localization_node_);
  executor_.RemoveNode(mapping_node_);
}

template <typename S, typename Fill>
void SimulatedMappingPeers::Serve(
  const rclcpp::Node::SharedPtr & node, const std::string & service_name,
  const std::set<std::string> & absent, Fill fill)
{
  if (absent.count(service_name) != 0) {
    return;
  }
  // The callback owns the state, so a reply still on its way never outlives it.
  services_.push_back(node->create_service<S>(
    service_name,
    [state = state_, service_name, fill](
      const std::shared_ptr<typename S::Request> request,
      std::shared_ptr<typename S::Response> response) {
      std::lock_guard<std::mutex> lock(state->mutex);
      state->calls.push_back(service_name);
      std::get<std::vector<typename S::Request>>(state->requests).push_back(*request);
      response->status.code = state->status_code;
      fill(*state, *response);
    },
    rmw_qos_profile_services_default, nullptr));
}

void SimulatedMappingPeers::SetMapTrajectories(
  std::vector<int32_t> ids, std::vector<uint8_t> states)
{
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->map_trajectories = {std::move(ids), std::move(states)};
}

void SimulatedMappingPeers::SetLocTrajectories(
  std::vector<int32_t> ids, std::vector<uint8_t> states)
{
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->loc_trajectories = {std::move(ids), std::move(states)};
}

void SimulatedMappingPeers::SetStatusCode(uint8_t code)
{
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->status_code = code;
}

std::vector<std::string> SimulatedMappingPeers::Calls() const
{
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->calls;
}

}  // namespace execute_engine_test_support
