// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef COMMON_UTIL__CONSTANTS_HPP_
#define COMMON_UTIL__CONSTANTS_HPP_

#include <string>

// Names shared by several source files. Each including file gets its own copy, built during
// its static initialisation; read them only once main has started.
namespace common_util
{

static const std::string kReachDestPoseTopic = "reachdestpose";
static const std::string kLocalizationMapAndPoseTopic = "localization_map_and_pose";
// Appended to the package's share directory to find the behaviour tree file.
static const std::string kTreeXmlPath = "/xml/tree.xml";
static const std::string kMapStartTrajectoryService = "map_start_trajectory";
static const std::string kBottomOperateService = "bottom_operate";

}  // namespace common_util

#endif  // COMMON_UTIL__CONSTANTS_HPP_
