// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>

#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

TEST(Tf2GeometryMsgs, QuaternionTravelsBothWaysComponentForComponent)
{
  tf2::Quaternion yaw_turn;
  yaw_turn.setRPY(0.0, 0.0, M_PI / 2.0);
  const geometry_msgs::msg::Quaternion msg = tf2::toMsg(yaw_turn);
  EXPECT_DOUBLE_EQ(msg.x, 0.0);
  EXPECT_DOUBLE_EQ(msg.y, 0.0);
  EXPECT_DOUBLE_EQ(msg.z, std::sin(M_PI / 4.0));
  EXPECT_DOUBLE_EQ(msg.w, std::cos(M_PI / 4.0));

  geometry_msgs::msg::Quaternion skewed;
  skewed.x = 0.1;
  skewed.y = -0.2;
  skewed.z = 0.3;
  skewed.w = 0.9;
  tf2::Quaternion back;
  tf2::fromMsg(skewed, back);
  EXPECT_EQ(tf2::toMsg(back), skewed);
}
