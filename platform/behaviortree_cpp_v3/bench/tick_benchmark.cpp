#include <benchmark/benchmark.h>

#include <string>

#include "behaviortree_cpp_v3/bt_factory.h"

namespace
{
/// An action that never finishes, like a navigation goal in progress.
class KeepsRunning : public BT::ActionNodeBase
{
public:
  explicit KeepsRunning(const std::string & name) : BT::ActionNodeBase(name, {}) {}
  BT::NodeStatus tick() override { return BT::NodeStatus::RUNNING; }
  void halt() override {}
};

// A ReactiveFallback over six guarded ReactiveSequences, shaped like a deployment tree: only the
// fifth guard passes, and its action stays RUNNING; every tick checks the guards again.
const char * const kTreeText = R"(
<root main_tree_to_execute="Main">
  <BehaviorTree ID="Main">
    <ReactiveFallback>
      <ReactiveSequence><Guard1/><Work name="work1"/></ReactiveSequence>
      <ReactiveSequence><Guard2/><Work name="work2"/></ReactiveSequence>
      <ReactiveSequence><Guard3/><Work name="work3"/></ReactiveSequence>
      <ReactiveSequence><Guard4/><Work name="work4"/></ReactiveSequence>
      <ReactiveSequence><Guard5/><Work name="work5"/></ReactiveSequence>
      <ReactiveSequence><Guard6/><Work name="work6"/></ReactiveSequence>
    </ReactiveFallback>
  </BehaviorTree>
</root>)";

void registerNodes(BT::BehaviorTreeFactory & factory)
{
  for (int i = 1; i <= 6; i++) {
    const BT::NodeStatus result = i == 5 ? BT::NodeStatus::SUCCESS : BT::NodeStatus::FAILURE;
    factory.registerSimpleCondition(
      "Guard" + std::to_string(i), [result](BT::TreeNode &) { return result; });
  }
  factory.registerNodeType<KeepsRunning>("Work");
}

// Steady state: each tick checks the guards and resumes the running branch.
void TickRootWhileRunning(benchmark::State & state)
{
  BT::BehaviorTreeFactory factory;
  registerNodes(factory);
  BT::Tree tree = factory.createTreeFromText(kTreeText);
  tree.tickRoot();
  for (auto _ : state) {
    benchmark::DoNotOptimize(tree.tickRoot());
  }
}
BENCHMARK(TickRootWhileRunning);

// From IDLE: the four failing branches are tried before the fifth starts running; the halt
// that returns the tree to IDLE is part of each iteration.
void TickRootFromIdleAndHalt(benchmark::State & state)
{
  BT::BehaviorTreeFactory factory;
  registerNodes(factory);
  BT::Tree tree = factory.createTreeFromText(kTreeText);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tree.tickRoot());
    tree.haltTree();
  }
}
BENCHMARK(TickRootFromIdleAndHalt);

void CreateTreeFromText(benchmark::State & state)
{
  BT::BehaviorTreeFactory factory;
  registerNodes(factory);
  for (auto _ : state) {
    BT::Tree tree = factory.createTreeFromText(kTreeText);
    benchmark::DoNotOptimize(tree.rootNode());
  }
}
BENCHMARK(CreateTreeFromText);

}  // namespace

BENCHMARK_MAIN();
