#ifndef XML_PARSING_H_
#define XML_PARSING_H_

#include <map>
#include <string>

#include <tinyxml2.h>

#include "behaviortree_cpp_v3/bt_factory.h"

namespace BT
{
/// Builds the main tree of a document in the 3.x XML format with the node types of a factory.
/// Loading checks every tree of the document; instantiating builds the main one.
class XMLParser
{
public:
  explicit XMLParser(const BehaviorTreeFactory & factory);

  void loadFromText(const std::string & text);
  void loadFromFile(const std::string & file_path);

  Tree instantiateTree(const Blackboard::Ptr & root_blackboard);

private:
  void loadDocument();
  // Line numbers of errors count in the document as tinyxml2 prints it back.
  void verifyPrinted() const;
  void verifyElement(const tinyxml2::XMLElement * element) const;

  void createNodes(
    const tinyxml2::XMLElement * element, Tree & tree, const Blackboard::Ptr & blackboard,
    TreeNode * parent) const;
  TreeNode::Ptr createNode(
    const tinyxml2::XMLElement * element, const Blackboard::Ptr & blackboard,
    TreeNode * parent) const;

  const BehaviorTreeFactory & factory_;
  tinyxml2::XMLDocument document_;
  std::map<std::string, const tinyxml2::XMLElement *> tree_roots_;
};

}  // namespace BT

#endif  // XML_PARSING_H_
