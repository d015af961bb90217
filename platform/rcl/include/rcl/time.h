#ifndef RCL__TIME_H_
#define RCL__TIME_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RCL_S_TO_NS(seconds) ((seconds) * (1000LL * 1000LL * 1000LL))

/// Which clock a time point was read from.
typedef enum rcl_clock_type_e
{
  RCL_CLOCK_UNINITIALIZED = 0,
  RCL_ROS_TIME,
  RCL_SYSTEM_TIME,
  RCL_STEADY_TIME
} rcl_clock_type_t;

/// Nanoseconds since the epoch of a clock.
typedef int64_t rcl_time_point_value_t;
/// Signed span of time in nanoseconds.
typedef int64_t rcl_duration_value_t;

typedef struct rcl_duration_s
{
  rcl_duration_value_t nanoseconds;
} rcl_duration_t;

#ifdef __cplusplus
}
#endif

#endif  // RCL__TIME_H_
