// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_

#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "execute_engine_test_support/background_executor.hpp"
#include "rclcpp/rclcpp.hpp"

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
    BackgroundExecutor & executor, const std::set<std::string> & absent = {});
  // Leaves the executor, which waits for replies still held back.
  ~SimulatedMappingPeers();

  SimulatedMappingPeers(const SimulatedMappingPeers &) = delete;
  SimulatedMappingPeers & operator=(const SimulatedMappingPeers &) = delete;

  // The lists both states services report from now on; empty until set, they may differ in
  // length.
  void SetTrajectories(std::vector<int32_t> ids, std::vector<uint8_t> states);
  // How long each later reply is held back after its call arrived; calls to any of the
  // services are held side by side.
  void SetDelay(std::chrono::milliseconds delay);

  // One entry per call so far, in the order of the replies: the service's name, followed, for a call
  // that names a trajectory or a map file, by a blank and its trajectory id or file name (or
  // "unflagged " and the file name when the save's write_flag is false). A start shows its
  // configuration directory and basename joined by "/".
  std::vector<std::string> Calls() const;

private:
  // Serves S as `service_name` unless it is absent; `describe`, given a call's request and
  // reply, completes the reply and gives what the call's entry shows after the name.
  template <typename S, typename Describe>
  void Serve(
    const std::string & service_name, const std::set<std::string> & absent, Describe describe);

  BackgroundExecutor & executor_;
  mutable std::mutex mutex_;
  std::vector<int32_t> ids_;
  std::vector<uint8_t> states_;
  std::chrono::milliseconds delay_{0};
  std::vector<std::string> calls_;
  rclcpp::Node::SharedPtr node_;
  // Replies to several calls are held back side by side.
  rclcpp::CallbackGroup::SharedPtr replies_;
  std::vector<rclcpp::ServiceBase::SharedPtr> services_;
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAPPING_PEERS_HPP_
