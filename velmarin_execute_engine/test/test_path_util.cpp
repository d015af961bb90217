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

TEST(NormalizeAngleTest, WrapsIntoPlusMinusOneTurnAndGivesNaNForNonFiniteAngles)
{
  for (const double angle : {kTwoPi, -kTwoPi, 0.0, 4.0, -4.0}) {
    EXPECT_EQ(NormalizeAngle(angle), angle);
  }
  EXPECT_EQ(NormalizeAngle(-6.3), -6.3 + kTwoPi);
  EXPECT_EQ(NormalizeAngle(20.0), 20.0 - kTwoPi - kTwoPi - kTwoPi);
  // From about 1e17 on, taking off a turn no longer changes the value; it must still end.
  for (const double angle : {1e7, -1e17, std::numeric_limits<double>::max()}) {
    const double wrapped = NormalizeAngle(angle);
    EXPECT_LE(std::fabs(wrapped), kTwoPi) << angle;
    EXPECT_EQ(std::signbit(wrapped), std::signbit(angle)) << angle;
  }
  const double inf = std::numeric_limits<double>::infinity();
  for (const double angle : {inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(NormalizeAngle(angle))) << angle;
  }
}

TEST(PathTest, TrimsOnlyTheGivenCharacterAndExpandsOnlyALeadingTilde)
{
  std::string text = "\t a \n";
  EXPECT_EQ(common_util::TrimString(text, ' '), "\t a \n");
  text = "//opt//maps//";
  EXPECT_EQ(common_util::TrimString(text, '/'), "opt//maps");

  const char * home = std::getenv("HOME");
  const std::string saved_home = home ? home : "";
  setenv("HOME", "/home/robot", 1);
  for (const auto & [path, expanded] :
       {std::pair<std::string, std::string>{"   ", ""},
        {" ~/maps/  ", "/home/robot/maps/"},
        {"~operator", "/home/robotoperator"},
        {"/data/~/maps", "/data/~/maps"}}) {
    std::string argument = path;
    EXPECT_EQ(common_util::ExpandUserPath(argument), expanded) << '"' << path << '"';
  }
  unsetenv("HOME");
  std::string path = " ~/maps/ ";
  EXPECT_EQ(common_util::ExpandUserPath(path), "~/maps/");
  EXPECT_EQ(path, "~/maps/");  // trimmed in place
  if (home) {
    setenv("HOME", saved_home.c_str(), 1);
  }
}

}  // namespace
