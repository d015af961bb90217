// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "common_util/path_util.hpp"

namespace
{

using common_util::NormalizeAngle;

constexpr double kTwoPi = 6.283185307179586;

TEST(NormalizeAngleTest, WrapsTurnByTurnIntoPlusMinusOneTurn)
{
  for (const double angle : {kTwoPi, -kTwoPi, 0.0, kTwoPi / 2, 4.0, -4.0}) {
    EXPECT_EQ(NormalizeAngle(angle), angle);
  }
  EXPECT_EQ(NormalizeAngle(6.3), 6.3 - kTwoPi);
  EXPECT_EQ(NormalizeAngle(-6.3), -6.3 + kTwoPi);
  EXPECT_EQ(NormalizeAngle(20.0), 20.0 - kTwoPi - kTwoPi - kTwoPi);
  // Far out the result keeps the rounding of the many single subtractions.
  for (const double angle : {123456.789, -6.5e6}) {
    double expected = angle;
    while (expected > kTwoPi) expected -= kTwoPi;
    while (expected < -kTwoPi) expected += kTwoPi;
    EXPECT_EQ(NormalizeAngle(angle), expected) << angle;
  }
}

TEST(NormalizeAngleTest, HugeAnglesReturnWithinOneTurnAndNonFiniteOnesGiveNaN)
{
  const double max = std::numeric_limits<double>::max();
  // From about 1e17 on, subtracting a turn no longer changes the value.
  for (const double angle : {1e7, -1e17, 1e300, max, -max}) {
    const double wrapped = NormalizeAngle(angle);
    EXPECT_LE(std::fabs(wrapped), kTwoPi) << angle;
    EXPECT_EQ(std::signbit(wrapped), std::signbit(angle)) << angle;
  }
  const double inf = std::numeric_limits<double>::infinity();
  for (const double angle : {inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(NormalizeAngle(angle))) << angle;
  }
}

TEST(TrimStringTest, RemovesOnlyTheGivenCharacterAtBothEndsInPlace)
{
  const std::pair<std::string, std::string> cases[] = {
    {"", ""}, {"    ", ""}, {"  a  b ", "a  b"}, {"\t a \n", "\t a \n"}};
  for (const auto & [text, trimmed] : cases) {
    std::string argument = text;
    EXPECT_EQ(common_util::TrimString(argument, ' '), trimmed);
    EXPECT_EQ(argument, trimmed);
  }
  std::string slashes = "//opt/maps//";
  EXPECT_EQ(common_util::TrimString(slashes, '/'), "opt/maps");
}

TEST(ExpandUserPathTest, TrimsAndExpandsOnlyALeadingTildeAndNeedsNoHome)
{
  const char * saved_home = std::getenv("HOME");
  const std::string saved = saved_home ? saved_home : "";
  setenv("HOME", "/home/robot", 1);
  const std::pair<std::string, std::string> cases[] = {
    {"   ", ""},
    {"/opt/velmarin/maps/", "/opt/velmarin/maps/"},
    {" ~/maps/  ", "/home/robot/maps/"},
    {"~operator", "/home/robotoperator"},
    {"/data/~/maps", "/data/~/maps"}};
  for (const auto & [path, expanded] : cases) {
    std::string argument = path;
    EXPECT_EQ(common_util::ExpandUserPath(argument), expanded) << '"' << path << '"';
  }
  std::string argument = " ~/maps/ ";
  unsetenv("HOME");
  EXPECT_EQ(common_util::ExpandUserPath(argument), "~/maps/");
  EXPECT_EQ(argument, "~/maps/");
  if (saved_home) {
    setenv("HOME", saved.c_str(), 1);
  }
}

}  // namespace
