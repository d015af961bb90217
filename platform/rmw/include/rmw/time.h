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

/// Span of time in nanoseconds.
typedef uint64_t rmw_duration_t;

#define RMW_DURATION_INFINITE 9223372036854775807LL
#define RMW_DURATION_UNSPECIFIED 0LL

#ifdef __cplusplus
}
#endif

#endif  // RMW__TIME_H_
