#ifndef RCL_ACTION__ACTION_CLIENT_H_
#define RCL_ACTION__ACTION_CLIENT_H_

#include "rcl/allocator.h"
#include "rmw/types.h"

#ifdef __cplusplus
extern "C" {
#endif

/// How an action client reaches its server: QoS of its three service clients and two
/// subscriptions.
typedef struct rcl_action_client_options_s
{
  rmw_qos_profile_t goal_service_qos;
  rmw_qos_profile_t result_service_qos;
  rmw_qos_profile_t cancel_service_qos;
  rmw_qos_profile_t feedback_topic_qos;
  rmw_qos_profile_t status_topic_qos;
  rcl_allocator_t allocator;
} rcl_action_client_options_t;

/// Services with the services-default QoS, feedback with the default QoS, status with the
/// status-default QoS (depth 1, transient local), and the default allocator.
rcl_action_client_options_t rcl_action_client_get_default_options(void);

#ifdef __cplusplus
}
#endif

#endif  // RCL_ACTION__ACTION_CLIENT_H_
