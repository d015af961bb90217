#include "rclcpp/qos.hpp"

namespace rclcpp
{

QoSInitialization::QoSInitialization(rmw_qos_history_policy_t history_policy_arg, size_t depth_arg)
: history_policy(history_policy_arg), depth(depth_arg)
{
}

QoSInitialization QoSInitialization::from_rmw(const rmw_qos_profile_t & rmw_qos)
{
  if (rmw_qos.history == RMW_QOS_POLICY_HISTORY_KEEP_ALL) {
    return KeepAll();
  }
  return KeepLast(rmw_qos.depth);
}

KeepAll::KeepAll() : QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_ALL, 0) {}

KeepLast::KeepLast(size_t depth) : QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_LAST, depth) {}

QoS::QoS(const QoSInitialization & qos_initialization, const rmw_qos_profile_t & initial_profile)
: rmw_qos_profile_(initial_profile)
{
  rmw_qos_profile_.history = qos_initialization.history_policy;
  rmw_qos_profile_.depth = qos_initialization.depth;
}

QoS::QoS(size_t history_depth) : QoS(KeepLast(history_depth)) {}

rmw_qos_profile_t & QoS::get_rmw_qos_profile() { return rmw_qos_profile_; }

const rmw_qos_profile_t & QoS::get_rmw_qos_profile() const { return rmw_qos_profile_; }

}  // namespace rclcpp
