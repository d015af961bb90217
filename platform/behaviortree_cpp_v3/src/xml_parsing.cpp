#include "xml_parsing.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace BT
{
namespace
{
using tinyxml2::XMLAttribute;
using tinyxml2::XMLElement;

template <typename... Pieces>
[[noreturn]] void throwAtLine(const XMLElement * element, const Pieces &... pieces)
{
  throw RuntimeError(
    "Error at line ", std::to_string(element->GetLineNum()), ": -> ", StrCat(pieces...));
}

size_t childrenCount(const XMLElement * element)
{
  size_t count = 0;
  for (auto child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    count++;
  }
  return count;
}

bool isExplicitLeafOrBranch(StringView name)
{
  return name == "Action" || name == "Condition" || name == "Control" || name == "Decorator";
}

bool isSubtree(StringView name) { return name == "SubTree" || name == "SubTreePlus"; }

// Attributes that do not start with a letter (__shared_blackboard, _description, ...) belong
// to the format, not to the node's ports.
bool isPortAttribute(StringView name)
{
  return !name.empty() && std::isalpha(static_cast<unsigned char>(name.front())) != 0 &&
         name != "ID" && name != "name";
}

void checkChildrenCount(const XMLElement * element, StringView name, NodeType type)
{
  const size_t count = childrenCount(element);
  switch (type) {
    case NodeType::ACTION:
    case NodeType::CONDITION:
      if (count != 0) {
        throwAtLine(element, "The node <", name, "> must not have any child");
      }
      break;
    case NodeType::CONTROL:
      if (count == 0) {
        throwAtLine(element, "The node <", name, "> must have 1 or more children");
      }
      break;
    case NodeType::DECORATOR:
      if (count != 1) {
        throwAtLine(element, "The node <", name, "> must have exactly 1 child");
      }
      break;
    case NodeType::SUBTREE:
    case NodeType::UNDEFINED:
      break;
  }
}

void collectPortKeys(const XMLElement * element, std::vector<std::string> & keys)
{
  for (auto attr = element->FirstAttribute(); attr; attr = attr->Next()) {
    if (isPortAttribute(attr->Name()) && TreeNode::isBlackboardPointer(attr->Value())) {
      keys.emplace_back(TreeNode::stripBlackboardPointer(attr->Value()));
    }
  }
  for (auto child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    collectPortKeys(child, keys);
  }
}

}  // namespace

XMLParser::XMLParser(const BehaviorTreeFactory & factory) : factory_(factory) {}

void XMLParser::loadFromText(const std::string & text)
{
  document_.Parse(text.c_str(), text.size());
  loadDocument();
}

void XMLParser::loadFromFile(const std::string & file_path)
{
  document_.LoadFile(file_path.c_str());
  loadDocument();
}

void XMLParser::loadDocument()
{
  if (document_.Error()) {
    throw RuntimeError("Error parsing the XML: ", document_.ErrorStr());
  }
  const XMLElement * root = document_.RootElement();
  if (root == nullptr || std::strcmp(root->Name(), "root") != 0) {
    throw RuntimeError("The XML must have a root node called <root>");
  }

  size_t unnamed_count = 0;
  for (auto tree = root->FirstChildElement("BehaviorTree"); tree;
       tree = tree->NextSiblingElement("BehaviorTree")) {
    const char * id = tree->Attribute("ID");
    const std::string tree_id = id ? id : "BehaviorTree_" + std::to_string(unnamed_count++);
    if (!tree_roots_.emplace(tree_id, tree).second) {
      throwAtLine(tree, "The BehaviorTree ID [", tree_id, "] is used twice");
    }
    if (childrenCount(tree) != 1) {
      throwAtLine(tree, "The node <BehaviorTree> must have exactly 1 child");
    }
  }

  if (const char * main_tree = root->Attribute("main_tree_to_execute")) {
    if (tree_roots_.count(main_tree) == 0) {
      throw RuntimeError("The tree specified in [main_tree_to_execute] can't be found");
    }
    main_tree_id_ = main_tree;
  } else {
    if (tree_roots_.size() != 1) {
      throw RuntimeError(
        "If you don't specify the attribute [main_tree_to_execute], Your file must contain a "
        "single BehaviorTree");
    }
    main_tree_id_ = tree_roots_.begin()->first;
  }

  for (const auto & [id, tree] : tree_roots_) {
    verifyElement(tree->FirstChildElement());
  }
}

void XMLParser::verifyElement(const XMLElement * element) const
{
  const StringView name = element->Name();
  const char * id = element->Attribute("ID");
  if ((isExplicitLeafOrBranch(name) || isSubtree(name)) && id == nullptr) {
    throwAtLine(element, "The node <", name, "> must have the attribute [ID]");
  }

  if (isSubtree(name)) {
    if (childrenCount(element) != 0) {
      throwAtLine(element, "<", name, "> should not have any child");
    }
    if (tree_roots_.count(id) == 0) {
      throwAtLine(element, "The node <", name, "> includes the missing BehaviorTree [", id, "]");
    }
    return;
  }
  if (isExplicitLeafOrBranch(name)) {
    checkChildrenCount(element, name, convertFromString<NodeType>(name));
  } else {
    const auto manifest = factory_.manifests().find(std::string(name));
    if (manifest == factory_.manifests().end()) {
      throwAtLine(element, "Node not recognized: ", name);
    }
    checkChildrenCount(element, name, manifest->second.type);
  }

  for (auto child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    verifyElement(child);
  }
}

Tree XMLParser::instantiateTree(const Blackboard::Ptr & root_blackboard)
{
  if (!root_blackboard) {
    throw RuntimeError("A tree can not be created without a blackboard");
  }
  Tree tree;
  tree.blackboard_stack.push_back(root_blackboard);
  createSubtree(main_tree_id_, tree, root_blackboard, nullptr);
  return tree;
}

void XMLParser::createSubtree(
  const std::string & tree_id, Tree & tree, const Blackboard::Ptr & blackboard, TreeNode * parent)
{
  if (std::find(subtree_path_.begin(), subtree_path_.end(), tree_id) != subtree_path_.end()) {
    throw RuntimeError("The BehaviorTree [", tree_id, "] includes itself");
  }
  subtree_path_.push_back(tree_id);
  createNodes(tree_roots_.at(tree_id)->FirstChildElement(), tree, blackboard, parent);
  subtree_path_.pop_back();
}

void XMLParser::createNodes(
  const XMLElement * element, Tree & tree, const Blackboard::Ptr & blackboard, TreeNode * parent)
{
  TreeNode::Ptr node = createNode(element, blackboard, parent);
  tree.nodes.push_back(node);

  const StringView name = element->Name();
  if (name == "SubTree") {
    const char * shared = element->Attribute("__shared_blackboard");
    const bool shares_blackboard = shared != nullptr && convertFromString<bool>(shared);
    createSubtree(
      node->name(), tree,
      shares_blackboard ? blackboard : subtreeBlackboard(element, tree, blackboard), node.get());
  } else if (name == "SubTreePlus") {
    createSubtree(node->name(), tree, subtreePlusBlackboard(element, tree, blackboard), node.get());
  } else {
    for (auto child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
      createNodes(child, tree, blackboard, node.get());
    }
  }
}

TreeNode::Ptr XMLParser::createNode(
  const XMLElement * element, const Blackboard::Ptr & blackboard, TreeNode * parent) const
{
  const StringView element_name = element->Name();
  const char * id_attribute = element->Attribute("ID");
  const char * name_attribute = element->Attribute("name");

  std::string id(element_name);
  std::string instance_name;
  if (isSubtree(element_name)) {
    // A subtree node is named after the tree it includes.
    instance_name = id_attribute;
  } else {
    if (isExplicitLeafOrBranch(element_name)) {
      id = id_attribute;
    }
    instance_name = name_attribute ? name_attribute : id;
  }

  const auto manifest = factory_.manifests().find(id);
  if (manifest == factory_.manifests().end()) {
    throw RuntimeError("BehaviorTreeFactory: ID [", id, "] not registered");
  }
  NodeConfiguration config;
  if (isSubtree(element_name)) {
    config.blackboard = blackboard;
    for (auto attr = element->FirstAttribute(); attr; attr = attr->Next()) {
      if (isPortAttribute(attr->Name())) {
        config.input_ports[attr->Name()] = attr->Value();
      }
    }
  } else {
    config = configureNode(element, manifest->second, instance_name, blackboard);
  }

  TreeNode::Ptr node = factory_.instantiateTreeNode(instance_name, id, config);
  if (parent == nullptr) {
    return node;
  }
  if (auto control = dynamic_cast<ControlNode *>(parent)) {
    control->addChild(node.get());
  } else if (auto decorator = dynamic_cast<DecoratorNode *>(parent)) {
    decorator->setChild(node.get());
  } else {
    throwAtLine(element, "The node [", parent->name(), "] can not have a child");
  }
  return node;
}

NodeConfiguration XMLParser::configureNode(
  const XMLElement * element, const TreeNodeManifest & manifest, const std::string & instance_name,
  const Blackboard::Ptr & blackboard) const
{
  NodeConfiguration config;
  config.blackboard = blackboard;
  for (auto attr = element->FirstAttribute(); attr; attr = attr->Next()) {
    const std::string port_name = attr->Name();
    if (!isPortAttribute(port_name)) {
      continue;
    }
    const auto port = manifest.ports.find(port_name);
    if (port == manifest.ports.end()) {
      throw RuntimeError(
        "Possible typo? In the XML, you tried to remap port \"", port_name, "\" in node [",
        manifest.registration_ID, " / ", instance_name,
        "], but the manifest of this node does not contain a port with this name.");
    }
    const PortInfo & port_info = port->second;
    const std::string value = attr->Value();

    if (const auto key = TreeNode::getRemappedKey(port_name, value)) {
      const std::string entry(key.value());
      const PortInfo * declared = blackboard->portInfo(entry);
      if (declared == nullptr) {
        blackboard->setPortInfo(entry, port_info);
      } else if (
        declared->isStronglyTyped() && port_info.isStronglyTyped() &&
        *declared->type() != *port_info.type()) {
        throw RuntimeError(
          "The creation of the tree failed because the port [", entry,
          "] was initially created with type [", demangle(declared->type()), "] and, later type [",
          demangle(port_info.type()), "] was used somewhere else.");
      }
    }

    if (port_info.direction() != PortDirection::OUTPUT) {
      config.input_ports[port_name] = value;
    }
    if (port_info.direction() != PortDirection::INPUT) {
      config.output_ports[port_name] = value;
    }
  }

  for (const auto & [port_name, port_info] : manifest.ports) {
    if (
      port_info.direction() != PortDirection::OUTPUT && !port_info.defaultValue().empty() &&
      config.input_ports.count(port_name) == 0) {
      config.input_ports[port_name] = port_info.defaultValue();
    }
  }
  return config;
}

Blackboard::Ptr XMLParser::subtreeBlackboard(
  const XMLElement * element, Tree & tree, const Blackboard::Ptr & parent) const
{
  auto blackboard = Blackboard::create(parent);
  tree.blackboard_stack.push_back(blackboard);
  for (auto attr = element->FirstAttribute(); attr; attr = attr->Next()) {
    if (!isPortAttribute(attr->Name())) {
      continue;
    }
    // The parent's key is given plainly (goal="target"); "{target}" is read the same way.
    const StringView value = attr->Value();
    blackboard->addSubtreeRemapping(
      attr->Name(),
      TreeNode::isBlackboardPointer(value) ? TreeNode::stripBlackboardPointer(value) : value);
  }
  return blackboard;
}

Blackboard::Ptr XMLParser::subtreePlusBlackboard(
  const XMLElement * element, Tree & tree, const Blackboard::Ptr & parent) const
{
  auto blackboard = Blackboard::create(parent);
  tree.blackboard_stack.push_back(blackboard);
  std::set<std::string> mapped_keys;
  bool autoremap = false;
  for (auto attr = element->FirstAttribute(); attr; attr = attr->Next()) {
    const StringView name = attr->Name();
    const StringView value = attr->Value();
    if (name == "__autoremap") {
      autoremap = convertFromString<bool>(value);
    } else if (isPortAttribute(name)) {
      if (TreeNode::isBlackboardPointer(value)) {
        blackboard->addSubtreeRemapping(name, TreeNode::stripBlackboardPointer(value));
      } else {
        blackboard->set(std::string(name), std::string(value));
      }
      mapped_keys.emplace(name);
    }
  }
  if (autoremap) {
    std::vector<std::string> keys;
    collectPortKeys(tree_roots_.at(element->Attribute("ID"))->FirstChildElement(), keys);
    for (const auto & key : keys) {
      if (mapped_keys.count(key) == 0) {
        blackboard->addSubtreeRemapping(key, key);
      }
    }
  }
  return blackboard;
}

}  // namespace BT
