#ifndef RCLCPP_FIXTURE_HPP_
#define RCLCPP_FIXTURE_HPP_

#include <gtest/gtest.h>

#include "rclcpp/rclcpp.hpp"

/// Brings the default context up for one test and down again afterwards: before the members
/// of a derived fixture are made and after they are gone, as nothing of ROS may outlive it.
class RclcppTest : public ::testing::Test
{
protected:
  RclcppTest()
  {
    rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  }

  ~RclcppTest() override { rclcpp::shutdown(); }
};

#endif  // RCLCPP_FIXTURE_HPP_
