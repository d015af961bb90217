// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef COMMON_UTIL__PATH_UTIL_HPP_
#define COMMON_UTIL__PATH_UTIL_HPP_

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

// Small path and angle helpers. Each including file carries its own copy (internal linkage).
namespace common_util
{

// Wraps `angle` (radians) by whole turns of 2*pi into [-2*pi, 2*pi], keeping its sign; 2*pi
// and -2*pi themselves stay. Not a reduction to (-pi, pi]: 4.0 stays 4.0.
// The same result as taking off one turn at a time, bit for bit while |angle| < 64 + 2*pi:
// 2*pi is a multiple of 2^-47, so below 64 each subtraction is exact, as fmod always is.
// Beyond, this is the exact remainder, which turn-by-turn subtraction misses by its rounding.
// Nothing loops over turns, so the time is bounded for every finite angle. A non-finite angle
// gives NaN, so an orientation built from it is rejected.
[[maybe_unused]] static double NormalizeAngle(double angle)
{
  constexpr double kTwoPi = 6.283185307179586;
  if (std::fabs(angle) <= kTwoPi) {
    return angle;
  }
  if (!std::isfinite(angle)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  const double wrapped = std::fmod(angle, kTwoPi);
  // Turn by turn, a whole number of turns stops a turn short of zero.
  if (wrapped == 0.0) {
    return std::copysign(kTwoPi, angle);
  }
  return wrapped;
}

// Removes every leading and trailing `ch` from `text` in place and returns a copy of the
// result. Only `ch` is removed; occurrences between other characters stay.
[[maybe_unused]] static std::string TrimString(std::string & text, char ch)
{
  if (!text.empty()) {
    text.erase(0, text.find_first_not_of(ch));
    const std::string::size_type last = text.find_last_not_of(ch);
    if (last != std::string::npos) {
      text.erase(last + 1);
    }
  }
  return text;
}

// Trims spaces off both ends of `path` (in place) and returns it with a leading "~" replaced
// by the value of HOME. Only that first character is expanded ("~user" becomes HOME + "user").
// Without HOME the trimmed path comes back unexpanded.
[[maybe_unused]] static std::string ExpandUserPath(std::string & path)
{
  std::string expanded = TrimString(path, ' ');
  if (expanded.empty() || expanded.front() != '~') {
    return expanded;
  }
  const char * home = std::getenv("HOME");
  if (home == nullptr) {
    return expanded;
  }
  return std::string(home) + expanded.substr(1);
}

// The robot's install prefix, trailing "/" included.
[[maybe_unused]] static std::string GetInstallPath() { return "/opt/velmarin/install/"; }

}  // namespace common_util

#endif  // COMMON_UTIL__PATH_UTIL_HPP_
