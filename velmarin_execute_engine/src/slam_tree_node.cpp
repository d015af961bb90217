// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/slam_tree_node.hpp"

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "common_util/constants.hpp"
#include "common_util/log_holder.hpp"
#include "common_util/path_util.hpp"
#include "common_util/util.hpp"
#include "execute_engine/execute_engine.hpp"
#include "velmarin_localization_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_localization_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/delete_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/start_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/write_state.hpp"

namespace execute_engine
{

namespace
{
using LocFinishTrajectory = velmarin_localization_ros_msgs::srv::FinishTrajectory;
using LocGetTrajectoryStates = velmarin_localization_ros_msgs::srv::GetTrajectoryStates;
using MapDeleteTrajectory = velmarin_mapping_ros_msgs::srv::DeleteTrajectory;
using MapFinishTrajectory = velmarin_mapping_ros_msgs::srv::FinishTrajectory;
using MapGetTrajectoryStates = velmarin_mapping_ros_msgs::srv::GetTrajectoryStates;
using MapStartTrajectory = velmarin_mapping_ros_msgs::srv::StartTrajectory;
using MapWriteState = velmarin_mapping_ros_msgs::srv::WriteState;
using common_util::ServiceCallHolder;
using common_util::SyncCallService;
using std::chrono::milliseconds;

constexpr SyncTickStatusRule kSlamStatusRule{BT::NodeStatus::FAILURE, BT::NodeStatus::SUCCESS};

constexpr milliseconds kLocResponseTimeout{10000};
constexpr milliseconds kStartResponseTimeout{10000};
constexpr milliseconds kMapFinishResponseTimeout{20000};
constexpr milliseconds kSaveOrDeleteResponseTimeout{6000000};
constexpr milliseconds kServiceTimeout{1000};
constexpr milliseconds kSaveServiceTimeout{10000};

constexpr uint8_t kActiveTrajectoryState = 0;

// Id of the first trajectory in state 0. The two lists are parallel; a report whose lists
// differ in length is read only where both have an entry.
template <typename TrajectoryStateList>
std::optional<int32_t> FirstActiveTrajectory(const TrajectoryStateList & trajectories)
{
  const size_t reported =
    std::min(trajectories.trajectory_id.size(), trajectories.trajectory_state.size());
  for (size_t i = 0; i < reported; ++i) {
    if (trajectories.trajectory_state[i] == kActiveTrajectoryState) {
      return trajectories.trajectory_id[i];
    }
  }
  return std::nullopt;
}
}  // namespace

SlamTreeNode::SlamTreeNode(const std::string & name, const BT::NodeConfiguration & config)
: BT::SyncActionNode(name, config),
  cmd_handlers_{
    {4, std::bind(&SlamTreeNode::Cancel, this, std::placeholders::_1)},
    {5, std::bind(&SlamTreeNode::Pause, this, std::placeholders::_1)},
    {6, std::bind(&SlamTreeNode::Done, this, std::placeholders::_1)},
    {7, std::bind(&SlamTreeNode::Preempt, this, std::placeholders::_1)},
    {301, std::bind(&SlamTreeNode::SlamWork, this, std::placeholders::_1)},
    {101, std::bind(&SlamTreeNode::Move, this, std::placeholders::_1)},
    {302, std::bind(&SlamTreeNode::SlamComplete, this, std::placeholders::_1)},
  },
  configuration_directory_("share/cartographer_ros/mapping_config/config"),
  configuration_basename_("pepperl_fuchs.lua"),
  start_trajectory_srv_(common_util::kMapStartTrajectoryService),
  write_state_srv_("map_write_state"),
  map_finish_trajectory_srv_("map_finish_trajectory"),
  loc_finish_trajectory_srv_("loc_finish_trajectory"),
  map_dir_("/opt/velmarin/maps/"),
  delete_trajectory_srv_("map_delete_trajectory"),
  loc_get_trajectory_states_srv_("loc_get_trajectory_states"),
  map_get_trajectory_states_srv_("map_get_trajectory_states"),
  slam_node_(common_util::MakePrivateNode("execute_engine_slam_node"))
{
}

BT::NodeStatus SlamTreeNode::tick()
{
  // Held until the tick returns, whatever request replaces it meanwhile.
  const RequestPtr request = g_execute_engine->GetRequest();
  return sync_command::RunHandler(
    cmd_handlers_, request->command.cmd, request, *g_execute_engine->GetStatus(), kSlamStatusRule,
    EE_CALL_SITE);
}

bool SlamTreeNode::Cancel(RequestPtr /*request*/)
{
  EE_LOG_DEBUG("step into SLamTreeNode::Cancel");
  return EndMap(0, false);
}

bool SlamTreeNode::Pause(RequestPtr /*request*/) { return false; }

bool SlamTreeNode::Done(RequestPtr /*request*/) { return false; }

bool SlamTreeNode::Preempt(RequestPtr /*request*/) { return false; }

bool SlamTreeNode::Move(RequestPtr /*request*/) { return false; }

bool SlamTreeNode::SlamWork(RequestPtr /*request*/)
{
  EE_LOG_DEBUG("Step into SlamWork");
  std::optional<int32_t> finished_id;
  if (!FinishLocTraject(loc_get_trajectory_states_srv_, loc_finish_trajectory_srv_, &finished_id)) {
    return false;
  }

  ServiceCallHolder<MapStartTrajectory> start;
  start.request->configuration_directory = common_util::GetInstallPath() + configuration_directory_;
  start.request->configuration_basename = configuration_basename_;
  start.request->use_initial_pose = false;
  start.request->trajectory_link = 0;
  if (!SyncCallService(
        slam_node_, start_trajectory_srv_, start, kStartResponseTimeout, kServiceTimeout)) {
    EE_LOG_ERROR("start map trajectory fail");
    return false;
  }
  return true;
}

bool SlamTreeNode::SlamComplete(RequestPtr request)
{
  EE_LOG_DEBUG("step into SlamTreeNode::SlamComplete");
  return EndMap(request->map_id, true);
}

bool SlamTreeNode::FinishLocTraject(
  std::string statesService, std::string finishService, std::optional<int32_t> * trajectoryId)
{
  EE_LOG_DEBUG("Finish Traject");
  ServiceCallHolder<LocGetTrajectoryStates> states;
  if (!SyncCallService(slam_node_, statesService, states, kLocResponseTimeout, kServiceTimeout)) {
    EE_LOG_ERROR("loc GetTrajectoryStates fail");
    return false;
  }
  const std::optional<int32_t> active = FirstActiveTrajectory(states.response->trajectory_states);
  if (!active) {
    return true;
  }

  ServiceCallHolder<LocFinishTrajectory> finish;
  finish.request->trajectory_id = *active;
  if (!SyncCallService(slam_node_, finishService, finish, kLocResponseTimeout, kServiceTimeout)) {
    EE_LOG_ERROR("loc finish trajectory fail");
    return false;
  }
  *trajectoryId = active;
  return true;
}

bool SlamTreeNode::FinishMapTraject(
  std::string statesService, std::string finishService, std::optional<int32_t> * trajectoryId)
{
  EE_LOG_DEBUG("Step into Finish Traject");
  ServiceCallHolder<MapGetTrajectoryStates> states;
  if (!SyncCallService(
        slam_node_, statesService, states, kMapFinishResponseTimeout, kServiceTimeout)) {
    EE_LOG_ERROR("map GetTrajectoryStates fail");
    return false;
  }
  const std::optional<int32_t> active = FirstActiveTrajectory(states.response->trajectory_states);
  if (!active) {
    EE_LOG_DEBUG("After Finish Traject");
    return true;
  }

  ServiceCallHolder<MapFinishTrajectory> finish;
  finish.request->trajectory_id = *active;
  if (!SyncCallService(
        slam_node_, finishService, finish, kMapFinishResponseTimeout, kServiceTimeout)) {
    EE_LOG_ERROR("map finish trajectory fail");
    return false;
  }
  *trajectoryId = active;
  EE_LOG_DEBUG("find active trace and finished it success");
  return true;
}

bool SlamTreeNode::EndMap(int32_t mapId, bool needSaveMap)
{
  EE_LOG_DEBUG("Step into End Map, needSaveMap : {}", needSaveMap);
  std::optional<int32_t> finished_id;
  if (!FinishMapTraject(map_get_trajectory_states_srv_, map_finish_trajectory_srv_, &finished_id)) {
    return false;
  }
  EE_LOG_DEBUG("End Map Action");

  if (needSaveMap) {
    std::string map_dir = map_dir_;
    ServiceCallHolder<MapWriteState> save;
    save.request->filename =
      common_util::ExpandUserPath(map_dir) + std::to_string(mapId) + ".pbstream";
    save.request->write_flag = true;
    if (!SyncCallService(
          slam_node_, write_state_srv_, save, kSaveOrDeleteResponseTimeout, kSaveServiceTimeout)) {
      EE_LOG_ERROR("write map fail");
      return false;
    }
    EE_LOG_DEBUG("Save map success");
    return true;
  }

  // Deleting by a made-up id could remove a real, finished trajectory.
  if (!finished_id) {
    EE_LOG_DEBUG("no active map trajectory, nothing to delete");
    return true;
  }
  ServiceCallHolder<MapDeleteTrajectory> remove;
  remove.request->trajectory_id = *finished_id;
  if (!SyncCallService(
        slam_node_, delete_trajectory_srv_, remove, kSaveOrDeleteResponseTimeout,
        kServiceTimeout)) {
    EE_LOG_ERROR("delete map trajectory fail");
    return false;
  }
  EE_LOG_DEBUG("Delete Traject success");
  return true;
}

}  // namespace execute_engine
