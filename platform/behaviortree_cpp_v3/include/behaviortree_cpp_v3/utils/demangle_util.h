#ifndef BEHAVIORTREE_CPP_V3__UTILS__DEMANGLE_UTIL_H_
#define BEHAVIORTREE_CPP_V3__UTILS__DEMANGLE_UTIL_H_

#include <string>
#include <typeinfo>

namespace BT
{
/// Readable name of a type, for error messages; "undefined" for a null pointer.
std::string demangle(const std::type_info * info);
std::string demangle(const std::type_info & info);

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__UTILS__DEMANGLE_UTIL_H_
