#ifndef RCLCPP_FIXTURE_HPP_
#define RCLCPP_FIXTURE_HPP_

#include <gtest/gtest.h>

#include "rclcpp/rclcpp.hpp"

/// Brings the default context up for one test and down again afterwards.
class RclcppTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  }

  void TearDown() override { rclcpp::shutdown(); }
};

#endif  // RCLCPP_FIXTURE_HPP_
