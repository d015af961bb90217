#ifndef RCL__ALLOCATOR_H_
#define RCL__ALLOCATOR_H_

#include "rcutils/allocator.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef rcutils_allocator_t rcl_allocator_t;

#define rcl_get_default_allocator rcutils_get_default_allocator

#ifdef __cplusplus
}
#endif

#endif  // RCL__ALLOCATOR_H_
