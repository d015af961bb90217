#ifndef RCL_ACTION__ACTION_SERVER_H_
#define RCL_ACTION__ACTION_SERVER_H_

#include "rcl/allocator.h"
#include "rcl/time.h"
#include "rmw/types.h"

#ifdef __cplusplus
extern "C" {
#endif

/// QoS of an action server's three services and two publishers, and how long the result of a
/// finished goal stays available to late result requests.
typedef struct rcl_action_server_options_s
{
  rmw_qos_profile_t goal_service_qos;
  rmw_qos_profile_t cancel_service_qos;
  rmw_qos_profile_t result_service_qos;
  rmw_qos_profile_t feedback_topic_qos;
  rmw_qos_profile_t status_topic_qos;
  rcl_allocator_t allocator;
  rcl_duration_t result_timeout;
} rcl_action_server_options_t;

/// The client defaults for the QoS, the default allocator and a result timeout of 15 minutes.
rcl_action_server_options_t rcl_action_server_get_default_options(void);

#ifdef __cplusplus
}
#endif

#endif  // RCL_ACTION__ACTION_SERVER_H_
