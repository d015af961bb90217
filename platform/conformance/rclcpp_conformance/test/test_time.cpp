#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

using namespace std::chrono_literals;

TEST(TimeAndDuration, SubtractingTimesOfOneClockTypeGivesADuration)
{
  EXPECT_EQ(1500000000, rclcpp::Duration::from_seconds(1.5).nanoseconds());
  EXPECT_EQ(5.0, rclcpp::Duration::from_seconds(5000 / 1000.0).seconds());
  EXPECT_EQ(-1, rclcpp::Duration::from_seconds(-1.9e-9).nanoseconds()) << "truncates toward zero";
  EXPECT_EQ(rclcpp::Duration(1s), rclcpp::Duration::from_nanoseconds(1000000000));
  EXPECT_LT(rclcpp::Duration(1s), rclcpp::Duration(2s));

  const rclcpp::Time stamp(12, 345, RCL_ROS_TIME);
  EXPECT_EQ(12000000345, stamp.nanoseconds());
  EXPECT_EQ(RCL_ROS_TIME, stamp.get_clock_type());
  EXPECT_EQ(RCL_SYSTEM_TIME, rclcpp::Time(5).get_clock_type());
  const builtin_interfaces::msg::Time msg = stamp;
  EXPECT_EQ(12, msg.sec);
  EXPECT_EQ(345u, msg.nanosec);
  EXPECT_THROW(rclcpp::Time(-1, 0), std::runtime_error);

  const rclcpp::Time later(13, 345, RCL_ROS_TIME);
  EXPECT_EQ(rclcpp::Duration::from_seconds(1.0), later - stamp);
  EXPECT_GT(later, stamp);
  const rclcpp::Time system_time(12, 345, RCL_SYSTEM_TIME);
  EXPECT_THROW(later - system_time, std::runtime_error);
  EXPECT_THROW((void)(later < system_time), std::runtime_error);
  EXPECT_THROW((void)(later == system_time), std::runtime_error);
}

TEST(Clock, ReadsItsOwnClockType)
{
  rclcpp::Clock steady(RCL_STEADY_TIME);
  const auto first = steady.now();
  const auto second = steady.now();
  EXPECT_EQ(RCL_STEADY_TIME, first.get_clock_type());
  EXPECT_LE(first, second);

  const auto wall = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  const auto system_now = std::chrono::system_clock::now().time_since_epoch();
  EXPECT_LT(std::abs(wall.seconds() - std::chrono::duration<double>(system_now).count()), 5.0);
}

class NodeClock : public RclcppTest
{
};

TEST_F(NodeClock, NodeTimeIsRosTimeReadFromTheWallClock)
{
  auto node = std::make_shared<rclcpp::Node>("clocked");
  const auto now = node->now();
  EXPECT_EQ(RCL_ROS_TIME, now.get_clock_type());
  EXPECT_EQ(RCL_ROS_TIME, node->get_clock()->get_clock_type());
  const auto elapsed = node->now() - now;
  EXPECT_GE(elapsed.nanoseconds(), 0);
  const double wall = rclcpp::Clock(RCL_SYSTEM_TIME).now().seconds();
  EXPECT_LT(std::abs(now.seconds() - wall), 5.0);
}
