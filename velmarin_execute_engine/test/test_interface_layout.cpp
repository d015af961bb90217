// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// The robot's other nodes read these types by position and primitive type: a misplaced
// or retyped field silently breaks every peer, so the generated layouts are checked here.

#include <gtest/gtest.h>

#include <rosidl_typesupport_interface/macros.h>
#include <rosidl_typesupport_introspection_cpp/field_types.hpp>
#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>

#include <string>
#include <type_traits>
#include <vector>

#include "geometry_msgs/msg/detail/twist__rosidl_typesupport_introspection_cpp.hpp"
#include "geometry_msgs/msg/detail/vector3__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/msg/detail/service_status__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/msg/detail/trajectory_state_list__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/srv/detail/finish_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/srv/detail/get_trajectory_states__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_localization_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_localization_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/msg/detail/service_status__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/msg/detail/trajectory_state_list__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/delete_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/delete_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/finish_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/get_trajectory_states__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/start_trajectory__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/detail/write_state__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_mapping_ros_msgs/srv/finish_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/start_trajectory.hpp"
#include "velmarin_mapping_ros_msgs/srv/write_state.hpp"
#include "velmarin_protocol/action/detail/planner__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/action/detail/security__rosidl_typesupport_introspection_cpp.hpp"
#include "velmarin_protocol/action/planner.hpp"
#include "velmarin_protocol/action/security.hpp"
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
#include "velmarin_protocol/msg/reach_destination_pose.hpp"
#include "velmarin_protocol/srv/bottom_interact_srv.hpp"
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
using Fields = std::vector<std::string>;

std::string PrimitiveName(uint8_t type_id)
{
  switch (type_id) {
    case introspection::ROS_TYPE_FLOAT:
      return "float32";
    case introspection::ROS_TYPE_DOUBLE:
      return "float64";
    case introspection::ROS_TYPE_BOOLEAN:
      return "bool";
    case introspection::ROS_TYPE_UINT8:
      return "uint8";
    case introspection::ROS_TYPE_INT8:
      return "int8";
    case introspection::ROS_TYPE_UINT32:
      return "uint32";
    case introspection::ROS_TYPE_INT32:
      return "int32";
    case introspection::ROS_TYPE_INT64:
      return "int64";
    case introspection::ROS_TYPE_STRING:
      return "string";
    default:
      return "type" + std::to_string(type_id);
  }
}

const introspection::MessageMembers * Members(const rosidl_message_type_support_t * support)
{
  return static_cast<const introspection::MessageMembers *>(support->data);
}

// One "name:type" entry per field in declared order; nested types by their C++ name,
// sequences as "[]" and fixed arrays as "[N]".
Fields Describe(const rosidl_message_type_support_t * support)
{
  Fields fields;
  const auto * members = Members(support);
  for (uint32_t i = 0; i < members->member_count_; ++i) {
    const auto & member = members->members_[i];
    std::string type;
    if (member.type_id_ == introspection::ROS_TYPE_MESSAGE) {
      const auto * nested = Members(member.members_);
      type = std::string(nested->message_namespace_) + "::" + nested->message_name_;
    } else {
      type = PrimitiveName(member.type_id_);
    }
    if (member.is_array_) {
      type += member.array_size_ == 0
                ? "[]"
                : (member.is_upper_bound_ ? "[<=" : "[") + std::to_string(member.array_size_) + "]";
    }
    fields.push_back(std::string(member.name_) + ":" + type);
  }
  return fields;
}

const std::string kProto = "velmarin_protocol::msg::";
const std::string kMapping = "velmarin_mapping_ros_msgs::msg::";
const std::string kLocalization = "velmarin_localization_ros_msgs::msg::";

TEST(InterfaceLayout, CommandServiceAndItsNestedTypes)
{
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, srv, RobotCommon_Request)),
    (Fields{
      "command:" + kProto + "CommandInfo", "initial_pose:" + kProto + "InitialPose",
      "navigation_points:" + kProto + "NavigationPoint[]", "map_path:string", "aux_text_1:string",
      "aux_text_2:string", "nav_control:int32", "map_id:int32", "security_value:float32",
      "devices:" + kProto + "ProcterDevices", "aux_flag:uint8"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, srv, RobotCommon_Response)),
    (Fields{"result:int32", "message:string", "error_code:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, CommandInfo)),
    (Fields{"model_id:int32", "cmd:int32", "text:string"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, InitialPose)),
    (Fields{"x:float64", "y:float64", "angle:float64"}));

  const Fields point = Describe(INTROSPECTION(velmarin_protocol, msg, NavigationPoint));
  ASSERT_GE(point.size(), 4u);
  EXPECT_EQ(
    Fields(point.begin(), point.begin() + 4),
    (Fields{"x:float64", "y:float64", "z:float64", "yaw:float64"}));
  EXPECT_EQ(sizeof(velmarin_protocol::msg::NavigationPoint), 6 * sizeof(double))
    << "four coordinates and 16 bytes of plain numbers";

  const std::string device = kProto + "DeviceCommand";
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, ProcterDevices)),
    (Fields{
      "aux_value:int32", "main_swp:" + device, "side_swp:" + device, "swp_lift:" + device,
      "roll_mop:" + device, "mop_pump:" + device, "mop_lift:" + device, "squeegee_fan:" + device,
      "squeegee_lift:" + device, "aux_pair:" + kProto + "AuxPair",
      "aux_single:" + kProto + "AuxSingle", "aux_device:" + device}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, DeviceCommand)),
    (Fields{"cmd:int32", "duty:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, AuxPair)),
    (Fields{"first:int32", "second:int32"}));
  EXPECT_EQ(Describe(INTROSPECTION(velmarin_protocol, msg, AuxSingle)), (Fields{"value:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, AuxTriple)),
    (Fields{"a:int32", "b:int32", "c:int32"}));
}

TEST(InterfaceLayout, DeviceServiceAndPublishedMessages)
{
  const std::string device = kProto + "DeviceCommand";
  const std::string triple = kProto + "AuxTriple";
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, srv, BottomInteractSrv_Request)),
    (Fields{
      "operation:int32", "devices:" + kProto + "ProcterDevices", "aux_triple_1:" + triple,
      "aux_triple_2:" + triple, "aux_triple_3:" + triple, "aux_triple_4:" + triple,
      "aux_device_1:" + device, "aux_device_2:" + device, "aux_single:" + kProto + "AuxSingle",
      "aux_flag:uint8", "aux_value_1:int32", "aux_value_2:int32", "aux_value_3:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, srv, BottomInteractSrv_Response)),
    (Fields{"error_code:int32", "message:string"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, LocalizationMapAndPose)),
    (Fields{
      "pose:geometry_msgs::msg::PoseWithCovarianceStamped", "map_path:string", "aux_text_1:string",
      "aux_text_2:string"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, msg, ReachDestinationPose)),
    (Fields{"index:int32", "state:bool", "errnum:int32"}));
}

TEST(InterfaceLayout, PlannerAndSecurityActions)
{
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, action, Planner_Goal)),
    (Fields{
      "task_type:int32", "aux_vectors:geometry_msgs::msg::Twist",
      "poses:geometry_msgs::msg::PoseStamped[]", "control:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, action, Planner_Result)),
    (Fields{"index:int32", "state:uint8", "errmsg:string", "errnum:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, action, Planner_Feedback)),
    (Fields{"pose:geometry_msgs::msg::PoseStamped", "aux_value:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, action, Security_Goal)), (Fields{"value:float32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, action, Security_Result)), (Fields{"result:uint8"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_protocol, action, Security_Feedback)),
    (Fields{"feedback:uint8"}));
  // Two nested messages of three 64-bit values each.
  EXPECT_EQ(
    Describe(INTROSPECTION(geometry_msgs, msg, Twist)),
    (Fields{"linear:geometry_msgs::msg::Vector3", "angular:geometry_msgs::msg::Vector3"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(geometry_msgs, msg, Vector3)),
    (Fields{"x:float64", "y:float64", "z:float64"}));
}

TEST(InterfaceLayout, MappingAndLocalizationServices)
{
  for (const std::string & ns : {kMapping, kLocalization}) {
    SCOPED_TRACE(ns);
    const bool mapping = ns == kMapping;
    EXPECT_EQ(
      Describe(
        mapping ? INTROSPECTION(velmarin_mapping_ros_msgs, msg, ServiceStatus)
                : INTROSPECTION(velmarin_localization_ros_msgs, msg, ServiceStatus)),
      (Fields{"code:uint8", "message:string"}));
    EXPECT_EQ(
      Describe(
        mapping ? INTROSPECTION(velmarin_mapping_ros_msgs, msg, TrajectoryStateList)
                : INTROSPECTION(velmarin_localization_ros_msgs, msg, TrajectoryStateList)),
      (Fields{
        "header:std_msgs::msg::Header", "trajectory_id:int32[]", "trajectory_state:uint8[]"}));
    EXPECT_EQ(
      Describe(
        mapping ? INTROSPECTION(velmarin_mapping_ros_msgs, srv, FinishTrajectory_Request)
                : INTROSPECTION(velmarin_localization_ros_msgs, srv, FinishTrajectory_Request)),
      (Fields{"trajectory_id:int32"}));
    EXPECT_EQ(
      Describe(
        mapping ? INTROSPECTION(velmarin_mapping_ros_msgs, srv, FinishTrajectory_Response)
                : INTROSPECTION(velmarin_localization_ros_msgs, srv, FinishTrajectory_Response)),
      (Fields{"status:" + ns + "ServiceStatus"}));
    EXPECT_EQ(
      Describe(
        mapping ? INTROSPECTION(velmarin_mapping_ros_msgs, srv, GetTrajectoryStates_Response)
                : INTROSPECTION(velmarin_localization_ros_msgs, srv, GetTrajectoryStates_Response)),
      (Fields{
        "status:" + ns + "ServiceStatus", "trajectory_states:" + ns + "TrajectoryStateList"}));
  }
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_mapping_ros_msgs, srv, StartTrajectory_Request)),
    (Fields{
      "configuration_directory:string", "configuration_basename:string", "use_initial_pose:bool",
      "initial_pose:geometry_msgs::msg::Pose", "trajectory_link:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_mapping_ros_msgs, srv, StartTrajectory_Response)),
    (Fields{"status:" + kMapping + "ServiceStatus", "trajectory_id:int32"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_mapping_ros_msgs, srv, WriteState_Request)),
    (Fields{"filename:string", "write_flag:bool"}));
  EXPECT_EQ(
    Describe(INTROSPECTION(velmarin_mapping_ros_msgs, srv, DeleteTrajectory_Request)),
    (Fields{"trajectory_id:int32"}));
}

TEST(InterfaceDefaults, FreshMessagesAreZeroWithPublicDefaults)
{
  const velmarin_protocol::srv::RobotCommon::Request request;
  EXPECT_EQ(request.command.model_id, 0);
  EXPECT_EQ(request.command.cmd, 0);
  EXPECT_TRUE(request.command.text.empty());
  EXPECT_TRUE(request.navigation_points.empty());
  EXPECT_TRUE(request.map_path.empty());
  EXPECT_EQ(request.nav_control, 0);
  EXPECT_EQ(request.map_id, 0);
  EXPECT_EQ(request.security_value, 0.0f);
  EXPECT_EQ(request.devices, velmarin_protocol::msg::ProcterDevices());
  EXPECT_EQ(request.devices.main_swp.cmd, 0);
  EXPECT_EQ(request.devices.aux_pair.second, 0);
  EXPECT_EQ(request.aux_flag, 0);

  const velmarin_protocol::srv::RobotCommon::Response response;
  EXPECT_EQ(response.result, 0);
  EXPECT_TRUE(response.message.empty());
  EXPECT_EQ(response.error_code, 0);

  const velmarin_mapping_ros_msgs::srv::StartTrajectory::Request start;
  EXPECT_TRUE(start.configuration_directory.empty());
  EXPECT_FALSE(start.use_initial_pose);
  EXPECT_EQ(start.initial_pose.position.x, 0.0);
  EXPECT_EQ(start.initial_pose.orientation.z, 0.0);
  EXPECT_EQ(start.initial_pose.orientation.w, 1.0);
  EXPECT_EQ(start.trajectory_link, 0);

  const velmarin_protocol::msg::LocalizationMapAndPose pose;
  EXPECT_EQ(pose.pose.pose.pose.orientation.w, 1.0);
  EXPECT_EQ(pose.pose.header.stamp.sec, 0);
  for (double value : pose.pose.pose.covariance) {
    EXPECT_EQ(value, 0.0);
  }

  const velmarin_mapping_ros_msgs::srv::GetTrajectoryStates::Response states;
  EXPECT_EQ(states.status.code, 0);
  EXPECT_TRUE(states.trajectory_states.header.frame_id.empty());
  EXPECT_TRUE(states.trajectory_states.trajectory_id.empty());
  EXPECT_TRUE(states.trajectory_states.trajectory_state.empty());

  const velmarin_protocol::action::Planner::Goal goal;
  EXPECT_EQ(goal.task_type, 0);
  EXPECT_EQ(goal.aux_vectors, geometry_msgs::msg::Twist());
  EXPECT_EQ(goal.aux_vectors.angular.z, 0.0);
  EXPECT_TRUE(goal.poses.empty());
  EXPECT_EQ(goal.control, 0);

  const velmarin_protocol::action::Planner::Result result;
  EXPECT_EQ(result.index, 0);
  EXPECT_EQ(result.state, 0);
  EXPECT_TRUE(result.errmsg.empty());
  EXPECT_EQ(result.errnum, 0);

  const velmarin_protocol::action::Planner::Feedback feedback;
  EXPECT_EQ(feedback.pose.pose.orientation.w, 1.0);
}

TEST(InterfaceTypes, MappingAndLocalizationTypesAreDistinct)
{
  EXPECT_FALSE((std::is_same_v<
                velmarin_mapping_ros_msgs::srv::GetTrajectoryStates,
                velmarin_localization_ros_msgs::srv::GetTrajectoryStates>));
  EXPECT_FALSE((std::is_convertible_v<
                velmarin_mapping_ros_msgs::srv::GetTrajectoryStates::Response,
                velmarin_localization_ros_msgs::srv::GetTrajectoryStates::Response>));
  EXPECT_FALSE((std::is_same_v<
                velmarin_mapping_ros_msgs::msg::TrajectoryStateList,
                velmarin_localization_ros_msgs::msg::TrajectoryStateList>));
  EXPECT_STRNE(
    Members(INTROSPECTION(velmarin_mapping_ros_msgs, srv, GetTrajectoryStates_Response))
      ->message_namespace_,
    Members(INTROSPECTION(velmarin_localization_ros_msgs, srv, GetTrajectoryStates_Response))
      ->message_namespace_);
}

}  // namespace
