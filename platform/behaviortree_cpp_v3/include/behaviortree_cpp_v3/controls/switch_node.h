#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__SWITCH_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__SWITCH_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// NUM_CASES + 1 children. At every tick the text of port "variable" is compared with the ports
/// "case_1" to "case_<NUM_CASES>"; the child of the first equal case is ticked, the last child when
/// none is equal or "variable" has no value. A child left RUNNING by an earlier tick is halted
/// when another child is selected. When the ticked child finishes, every child is halted.
/// A wrong number of children raises LogicError at the tick.
template <size_t NUM_CASES>
class SwitchNode : public ControlNode
{
public:
  SwitchNode(const std::string & name, const NodeConfiguration & config)
  : ControlNode(name, config), running_child_(-1)
  {
    setRegistrationID("Switch");
  }

  static PortsList providedPorts()
  {
    PortsList ports;
    ports.insert(InputPort<std::string>("variable"));
    for (size_t i = 1; i <= NUM_CASES; i++) {
      ports.insert(InputPort<std::string>(casePortName(i)));
    }
    return ports;
  }

  /// Forgets the running child and halts the children.
  void halt() override
  {
    running_child_ = -1;
    ControlNode::halt();
  }

private:
  static std::string casePortName(size_t index) { return "case_" + std::to_string(index); }

  NodeStatus tick() override
  {
    if (childrenCount() != NUM_CASES + 1) {
      throw LogicError("Wrong number of children in SwitchNode; must be (num_cases + default)");
    }
    int selected = static_cast<int>(NUM_CASES);
    std::string variable;
    if (getInput("variable", variable)) {
      std::string value;
      for (size_t i = 0; i < NUM_CASES; i++) {
        if (getInput(casePortName(i + 1), value) && value == variable) {
          selected = static_cast<int>(i);
          break;
        }
      }
    }
    if (running_child_ != -1 && running_child_ != selected) {
      haltChild(static_cast<size_t>(running_child_));
    }
    const NodeStatus result = children_nodes_[static_cast<size_t>(selected)]->executeTick();
    if (result == NodeStatus::RUNNING) {
      running_child_ = selected;
    } else {
      haltChildren();
      running_child_ = -1;
    }
    return result;
  }

  int running_child_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__SWITCH_NODE_H_
