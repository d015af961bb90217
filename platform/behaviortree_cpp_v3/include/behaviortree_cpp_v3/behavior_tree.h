#ifndef BEHAVIORTREE_CPP_V3__BEHAVIOR_TREE_H_
#define BEHAVIORTREE_CPP_V3__BEHAVIOR_TREE_H_

#include "behaviortree_cpp_v3/action_node.h"
#include "behaviortree_cpp_v3/actions/always_failure_node.h"
#include "behaviortree_cpp_v3/actions/always_success_node.h"
#include "behaviortree_cpp_v3/condition_node.h"
#include "behaviortree_cpp_v3/control_node.h"
#include "behaviortree_cpp_v3/controls/fallback_node.h"
#include "behaviortree_cpp_v3/controls/reactive_fallback.h"
#include "behaviortree_cpp_v3/controls/reactive_sequence.h"
#include "behaviortree_cpp_v3/controls/sequence_node.h"
#include "behaviortree_cpp_v3/controls/while_do_else_node.h"
#include "behaviortree_cpp_v3/decorator_node.h"
#include "behaviortree_cpp_v3/decorators/blackboard_precondition.h"
#include "behaviortree_cpp_v3/decorators/force_failure_node.h"
#include "behaviortree_cpp_v3/decorators/inverter_node.h"
#include "behaviortree_cpp_v3/decorators/keep_running_until_failure_node.h"
#include "behaviortree_cpp_v3/decorators/repeat_node.h"

#endif  // BEHAVIORTREE_CPP_V3__BEHAVIOR_TREE_H_
