#include "rclcpp/future_return_code.hpp"

namespace rclcpp
{

std::ostream & operator<<(std::ostream & os, const FutureReturnCode & future_return_code)
{
  return os << to_string(future_return_code);
}

std::string to_string(const FutureReturnCode & future_return_code)
{
  const auto value = static_cast<int>(future_return_code);
  switch (future_return_code) {
    case FutureReturnCode::SUCCESS:
      return "SUCCESS (" + std::to_string(value) + ")";
    case FutureReturnCode::INTERRUPTED:
      return "INTERRUPTED (" + std::to_string(value) + ")";
    case FutureReturnCode::TIMEOUT:
      return "TIMEOUT (" + std::to_string(value) + ")";
  }
  return "UNKNOWN (" + std::to_string(value) + ")";
}

}  // namespace rclcpp
