#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <stdexcept>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

using namespace std::chrono_literals;

TEST(Duration, ConvertsBetweenForms)
{
  EXPECT_EQ(1500000000, rclcpp::Duration::from_seconds(1.5).nanoseconds());
  EXPECT_EQ(5.0, rclcpp::Duration::from_seconds(5000 / 1000.0).seconds());
  EXPECT_EQ(-1, rclcpp::Duration::from_seconds(-1.9e-9).nanoseconds()) << "truncates toward zero";
  EXPECT_EQ(2500ms, rclcpp::Duration(2, 500000000).to_chrono<std::chrono::milliseconds>());
  EXPECT_EQ(rclcpp::Duration(1s), rclcpp::Duration::from_nanoseconds(1000000000));

  // The message form keeps nanoseconds in [0, 1e9) and rounds seconds down.
  builtin_interfaces::msg::Duration negative = rclcpp::Duration::from_nanoseconds(-1500000000);
  EXPECT_EQ(-2, negative.sec);
  EXPECT_EQ(500000000u, negative.nanosec);
  EXPECT_EQ(-1500000000, rclcpp::Duration(negative).nanoseconds());

  EXPECT_THROW(rclcpp::Duration::from_nanoseconds(-1).to_rmw_time(), std::runtime_error);
  const rmw_time_t rmw = rclcpp::Duration(3, 7).to_rmw_time();
  EXPECT_EQ(3u, rmw.sec);
  EXPECT_EQ(7u, rmw.nsec);
}

TEST(Duration, ArithmeticComparesAndGuardsItsRange)
{
  const auto one = rclcpp::Duration::from_seconds(1.0);
  const auto two = rclcpp::Duration::from_seconds(2.0);
  EXPECT_EQ(two, one + one);
  EXPECT_EQ(one, two - one);
  EXPECT_EQ(rclcpp::Duration::from_seconds(3.0), one * 3.0);
  EXPECT_LT(one, two);
  EXPECT_GE(two, two);
  EXPECT_NE(one, two);

  const auto huge = rclcpp::Duration::from_nanoseconds(std::numeric_limits<int64_t>::max());
  EXPECT_THROW(huge + one, std::overflow_error);
  EXPECT_THROW(rclcpp::Duration::from_nanoseconds(-1) - huge - two, std::underflow_error);
  EXPECT_THROW(huge * 2.0, std::overflow_error);
  EXPECT_THROW(one * std::numeric_limits<double>::infinity(), std::runtime_error);
}

TEST(Time, ConvertsAndRejectsNegativeSeconds)
{
  const rclcpp::Time stamp(12, 345, RCL_ROS_TIME);
  EXPECT_EQ(12000000345, stamp.nanoseconds());
  EXPECT_EQ(RCL_ROS_TIME, stamp.get_clock_type());
  builtin_interfaces::msg::Time msg = stamp;
  EXPECT_EQ(12, msg.sec);
  EXPECT_EQ(345u, msg.nanosec);
  EXPECT_EQ(stamp, rclcpp::Time(msg));
  EXPECT_EQ(RCL_SYSTEM_TIME, rclcpp::Time(5).get_clock_type());

  EXPECT_THROW(rclcpp::Time(-1, 0), std::runtime_error);
  builtin_interfaces::msg::Time negative;
  negative.sec = -1;
  EXPECT_THROW(rclcpp::Time{negative}, std::runtime_error);
}

TEST(Time, ArithmeticNeedsOneClockType)
{
  const rclcpp::Time ros_time(10, 0, RCL_ROS_TIME);
  const rclcpp::Time system_time(10, 0, RCL_SYSTEM_TIME);
  const auto half = rclcpp::Duration::from_seconds(0.5);

  EXPECT_EQ(rclcpp::Time(10, 500000000, RCL_ROS_TIME), ros_time + half);
  EXPECT_EQ(rclcpp::Time(10, 500000000, RCL_ROS_TIME), half + ros_time);
  EXPECT_EQ(half, (ros_time + half) - ros_time);
  EXPECT_EQ(RCL_ROS_TIME, (ros_time - half).get_clock_type());
  EXPECT_GT(ros_time + half, ros_time);

  EXPECT_THROW(ros_time - system_time, std::runtime_error);
  EXPECT_THROW((void)(ros_time < system_time), std::runtime_error);
  EXPECT_THROW((void)(ros_time == system_time), std::runtime_error);
  EXPECT_THROW(rclcpp::Time(std::numeric_limits<int64_t>::max()) + half, std::overflow_error);
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
