#ifndef RCLCPP__QOS_HPP_
#define RCLCPP__QOS_HPP_

#include <cstddef>

#include "rmw/qos_profiles.h"
#include "rmw/types.h"

namespace rclcpp
{

/// How the history of a QoS is initialized: keep last (with a depth) or keep all.
struct QoSInitialization
{
  rmw_qos_history_policy_t history_policy;
  size_t depth;

  QoSInitialization(rmw_qos_history_policy_t history_policy_arg, size_t depth_arg);

  static QoSInitialization from_rmw(const rmw_qos_profile_t & rmw_qos);
};

struct KeepAll : public rclcpp::QoSInitialization
{
  KeepAll();
};

struct KeepLast : public rclcpp::QoSInitialization
{
  explicit KeepLast(size_t depth);
};

/// Quality of service of a publisher, subscription, service or client.
/**
 * Only the history depth of a subscription changes delivery (the oldest message is dropped
 * beyond it); the other policies of the profile are carried for callers that read them.
 */
class QoS
{
public:
  explicit QoS(
    const QoSInitialization & qos_initialization,
    const rmw_qos_profile_t & initial_profile = rmw_qos_profile_default);

  /// Keep last `history_depth`, the default profile otherwise.
  QoS(size_t history_depth);  // NOLINT(runtime/explicit)

  rmw_qos_profile_t & get_rmw_qos_profile();
  const rmw_qos_profile_t & get_rmw_qos_profile() const;

private:
  rmw_qos_profile_t rmw_qos_profile_;
};

}  // namespace rclcpp

#endif  // RCLCPP__QOS_HPP_
