#include "xml_parsing.h"

#include <cstring>

namespace BT
{
namespace
{
using tinyxml2::XMLElement;

template <typename... Pieces>
[[noreturn]] void throwAtLine(const XMLElement * element, const Pieces &... pieces)
{
  throw RuntimeError(
    "Error at line ", std::to_string(element->GetLineNum()), ": -> ", StrCat(pieces...));
}

int childrenCount(const XMLElement * element)
{
  int count = 0;
  for (auto child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    count++;
  }
  return count;
}

bool isExplicitForm(StringView name)
{
  return name == "Action" || name == "Condition" || name == "Control" || name == "Decorator";
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
    throw RuntimeError("Error parsing the XML: ", document_.ErrorName());
  }
  const XMLElement * root = document_.RootElement();
  if (root == nullptr || std::strcmp(root->Name(), "root") != 0) {
    throw RuntimeError("The XML must have a root node called <root>");
  }
  verifyPrinted();

  int unnamed_count = 0;
  for (auto tree = root->FirstChildElement("BehaviorTree"); tree;
       tree = tree->NextSiblingElement("BehaviorTree")) {
    const char * id = tree->Attribute("ID");
    tree_roots_.emplace(id ? id : "BehaviorTree_" + std::to_string(unnamed_count++), tree);
  }
}

void XMLParser::verifyPrinted() const
{
  tinyxml2::XMLPrinter printer;
  document_.Print(&printer);
  tinyxml2::XMLDocument printed;
  printed.Parse(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
  const XMLElement * root = printed.RootElement();
  for (auto tree = root->FirstChildElement("BehaviorTree"); tree;
       tree = tree->NextSiblingElement("BehaviorTree")) {
    verifyElement(tree);
  }
}

void XMLParser::verifyElement(const XMLElement * element) const
{
  const StringView name = element->Name();
  const int children = childrenCount(element);
  if (isExplicitForm(name)) {
    if (name == "Decorator" && children != 1) {
      throwAtLine(element, "The node <Decorator> must have exactly 1 child");
    }
    if ((name == "Action" || name == "Condition") && children != 0) {
      throwAtLine(element, "The node <", name, "> must not have any child");
    }
    if (name == "Control" && children == 0) {
      throwAtLine(element, "The node <Control> must have at least 1 child");
    }
    if (element->Attribute("ID") == nullptr) {
      throwAtLine(element, "The node <", name, "> must have the attribute [ID]");
    }
  } else if (name == "Sequence" || name == "Fallback") {
    if (children == 0) {
      throwAtLine(element, "A Control node must have at least 1 child");
    }
  } else if (name == "BehaviorTree") {
    if (children != 1) {
      throwAtLine(element, "The node <BehaviorTree> must have exactly 1 child");
    }
  } else {
    const auto manifest = factory_.manifests().find(std::string(name));
    if (manifest == factory_.manifests().end()) {
      throwAtLine(element, "Node not recognized: ", name);
    }
    if (manifest->second.type == NodeType::DECORATOR && children != 1) {
      throwAtLine(element, "The node <", name, "> must have exactly 1 child");
    }
  }
  for (auto child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    verifyElement(child);
  }
}

Tree XMLParser::instantiateTree(const Blackboard::Ptr & root_blackboard)
{
  std::string main_tree_id;
  if (const char * main_tree = document_.RootElement()->Attribute("main_tree_to_execute")) {
    main_tree_id = main_tree;
  } else if (tree_roots_.size() == 1) {
    main_tree_id = tree_roots_.begin()->first;
  } else {
    throw RuntimeError("[main_tree_to_execute] was not specified correctly");
  }
  if (!root_blackboard) {
    throw RuntimeError("XMLParser::instantiateTree needs a non-empty root_blackboard");
  }
  const auto main_tree = tree_roots_.find(main_tree_id);
  if (main_tree == tree_roots_.end()) {
    throw std::runtime_error("Can't find a tree with name: " + main_tree_id);
  }
  Tree tree;
  createNodes(main_tree->second->FirstChildElement(), tree, root_blackboard, nullptr);
  return tree;
}

void XMLParser::createNodes(
  const XMLElement * element, Tree & tree, const Blackboard::Ptr & blackboard,
  TreeNode * parent) const
{
  TreeNode::Ptr node = createNode(element, blackboard, parent);
  tree.nodes.push_back(node);
  for (auto child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
    createNodes(child, tree, blackboard, node.get());
  }
}

TreeNode::Ptr XMLParser::createNode(
  const XMLElement * element, const Blackboard::Ptr & blackboard, TreeNode * parent) const
{
  const StringView element_name = element->Name();
  const std::string id =
    isExplicitForm(element_name) ? element->Attribute("ID") : std::string(element_name);
  const char * name_attribute = element->Attribute("name");
  const std::string instance_name = name_attribute ? name_attribute : id;

  const auto manifest_it = factory_.manifests().find(id);
  if (manifest_it == factory_.manifests().end()) {
    throw RuntimeError(id, " is not a registered node, nor a Subtree");
  }
  const TreeNodeManifest & manifest = manifest_it->second;

  PortsRemapping port_remap;
  for (auto attr = element->FirstAttribute(); attr; attr = attr->Next()) {
    if (IsReservedPortname(attr->Name())) {
      continue;
    }
    if (manifest.ports.count(attr->Name()) == 0) {
      throw RuntimeError(
        "Possible typo? In the XML, you tried to remap port \"", attr->Name(), "\" in node [", id,
        " / ", instance_name,
        "], but the manifest of this node does not contain a port with this name.");
    }
    port_remap[attr->Name()] = attr->Value();
  }

  NodeConfiguration config;
  config.blackboard = blackboard;
  for (const auto & [port_name, port_info] : manifest.ports) {
    const auto remap = port_remap.find(port_name);
    if (remap != port_remap.end()) {
      if (const auto key = TreeNode::getRemappedKey(port_name, remap->second)) {
        const std::string entry(key.value());
        const PortInfo * declared = blackboard->portInfo(entry);
        if (declared == nullptr) {
          blackboard->createEntry(entry, port_info);
        } else if (
          declared->isStronglyTyped() && port_info.isStronglyTyped() &&
          *declared->type() != *port_info.type() && *declared->type() != typeid(std::string)) {
          throw RuntimeError(
            "The creation of the tree failed because the port [", entry,
            "] was initially created with type [", demangle(declared->type()),
            "] and, later type [", demangle(port_info.type()), "] was used somewhere else.");
        }
      }
      if (port_info.direction() != PortDirection::OUTPUT) {
        config.input_ports.insert(*remap);
      }
      if (port_info.direction() != PortDirection::INPUT) {
        config.output_ports.insert(*remap);
      }
    } else if (
      port_info.direction() != PortDirection::OUTPUT && !port_info.defaultValue().empty()) {
      config.input_ports.emplace(port_name, port_info.defaultValue());
    }
  }

  TreeNode::Ptr node = factory_.instantiateTreeNode(instance_name, id, config);
  if (auto control = dynamic_cast<ControlNode *>(parent)) {
    control->addChild(node.get());
  } else if (auto decorator = dynamic_cast<DecoratorNode *>(parent)) {
    decorator->setChild(node.get());
  }
  return node;
}

}  // namespace BT
