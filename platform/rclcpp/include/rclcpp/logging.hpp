#ifndef RCLCPP__LOGGING_HPP_
#define RCLCPP__LOGGING_HPP_

#include <type_traits>

#include "rclcpp/logger.hpp"
#include "rcutils/logging_macros.h"

// The format is a string literal; the remaining arguments fill it printf-style.
#define RCLCPP_LOG_WITH_SEVERITY_(rcutils_macro, logger, ...)                                      \
  do {                                                                                             \
    static_assert(                                                                                 \
      ::std::is_same<                                                                              \
        ::std::remove_cv_t<::std::remove_reference_t<decltype(logger)>>, ::rclcpp::Logger>::value, \
      "First argument to logging macros must be an rclcpp::Logger");                               \
    rcutils_macro((logger).get_name(), __VA_ARGS__);                                               \
  } while (0)

#define RCLCPP_DEBUG(logger, ...) \
  RCLCPP_LOG_WITH_SEVERITY_(RCUTILS_LOG_DEBUG_NAMED, logger, __VA_ARGS__)
#define RCLCPP_INFO(logger, ...) \
  RCLCPP_LOG_WITH_SEVERITY_(RCUTILS_LOG_INFO_NAMED, logger, __VA_ARGS__)
#define RCLCPP_WARN(logger, ...) \
  RCLCPP_LOG_WITH_SEVERITY_(RCUTILS_LOG_WARN_NAMED, logger, __VA_ARGS__)
#define RCLCPP_ERROR(logger, ...) \
  RCLCPP_LOG_WITH_SEVERITY_(RCUTILS_LOG_ERROR_NAMED, logger, __VA_ARGS__)
#define RCLCPP_FATAL(logger, ...) \
  RCLCPP_LOG_WITH_SEVERITY_(RCUTILS_LOG_FATAL_NAMED, logger, __VA_ARGS__)

#endif  // RCLCPP__LOGGING_HPP_
