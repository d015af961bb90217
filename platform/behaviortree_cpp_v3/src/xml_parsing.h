#ifndef XML_PARSING_H_
#define XML_PARSING_H_

#include <map>
#include <set>
#include <string>
#include <vector>

#include <tinyxml2.h>

#include "behaviortree_cpp_v3/bt_factory.h"

namespace BT
{
/// Builds the main tree of a document in the 3.x XML format with the node types of a factory.
/// Loading checks the whole document; instantiating builds the main tree and the subtrees it
/// includes.
class XMLParser
{
public:
  explicit XMLParser(const BehaviorTreeFactory & factory);

  void loadFromText(const std::string & text);
  void loadFromFile(const std::string & file_path);

  Tree instantiateTree(const Blackboard::Ptr & root_blackboard);

private:
  void loadDocument();
  void verifyElement(const tinyxml2::XMLElement * element) const;

  void createSubtree(
    const std::string & tree_id, Tree & tree, const Blackboard::Ptr & blackboard,
    TreeNode * parent);
  void createNodes(
    const tinyxml2::XMLElement * element, Tree & tree, const Blackboard::Ptr & blackboard,
    TreeNode * parent);
  TreeNode::Ptr createNode(
    const tinyxml2::XMLElement * element, const Blackboard::Ptr & blackboard,
    TreeNode * parent) const;
  NodeConfiguration configureNode(
    const tinyxml2::XMLElement * element, const TreeNodeManifest & manifest,
    const std::string & instance_name, const Blackboard::Ptr & blackboard) const;
  Blackboard::Ptr subtreeBlackboard(
    const tinyxml2::XMLElement * element, Tree & tree, const Blackboard::Ptr & parent) const;
  Blackboard::Ptr subtreePlusBlackboard(
    const tinyxml2::XMLElement * element, Tree & tree, const Blackboard::Ptr & parent) const;

  const BehaviorTreeFactory & factory_;
  tinyxml2::XMLDocument document_;
  std::map<std::string, const tinyxml2::XMLElement *> tree_roots_;
  std::string main_tree_id_;
  // Trees being instantiated, outermost first, to refuse a tree that includes itself.
  std::vector<std::string> subtree_path_;
};

}  // namespace BT

#endif  // XML_PARSING_H_
