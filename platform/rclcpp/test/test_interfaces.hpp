#ifndef TEST_INTERFACES_HPP_
#define TEST_INTERFACES_HPP_

#include <cstdint>
#include <memory>
#include <string>

#include "rosidl_runtime_cpp/traits.hpp"

// Hand-written stand-ins for generated service types, so the tests need no interface package.
namespace test_interfaces
{

struct AddTwoInts
{
  struct Request
  {
    using SharedPtr = std::shared_ptr<Request>;
    int64_t a = 0;
    int64_t b = 0;
  };
  struct Response
  {
    using SharedPtr = std::shared_ptr<Response>;
    int64_t sum = 0;
  };
};

/// Same layout as AddTwoInts, another type: must not match it.
struct SubtractTwoInts
{
  using Request = AddTwoInts::Request;
  using Response = AddTwoInts::Response;
};

struct Text
{
  std::string data;
};

}  // namespace test_interfaces

namespace rosidl_generator_traits
{

template <>
inline const char * name<test_interfaces::AddTwoInts>()
{
  return "test_interfaces::srv::AddTwoInts";
}

template <>
inline const char * name<test_interfaces::SubtractTwoInts>()
{
  return "test_interfaces::srv::SubtractTwoInts";
}

template <>
inline const char * name<test_interfaces::Text>()
{
  return "test_interfaces::msg::Text";
}

}  // namespace rosidl_generator_traits

#endif  // TEST_INTERFACES_HPP_
