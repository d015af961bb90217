// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__SLAM_TREE_NODE_HPP_
#define EXECUTE_ENGINE__SLAM_TREE_NODE_HPP_

#include <behaviortree_cpp_v3/action_node.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common_util/util.hpp"
#include "execute_engine/cmd_handler_table.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace execute_engine
{

// "Slam": the mapping commands. 301 finishes the active localization trajectory and starts a
// mapping trajectory; 302 finishes the active mapping trajectory and saves the map under the
// request's map id; 4 finishes the active mapping trajectory and deletes it. 5, 6, 7 and 101
// are accepted and always fail. Returns FAILURE to the tree after a command that succeeded and
// SUCCESS after one that failed; the request's response follows the counters.
//
// The node keeps no record of trajectories: the active one is the first in state 0 in the
// peer's own report, asked for at every finish. Every call is a blocking call through the
// private node "execute_engine_slam_node" ("_2" and so on appended for a "Slam" made while
// another lives), which no executor holds, so a command blocks the ticking thread for as long
// as its calls take (the save and the delete up to 100 minutes).
// A failed call ends the command: no later call of it is made.
class SlamTreeNode : public BT::SyncActionNode
{
public:
  using RequestPtr = std::shared_ptr<velmarin_protocol::srv::RobotCommon::Request>;

  SlamTreeNode(const std::string & name, const BT::NodeConfiguration & config);

  static BT::PortsList providedPorts() { return {}; }

  // Runs the handler of the engine's current command with the current request.
  BT::NodeStatus tick() override;

  // Command 4: EndMap without saving.
  bool Cancel(RequestPtr request);
  // Commands 5, 6, 7 and 101: fail at once, calling nothing.
  bool Pause(RequestPtr request);
  bool Done(RequestPtr request);
  bool Preempt(RequestPtr request);
  bool Move(RequestPtr request);
  // Command 301: finishes the active localization trajectory, then starts a mapping trajectory
  // with the robot's mapping configuration.
  bool SlamWork(RequestPtr request);
  // Command 302: EndMap saving under the request's `map_id`.
  bool SlamComplete(RequestPtr request);

  // Finishes the first trajectory in state 0 that `statesService` reports, through
  // `finishService`, and then stores its id in `trajectoryId`. Succeeds, storing nothing, when
  // no trajectory is in state 0. Fails when either call fails.
  bool FinishLocTraject(
    std::string statesService, std::string finishService, std::optional<int32_t> * trajectoryId);
  // The same on the mapping services.
  bool FinishMapTraject(
    std::string statesService, std::string finishService, std::optional<int32_t> * trajectoryId);

  // Finishes the active mapping trajectory, then saves the map as the maps directory followed
  // by `mapId` and ".pbstream" (`needSaveMap`), or deletes the trajectory it finished. Without
  // an active trajectory there is nothing to delete, and none is deleted.
  bool EndMap(int32_t mapId, bool needSaveMap);

private:
  CmdHandlerTable<RequestPtr> cmd_handlers_;
  const std::string configuration_directory_;
  const std::string configuration_basename_;
  const std::string start_trajectory_srv_;
  const std::string write_state_srv_;
  const std::string map_finish_trajectory_srv_;
  const std::string loc_finish_trajectory_srv_;
  const std::string map_dir_;
  const std::string delete_trajectory_srv_;
  const std::string loc_get_trajectory_states_srv_;
  const std::string map_get_trajectory_states_srv_;
  std::shared_ptr<common_util::PrivateNode> slam_node_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__SLAM_TREE_NODE_HPP_
