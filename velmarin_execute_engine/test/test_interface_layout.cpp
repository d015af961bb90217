// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// The robot's other nodes read these types by position and primitive type: a misplaced
// or retyped field silently breaks every peer, so the generated layouts are checked here.

#include <gtest/gtest.h>

#include <rosidl_typesupport_interface/macros.h>
#include <rosidl_typesupport_introspection_cpp/field_types.hpp>
#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>

#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "velmarin_localization_ros_msgs/msg/detail/service_status__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/msg/detail/trajectory_state_list__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/srv/detail/finish_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/srv/detail/get_trajectory_states__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/msg/detail/service_status__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/msg/detail/trajectory_state_list__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/delete_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/finish_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/get_trajectory_states__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/start_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/write_state__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/start_trajectory.hpp"
#include "velmarin_protocol/action/detail/planner__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/action/detail/security__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/action/planner.hpp"
#include "velmarin_protocol/msg/detail/aux_pair__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/aux_single__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/aux_triple__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/command_info__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/device_command__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/initial_pose__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/localization_map_and_pose__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/navigation_point__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/procter_devices__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/detail/reach_destination_pose__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/msg/localization_map_and_pose.hpp"
#include "velmarin_protocol/msg/navigation_point.hpp"
#include "velmarin_protocol/srv/detail/bottom_interact_srv__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/srv/detail/robot_common__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

#define INTROSPECTION(pkg, kind, type)                     \
  ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(       \
    rosidl_typesupport_introspection_cpp, pkg, kind, type) \
  ()

namespace
{

namespace introspection = rosidl_typesupport_introspection_cpp;

const introspection::MessageMembers * Members(const rosidl_message_type_support_t * support)
{
  return static_cast<const introspection::MessageMembers *>(support->data);
}

// "name:type" per field in declared order, blank-separated; nested types by their C++ name
// without the package's "::msg::", sequences as "[]" and fixed arrays as "[N]".
std::string Describe(const rosidl_message_type_support_t * support)
{
  static const std::map<uint8_t, std::string> primitives{
    {introspection::ROS_TYPE_FLOAT, "float32"}, {introspection::ROS_TYPE_DOUBLE, "float64"},
    {introspection::ROS_TYPE_BOOLEAN, "bool"},  {introspection::ROS_TYPE_UINT8, "uint8"},
    {introspection::ROS_TYPE_INT32, "int32"},   {introspection::ROS_TYPE_STRING, "string"}};
  std::string fields;
  const auto * members = Members(support);
  for (uint32_t i = 0; i < members->member_count_; ++i) {
    const auto & member = members->members_[i];
    std::string type = "type" + std::to_string(member.type_id_);
    if (member.type_id_ == introspection::ROS_TYPE_MESSAGE) {
      const auto * nested = Members(member.members_);
      type = std::string(nested->message_namespace_) + "::" + nested->message_name_;
      type.erase(type.find("::msg::"), 5);
    } else if (primitives.count(member.type_id_)) {
      type = primitives.at(member.type_id_);
    }
    if (member.is_array_) {
      type += member.array_size_ == 0 ? "[]" : "[" + std::to_string(member.array_size_) + "]";
    }
    fields += (i ? " " : "") + std::string(member.name_) + ":" + type;
  }
  return fields;
}

TEST(InterfaceLayout, TypesExchangedWithPeersKeepTheirFieldsInOrder)
{
  const std::string d = "velmarin_protocol::DeviceCommand";
  const std::string t = "velmarin_protocol::AuxTriple";
  const std::vector<std::pair<const rosidl_message_type_support_t *, std::string>> layouts{
    {INTROSPECTION(velmarin_protocol, srv, RobotCommon_Request),
     "command:velmarin_protocol::CommandInfo initial_pose:velmarin_protocol::InitialPose "
     "navigation_points:velmarin_protocol::NavigationPoint[] map_path:string aux_text_1:string "
     "aux_text_2:string nav_control:int32 map_id:int32 security_value:float32 "
     "devices:velmarin_protocol::ProcterDevices aux_flag:uint8"},
    {INTROSPECTION(velmarin_protocol, srv, RobotCommon_Response),
     "result:int32 message:string error_code:int32"},
    {INTROSPECTION(velmarin_protocol, msg, CommandInfo), "model_id:int32 cmd:int32 text:string"},
    {INTROSPECTION(velmarin_protocol, msg, InitialPose), "x:float64 y:float64 angle:float64"},
    {INTROSPECTION(velmarin_protocol, msg, ProcterDevices),
     "aux_value:int32 main_swp:" + d + " side_swp:" + d + " swp_lift:" + d + " roll_mop:" + d +
       " mop_pump:" + d + " mop_lift:" + d + " squeegee_fan:" + d + " squeegee_lift:" + d +
       " aux_pair:velmarin_protocol::AuxPair aux_single:velmarin_protocol::AuxSingle "
       "aux_device:" +
       d},
    {INTROSPECTION(velmarin_protocol, msg, DeviceCommand), "cmd:int32 duty:int32"},
    {INTROSPECTION(velmarin_protocol, msg, AuxPair), "first:int32 second:int32"},
    {INTROSPECTION(velmarin_protocol, msg, AuxSingle), "value:int32"},
    {INTROSPECTION(velmarin_protocol, msg, AuxTriple), "a:int32 b:int32 c:int32"},
    {INTROSPECTION(velmarin_protocol, srv, BottomInteractSrv_Request),
     "operation:int32 devices:velmarin_protocol::ProcterDevices aux_triple_1:" + t +
       " aux_triple_2:" + t + " aux_triple_3:" + t + " aux_triple_4:" + t + " aux_device_1:" + d +
       " aux_device_2:" + d +
       " aux_single:velmarin_protocol::AuxSingle aux_flag:uint8 aux_value_1:int32 "
       "aux_value_2:int32 aux_value_3:int32"},
    {INTROSPECTION(velmarin_protocol, srv, BottomInteractSrv_Response),
     "error_code:int32 message:string"},
    {INTROSPECTION(velmarin_protocol, msg, LocalizationMapAndPose),
     "pose:geometry_msgs::PoseWithCovarianceStamped map_path:string aux_text_1:string "
     "aux_text_2:string"},
    {INTROSPECTION(velmarin_protocol, msg, ReachDestinationPose),
     "index:int32 state:bool errnum:int32"},
    {INTROSPECTION(velmarin_protocol, action, Planner_Goal),
     "task_type:int32 aux_vectors:geometry_msgs::Twist poses:geometry_msgs::PoseStamped[] "
     "control:int32"},
    {INTROSPECTION(velmarin_protocol, action, Planner_Result),
     "index:int32 state:uint8 errmsg:string errnum:int32"},
    {INTROSPECTION(velmarin_protocol, action, Planner_Feedback),
     "pose:geometry_msgs::PoseStamped aux_value:int32"},
    {INTROSPECTION(velmarin_protocol, action, Security_Goal), "value:float32"},
    {INTROSPECTION(velmarin_protocol, action, Security_Result), "result:uint8"},
    {INTROSPECTION(velmarin_protocol, action, Security_Feedback), "feedback:uint8"},
    {INTROSPECTION(velmarin_mapping_ros_msgs, srv, StartTrajectory_Request),
     "configuration_directory:string configuration_basename:string use_initial_pose:bool "
     "initial_pose:geometry_msgs::Pose trajectory_link:int32"},
    {INTROSPECTION(velmarin_mapping_ros_msgs, srv, StartTrajectory_Response),
     "status:velmarin_mapping_ros_msgs::ServiceStatus trajectory_id:int32"},
    {INTROSPECTION(velmarin_mapping_ros_msgs, srv, WriteState_Request),
     "filename:string write_flag:bool"},
    {INTROSPECTION(velmarin_mapping_ros_msgs, srv, DeleteTrajectory_Request),
     "trajectory_id:int32"},
    {INTROSPECTION(velmarin_mapping_ros_msgs, srv, FinishTrajectory_Request),
     "trajectory_id:int32"},
    {INTROSPECTION(velmarin_localization_ros_msgs, srv, FinishTrajectory_Request),
     "trajectory_id:int32"},
    {INTROSPECTION(velmarin_mapping_ros_msgs, srv, GetTrajectoryStates_Response),
     "status:velmarin_mapping_ros_msgs::ServiceStatus "
     "trajectory_states:velmarin_mapping_ros_msgs::TrajectoryStateList"},
    {INTROSPECTION(velmarin_localization_ros_msgs, srv, GetTrajectoryStates_Response),
     "status:velmarin_localization_ros_msgs::ServiceStatus "
     "trajectory_states:velmarin_localization_ros_msgs::TrajectoryStateList"},
    {INTROSPECTION(velmarin_mapping_ros_msgs, msg, ServiceStatus), "code:uint8 message:string"},
    {INTROSPECTION(velmarin_localization_ros_msgs, msg, TrajectoryStateList),
     "header:std_msgs::Header trajectory_id:int32[] trajectory_state:uint8[]"},
  };
  for (const auto & [support, fields] : layouts) {
    EXPECT_EQ(Describe(support), fields) << Members(support)->message_name_;
  }
  // Four coordinates first, then 16 bytes of plain numbers.
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, NavigationPoint))
      .rfind("x:float64 y:float64 z:float64 yaw:float64", 0),
    0u);
  EXPECT_EQ(sizeof(velmarin_protocol::msg::NavigationPoint), 6 * sizeof(double));
}

// A message of one peer's package must never be handed to the other peer's service.
static_assert(!std::is_same_v<
              velmarin_mapping_ros_msgs::srv::GetTrajectoryStates,
              velmarin_localization_ros_msgs::srv::GetTrajectoryStates>);
static_assert(!std::is_convertible_v<
              velmarin_mapping_ros_msgs::srv::GetTrajectoryStates::Response,
              velmarin_localization_ros_msgs::srv::GetTrajectoryStates::Response>);

TEST(InterfaceDefaults, FullInitialisationZeroesOwnFieldsAndKeepsPublicDefaults)
{
  using rosidl_runtime_cpp::MessageInitialization;
  // Nothing of the robot's own types declares a default: fully initialised equals zeroed.
  EXPECT_EQ(
    velmarin_protocol::srv::RobotCommon::Request(),
    velmarin_protocol::srv::RobotCommon::Request(MessageInitialization::ZERO));
  EXPECT_EQ(
    velmarin_protocol::action::Planner::Goal(),
    velmarin_protocol::action::Planner::Goal(MessageInitialization::ZERO));
  EXPECT_EQ(
    velmarin_protocol::action::Planner::Result(),
    velmarin_protocol::action::Planner::Result(MessageInitialization::ZERO));
  // Nested public types keep their own defaults: the identity quaternion.
  EXPECT_EQ(
    velmarin_mapping_ros_msgs::srv::StartTrajectory::Request().initial_pose.orientation.w, 1.0);
  EXPECT_EQ(velmarin_protocol::msg::LocalizationMapAndPose().pose.pose.pose.orientation.w, 1.0);
}

}  // namespace
