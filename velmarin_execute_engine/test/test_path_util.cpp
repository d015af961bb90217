// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "common_util/path_util.hpp"

namespace
{

using common_util::ExpandUserPath;
using common_util::NormalizeAngle;
using common_util::TrimString;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = kTwoPi / 2.0;

// The turn-by-turn wrap, the reference for every angle it handles quickly.
double WrapTurnByTurn(double angle)
{
  while (angle > kTwoPi) {
    angle -= kTwoPi;
  }
  while (angle < -kTwoPi) {
    angle += kTwoPi;
  }
  return angle;
}

TEST(NormalizeAngleTest, AnglesWithinOneTurnComeBackUnchanged)
{
  for (const double angle : {kTwoPi, -kTwoPi, 0.0, kPi, -kPi, 4.0, -4.0}) {
    EXPECT_EQ(NormalizeAngle(angle), angle) << angle;
  }
}

TEST(NormalizeAngleTest, WrapsByWholeTurnsExactlyLikeTheLoop)
{
  EXPECT_EQ(NormalizeAngle(6.3), 6.3 - kTwoPi);
  EXPECT_EQ(NormalizeAngle(-6.3), -6.3 + kTwoPi);
  EXPECT_EQ(NormalizeAngle(3 * kPi), 3 * kPi - kTwoPi);
  EXPECT_EQ(NormalizeAngle(20.0), 20.0 - kTwoPi - kTwoPi - kTwoPi);
  // Far out, the many subtractions leave a rounding that a direct remainder would not.
  for (const double angle : {1e3, -1e3, 123456.789, -123456.789, 6.5e6, -6.5e6}) {
    EXPECT_EQ(NormalizeAngle(angle), WrapTurnByTurn(angle)) << angle;
  }
}

TEST(NormalizeAngleTest, HugeAnglesEndQuicklyWithinOneTurnEitherWay)
{
  const double max = std::numeric_limits<double>::max();
  // 1e17 and beyond: subtracting a turn no longer changes the value, the loop would never end.
  for (const double angle : {1e7, -1e7, 1e17, -1e17, 1e300, -1e300, max, -max}) {
    const double wrapped = NormalizeAngle(angle);
    EXPECT_GE(wrapped, -kTwoPi) << angle;
    EXPECT_LE(wrapped, kTwoPi) << angle;
    EXPECT_EQ(std::signbit(wrapped), std::signbit(angle)) << angle;
  }
}

TEST(NormalizeAngleTest, NonFiniteAnglesGiveNaN)
{
  EXPECT_TRUE(std::isnan(NormalizeAngle(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_TRUE(std::isnan(NormalizeAngle(std::numeric_limits<double>::infinity())));
  EXPECT_TRUE(std::isnan(NormalizeAngle(-std::numeric_limits<double>::infinity())));
}

TEST(TrimStringTest, RemovesOnlyTheGivenCharacterAtBothEnds)
{
  struct Case
  {
    std::string text;
    char ch;
    std::string trimmed;
  };
  const Case cases[] = {
    {"", ' ', ""},         {"    ", ' ', ""},           {"  a b  ", ' ', "a b"},
    {"a  b", ' ', "a  b"}, {"\t a \n", ' ', "\t a \n"}, {"//opt/maps//", '/', "opt/maps"},
    {"x", 'x', ""},
  };
  for (const Case & test_case : cases) {
    std::string text = test_case.text;
    EXPECT_EQ(TrimString(text, test_case.ch), test_case.trimmed) << '"' << test_case.text << '"';
    EXPECT_EQ(text, test_case.trimmed) << "argument not trimmed in place";
  }
}

class ExpandUserPathTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (const char * home = std::getenv("HOME")) {
      saved_home_ = home;
    }
  }

  void TearDown() override
  {
    if (saved_home_) {
      setenv("HOME", saved_home_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }

  std::optional<std::string> saved_home_;
};

TEST_F(ExpandUserPathTest, TrimsSpacesAndExpandsOnlyALeadingTilde)
{
  setenv("HOME", "/home/robot", 1);
  struct Case
  {
    std::string path;
    std::string expanded;
    std::string left_in_argument;
  };
  const Case cases[] = {
    {"   ", "", ""},
    {"/opt/velmarin/maps/", "/opt/velmarin/maps/", "/opt/velmarin/maps/"},
    {"  ~/maps/ ", "/home/robot/maps/", "~/maps/"},
    {"~operator/maps", "/home/robotoperator/maps", "~operator/maps"},
    {"/data/~/maps", "/data/~/maps", "/data/~/maps"},
    {"~", "/home/robot", "~"},
  };
  for (const Case & test_case : cases) {
    std::string path = test_case.path;
    EXPECT_EQ(ExpandUserPath(path), test_case.expanded) << '"' << test_case.path << '"';
    EXPECT_EQ(path, test_case.left_in_argument);
  }
}

TEST_F(ExpandUserPathTest, WithoutHomeReturnsTheTrimmedPathUnexpanded)
{
  unsetenv("HOME");
  std::string path = " ~/maps/ ";
  EXPECT_EQ(ExpandUserPath(path), "~/maps/");
  EXPECT_EQ(path, "~/maps/");
}

}  // namespace
