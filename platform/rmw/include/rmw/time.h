#ifndef RMW__TIME_H_
#define RMW__TIME_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/// A span of time as QoS policies carry it: whole seconds plus nanoseconds.
typedef struct rmw_time_s
{
  uint64_t sec;
  uint64_t nsec;
} rmw_time_t;

#ifdef __cplusplus
}
#endif

#endif  // RMW__TIME_H_
