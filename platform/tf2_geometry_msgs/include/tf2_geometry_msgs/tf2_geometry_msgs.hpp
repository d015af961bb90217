// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
#define TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_

#include <tf2/LinearMath/Quaternion.h>

#include "geometry_msgs/msg/quaternion.hpp"

namespace tf2
{

// The message form of a tf2 quaternion, component for component.
inline geometry_msgs::msg::Quaternion toMsg(const tf2::Quaternion & in)
{
  geometry_msgs::msg::Quaternion out;
  out.x = in.getX();
  out.y = in.getY();
  out.z = in.getZ();
  out.w = in.getW();
  return out;
}

}  // namespace tf2

#endif  // TF2_GEOMETRY_MSGS__TF2_GEOMETRY_MSGS_HPP_
