#include "behaviortree_cpp_v3/bt_factory.h"

#include "xml_parsing.h"

namespace BT
{
Tree::~Tree() { haltTree(); }

void Tree::haltTree()
{
  TreeNode * root = rootNode();
  if (root == nullptr) {
    return;
  }
  root->halt();
  root->resetStatus();
  // A node whose halt() forgets its children would leave them running: halt each one too.
  for (const auto & node : nodes) {
    node->halt();
    node->resetStatus();
  }
}

TreeNode * Tree::rootNode() const { return nodes.empty() ? nullptr : nodes.front().get(); }

NodeStatus Tree::tickRoot()
{
  TreeNode * root = rootNode();
  if (root == nullptr) {
    throw RuntimeError("Empty Tree");
  }
  const NodeStatus status = root->executeTick();
  if (StatusCompleted(status)) {
    root->resetStatus();
  }
  return status;
}

BehaviorTreeFactory::BehaviorTreeFactory()
{
  registerNodeType<FallbackNode>("Fallback");
  registerNodeType<SequenceNode>("Sequence");
  registerNodeType<ReactiveSequence>("ReactiveSequence");
  registerNodeType<ReactiveFallback>("ReactiveFallback");
  registerNodeType<WhileDoElseNode>("WhileDoElse");
  registerNodeType<InverterNode>("Inverter");
  registerNodeType<KeepRunningUntilFailureNode>("KeepRunningUntilFailure");
  registerNodeType<RepeatNode>("Repeat");
  registerNodeType<ForceFailureNode>("ForceFailure");
  registerNodeType<AlwaysFailureNode>("AlwaysFailure");
  registerNodeType<AlwaysSuccessNode>("AlwaysSuccess");
  registerNodeType<BlackboardPreconditionNode<int>>("BlackboardCheckInt");
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

void BehaviorTreeFactory::registerSimpleCondition(
  const std::string & ID, const SimpleConditionNode::TickFunctor & tick_functor, PortsList ports)
{
  NodeBuilder builder = [tick_functor](const std::string & name, const NodeConfiguration & config) {
    return std::make_unique<SimpleConditionNode>(name, tick_functor, config);
  };
  registerBuilder({NodeType::CONDITION, ID, std::move(ports), {}}, builder);
}

std::unique_ptr<TreeNode> BehaviorTreeFactory::instantiateTreeNode(
  const std::string & name, const std::string & ID, const NodeConfiguration & config) const
{
  const auto builder = builders_.find(ID);
  if (builder == builders_.end()) {
    throw RuntimeError("BehaviorTreeFactory: ID [", ID, "] not registered");
  }
  std::unique_ptr<TreeNode> node = builder->second(name, config);
  node->setRegistrationID(ID);
  return node;
}

const std::unordered_map<std::string, TreeNodeManifest> & BehaviorTreeFactory::manifests() const
{
  return manifests_;
}

Tree BehaviorTreeFactory::createTreeFromText(const std::string & text, Blackboard::Ptr blackboard)
{
  XMLParser parser(*this);
  parser.loadFromText(text);
  return parser.instantiateTree(blackboard);
}

Tree BehaviorTreeFactory::createTreeFromFile(
  const std::string & file_path, Blackboard::Ptr blackboard)
{
  XMLParser parser(*this);
  parser.loadFromFile(file_path);
  return parser.instantiateTree(blackboard);
}

}  // namespace BT
