#include "rclcpp/node_interfaces/node_base.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace node_interfaces
{

namespace
{

struct NameError
{
  const char * message;
  size_t index;
};

bool is_name_character(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::optional<NameError> check_node_name(const std::string & name)
{
  if (name.empty()) {
    return NameError{"node name must not be empty", 0};
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!is_name_character(name[i])) {
      return NameError{"node name must not contain characters other than alphanumerics or '_'", i};
    }
  }
  if (std::isdigit(static_cast<unsigned char>(name[0]))) {
    return NameError{"node name must not start with a number", 0};
  }
  return std::nullopt;
}

/// Checks an absolute name made of tokens separated by single '/' ("/" alone is allowed).
std::optional<NameError> check_absolute_name(const std::string & name)
{
  if (name.empty()) {
    return NameError{"must not be empty", 0};
  }
  if (name == "/") {
    return std::nullopt;
  }
  if (name.back() == '/') {
    return NameError{"must not end with a forward slash", name.size() - 1};
  }
  for (size_t i = 1; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '/') {
      if (name[i - 1] == '/') {
        return NameError{"must not contain repeated forward slashes", i};
      }
      continue;
    }
    if (!is_name_character(c)) {
      return NameError{"must not contain characters other than alphanumerics, '_' or '/'", i};
    }
    if (name[i - 1] == '/' && std::isdigit(static_cast<unsigned char>(c))) {
      return NameError{"must not have a token that starts with a number", i};
    }
  }
  return std::nullopt;
}

std::string normalized_namespace(const std::string & namespace_)
{
  if (namespace_.empty()) {
    return "/";
  }
  return namespace_.front() == '/' ? namespace_ : "/" + namespace_;
}

}  // namespace

NodeBase::NodeBase(
  const std::string & node_name, const std::string & node_namespace,
  rclcpp::Context::SharedPtr context)
: name_(node_name),
  namespace_(normalized_namespace(node_namespace)),
  context_(std::move(context)),
  notify_guard_condition_(context_)
{
  if (auto error = check_node_name(name_)) {
    throw rclcpp::exceptions::InvalidNodeNameError(name_.c_str(), error->message, error->index);
  }
  if (auto error = check_absolute_name(namespace_)) {
    throw rclcpp::exceptions::InvalidNamespaceError(
      namespace_.c_str(), (std::string("namespace ") + error->message).c_str(), error->index);
  }
  if (!context_->is_valid()) {
    throw rclcpp::exceptions::RCLError(
      "failed to initialize rcl node: the given context is not valid, either rcl_init() "
      "was not called or rcl_shutdown() was called.");
  }
  fully_qualified_name_ = namespace_ == "/" ? "/" + name_ : namespace_ + "/" + name_;
  default_callback_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  context_->node_created();
}

NodeBase::~NodeBase() { context_->node_destroyed(); }

const char * NodeBase::get_name() const { return name_.c_str(); }

const char * NodeBase::get_namespace() const { return namespace_.c_str(); }

const char * NodeBase::get_fully_qualified_name() const { return fully_qualified_name_.c_str(); }

rclcpp::Context::SharedPtr NodeBase::get_context() { return context_; }

rclcpp::CallbackGroup::SharedPtr NodeBase::create_callback_group(
  rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
{
  auto group =
    std::make_shared<rclcpp::CallbackGroup>(group_type, automatically_add_to_executor_with_node);
  {
    std::lock_guard<std::mutex> lock(callback_groups_mutex_);
    callback_groups_.erase(
      std::remove_if(
        callback_groups_.begin(), callback_groups_.end(),
        [](const rclcpp::CallbackGroup::WeakPtr & weak) { return weak.expired(); }),
      callback_groups_.end());
    callback_groups_.push_back(group);
  }
  notify_guard_condition_.trigger();
  return group;
}

rclcpp::CallbackGroup::SharedPtr NodeBase::get_default_callback_group()
{
  return default_callback_group_;
}

bool NodeBase::callback_group_in_node(rclcpp::CallbackGroup::SharedPtr group)
{
  std::lock_guard<std::mutex> lock(callback_groups_mutex_);
  return std::any_of(
    callback_groups_.begin(), callback_groups_.end(),
    [&group](const rclcpp::CallbackGroup::WeakPtr & weak) { return weak.lock() == group; });
}

void NodeBase::for_each_callback_group(const CallbackGroupFunction & func)
{
  std::vector<rclcpp::CallbackGroup::SharedPtr> groups;
  {
    std::lock_guard<std::mutex> lock(callback_groups_mutex_);
    for (const auto & weak : callback_groups_) {
      if (auto group = weak.lock()) {
        groups.push_back(std::move(group));
      }
    }
  }
  for (const auto & group : groups) {
    func(group);
  }
}

std::atomic_bool & NodeBase::get_associated_with_executor_atomic()
{
  return associated_with_executor_;
}

rclcpp::GuardCondition & NodeBase::get_notify_guard_condition() { return notify_guard_condition_; }

std::string NodeBase::resolve_topic_or_service_name(
  const std::string & name, bool is_service, bool only_expand) const
{
  std::string expanded;
  if (name == "~") {
    expanded = fully_qualified_name_;
  } else if (name.rfind("~/", 0) == 0) {
    expanded = fully_qualified_name_ + name.substr(1);
  } else if (!name.empty() && name.front() == '/') {
    expanded = name;
  } else if (!name.empty()) {
    expanded = (namespace_ == "/" ? "/" : namespace_ + "/") + name;
  }
  if (only_expand) {
    return expanded;
  }
  auto error = name.empty() ? std::optional<NameError>(NameError{"must not be empty", 0})
                            : check_absolute_name(expanded);
  if (error) {
    const std::string kind = is_service ? "service name " : "topic name ";
    const std::string message = kind + error->message;
    if (is_service) {
      throw rclcpp::exceptions::InvalidServiceNameError(
        expanded.c_str(), message.c_str(), error->index);
    }
    throw rclcpp::exceptions::InvalidTopicNameError(
      expanded.c_str(), message.c_str(), error->index);
  }
  return expanded;
}

}  // namespace node_interfaces
}  // namespace rclcpp
