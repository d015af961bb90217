#include "behaviortree_cpp_v3/bt_factory.h"

#include "xml_parsing.h"

namespace BT
{
Tree::Tree(Tree && other) noexcept
: nodes(std::move(other.nodes)),
  blackboard_stack(std::move(other.blackboard_stack)),
  wake_up_(std::move(other.wake_up_))
{
}

Tree & Tree::operator=(Tree && other)
{
  if (this != &other) {
    haltTree();
    nodes = std::move(other.nodes);
    blackboard_stack = std::move(other.blackboard_stack);
    wake_up_ = std::move(other.wake_up_);
  }
  return *this;
}

Tree::~Tree() { haltTree(); }

void Tree::haltTree()
{
  TreeNode * root = rootNode();
  if (root == nullptr) {
    return;
  }
  root->halt();
  root->setStatus(NodeStatus::IDLE);
  // A node whose halt() forgets its children would leave them running: halt each one too.
  for (const auto & node : nodes) {
    node->halt();
    node->setStatus(NodeStatus::IDLE);
  }
}

TreeNode * Tree::rootNode() const { return nodes.empty() ? nullptr : nodes.front().get(); }

NodeStatus Tree::tickRoot()
{
  TreeNode * root = rootNode();
  if (root == nullptr) {
    throw RuntimeError("Empty Tree");
  }
  wakeUpSignal();
  const NodeStatus status = root->executeTick();
  if (status == NodeStatus::SUCCESS || status == NodeStatus::FAILURE) {
    root->setStatus(NodeStatus::IDLE);
  }
  return status;
}

void Tree::sleep(std::chrono::system_clock::duration timeout) { wakeUpSignal()->waitFor(timeout); }

const std::shared_ptr<WakeUpSignal> & Tree::wakeUpSignal()
{
  if (!wake_up_) {
    wake_up_ = std::make_shared<WakeUpSignal>();
    for (const auto & node : nodes) {
      node->setWakeUpInstance(wake_up_);
    }
  }
  return wake_up_;
}

BehaviorTreeFactory::BehaviorTreeFactory()
{
  registerNodeType<FallbackNode>("Fallback");
  registerNodeType<SequenceNode>("Sequence");
  registerNodeType<SequenceStarNode>("SequenceStar");
  registerNodeType<ParallelNode>("Parallel");
  registerNodeType<ReactiveSequence>("ReactiveSequence");
  registerNodeType<ReactiveFallback>("ReactiveFallback");
  registerNodeType<IfThenElseNode>("IfThenElse");
  registerNodeType<WhileDoElseNode>("WhileDoElse");
  registerNodeType<SwitchNode<2>>("Switch2");
  registerNodeType<SwitchNode<3>>("Switch3");
  registerNodeType<SwitchNode<4>>("Switch4");
  registerNodeType<SwitchNode<5>>("Switch5");
  registerNodeType<SwitchNode<6>>("Switch6");

  registerNodeType<InverterNode>("Inverter");
  registerNodeType<ForceSuccessNode>("ForceSuccess");
  registerNodeType<ForceFailureNode>("ForceFailure");
  registerNodeType<RepeatNode>("Repeat");
  registerNodeType<RetryNode>("RetryUntilSuccessful");
  registerNodeType<KeepRunningUntilFailureNode>("KeepRunningUntilFailure");
  registerNodeType<TimeoutNode>("Timeout");
  registerNodeType<DelayNode>("Delay");
  registerNodeType<BlackboardPreconditionNode<int>>("BlackboardCheckInt");
  registerNodeType<BlackboardPreconditionNode<double>>("BlackboardCheckDouble");
  registerNodeType<BlackboardPreconditionNode<std::string>>("BlackboardCheckString");
  registerBuilder<SubtreeNode>("SubTree", CreateBuilder<SubtreeNode>());
  registerBuilder<SubtreePlusNode>("SubTreePlus", CreateBuilder<SubtreePlusNode>());

  registerNodeType<AlwaysSuccessNode>("AlwaysSuccess");
  registerNodeType<AlwaysFailureNode>("AlwaysFailure");
  registerNodeType<SetBlackboard>("SetBlackboard");

  for (const auto & builder : builders_) {
    builtin_IDs_.insert(builder.first);
  }
}

void BehaviorTreeFactory::registerBuilder(
  const TreeNodeManifest & manifest, const NodeBuilder & builder)
{
  if (builders_.count(manifest.registration_ID) != 0) {
    throw BehaviorTreeException("ID [", manifest.registration_ID, "] already registered");
  }
  builders_.emplace(manifest.registration_ID, builder);
  manifests_.emplace(manifest.registration_ID, manifest);
}

void BehaviorTreeFactory::registerSimpleAction(
  const std::string & ID, const SimpleActionNode::TickFunctor & tick_functor, PortsList ports)
{
  NodeBuilder builder = [tick_functor](const std::string & name, const NodeConfiguration & config) {
    return std::make_unique<SimpleActionNode>(name, tick_functor, config);
  };
  registerBuilder({NodeType::ACTION, ID, std::move(ports)}, builder);
}

void BehaviorTreeFactory::registerSimpleCondition(
  const std::string & ID, const SimpleConditionNode::TickFunctor & tick_functor, PortsList ports)
{
  NodeBuilder builder = [tick_functor](const std::string & name, const NodeConfiguration & config) {
    return std::make_unique<SimpleConditionNode>(name, tick_functor, config);
  };
  registerBuilder({NodeType::CONDITION, ID, std::move(ports)}, builder);
}

std::unique_ptr<TreeNode> BehaviorTreeFactory::instantiateTreeNode(
  const std::string & name, const std::string & ID, const NodeConfiguration & config) const
{
  const auto builder = builders_.find(ID);
  if (builder == builders_.end()) {
    throw RuntimeError("BehaviorTreeFactory: ID [", ID, "] not registered");
  }
  std::unique_ptr<TreeNode> node = builder->second(name, config);
  if (!node) {
    throw RuntimeError("BehaviorTreeFactory: the builder of [", ID, "] returned no node");
  }
  node->setRegistrationID(ID);
  return node;
}

const std::unordered_map<std::string, NodeBuilder> & BehaviorTreeFactory::builders() const
{
  return builders_;
}

const std::unordered_map<std::string, TreeNodeManifest> & BehaviorTreeFactory::manifests() const
{
  return manifests_;
}

const std::set<std::string> & BehaviorTreeFactory::builtinNodes() const { return builtin_IDs_; }

Tree BehaviorTreeFactory::createTreeFromText(const std::string & text, Blackboard::Ptr blackboard)
{
  XMLParser parser(*this);
  parser.loadFromText(text);
  Tree tree = parser.instantiateTree(blackboard);
  tree.wakeUpSignal();
  return tree;
}

Tree BehaviorTreeFactory::createTreeFromFile(
  const std::string & file_path, Blackboard::Ptr blackboard)
{
  XMLParser parser(*this);
  parser.loadFromFile(file_path);
  Tree tree = parser.instantiateTree(blackboard);
  tree.wakeUpSignal();
  return tree;
}

}  // namespace BT
