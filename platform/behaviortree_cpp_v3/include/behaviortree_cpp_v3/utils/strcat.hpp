#ifndef BEHAVIORTREE_CPP_V3__UTILS__STRCAT_HPP_
#define BEHAVIORTREE_CPP_V3__UTILS__STRCAT_HPP_

#include <string>
#include <string_view>

namespace BT
{
/// Concatenates pieces that are each convertible to std::string_view.
template <typename... Pieces>
std::string StrCat(const Pieces &... pieces)
{
  const std::string_view views[] = {std::string_view(""), std::string_view(pieces)...};
  std::size_t size = 0;
  for (const auto & view : views) {
    size += view.size();
  }
  std::string out;
  out.reserve(size);
  for (const auto & view : views) {
    out.append(view.data(), view.size());
  }
  return out;
}

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__UTILS__STRCAT_HPP_
