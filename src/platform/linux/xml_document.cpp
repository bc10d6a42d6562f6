// XML documents through pugixml.
#include "platform/xml_document.h"

#include <pugixml.hpp>

#include <algorithm>

#include "platform/xml_walk.h"

namespace platform {

namespace {

// Comments and processing instructions are nodes of the document, as the notes walk expects.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

pugi::xml_node NodeOf(void* node) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(node));
}

// The tree as the shared walks see it.
struct PugiTree {
    static pugi::xml_node FirstChild(pugi::xml_node node) { return node.first_child(); }
    static pugi::xml_node NextSibling(pugi::xml_node node) { return node.next_sibling(); }
    static bool IsElementNamed(pugi::xml_node node, std::string_view name) {
        return node.type() == pugi::node_element && name == node.name();
    }
};

}  // namespace

bool CXmlNode::IsElement() const {
    return NodeOf(m_pNode).type() == pugi::node_element;
}

std::string CXmlNode::Name() const {
    return IsElement() ? NodeOf(m_pNode).name() : std::string();
}

CXmlNode CXmlNode::FirstChild() const {
    return CXmlNode(NodeOf(m_pNode).first_child().internal_object());
}

CXmlNode CXmlNode::NextSibling() const {
    return CXmlNode(NodeOf(m_pNode).next_sibling().internal_object());
}

CXmlNode CXmlNode::SelectSingle(std::string_view path) const {
    const std::vector<pugi::xml_node> found =
        detail::SelectXmlPath(NodeOf(m_pNode), path, true, PugiTree());
    return found.empty() ? CXmlNode() : CXmlNode(found.front().internal_object());
}

std::vector<CXmlNode> CXmlNode::SelectAll(std::string_view path) const {
    std::vector<CXmlNode> nodes;
    for (const pugi::xml_node& node :
         detail::SelectXmlPath(NodeOf(m_pNode), path, false, PugiTree())) {
        nodes.push_back(CXmlNode(node.internal_object()));
    }
    return nodes;
}

std::wstring CXmlNode::Text() const {
    const pugi::xml_node top = NodeOf(m_pNode);
    std::string utf8;
    // Document order without recursion: down to the first child, else to the next sibling,
    // else up until an ancestor below top has one.
    pugi::xml_node node = top.first_child();
    while (node) {
        const pugi::xml_node_type type = node.type();
        if (type == pugi::node_pcdata || type == pugi::node_cdata) {
            utf8 += node.value();
        }
        if (type == pugi::node_element && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != top && !node.next_sibling()) {
            node = node.parent();
        }
        node = (node && node != top) ? node.next_sibling() : pugi::xml_node();
    }
    return detail::TrimXmlSpace(pugi::as_wide(utf8));
}

struct CXmlDocument::State {
    pugi::xml_document document;
};

CXmlDocument::CXmlDocument() : m_pState(std::make_unique<State>()) {}
CXmlDocument::~CXmlDocument() = default;

bool CXmlDocument::Load(const void* bytes, size_t size) {
    const pugi::xml_parse_result result =
        m_pState->document.load_buffer(bytes, size, kParseOptions, pugi::encoding_auto);
    if (!result) {
        Reset();
    }
    return static_cast<bool>(result);
}

bool CXmlDocument::LoadText(std::wstring_view text) {
    const pugi::xml_parse_result result = m_pState->document.load_buffer(
        text.data(), text.size() * sizeof(wchar_t), kParseOptions, pugi::encoding_wchar);
    if (!result) {
        Reset();
    }
    return static_cast<bool>(result);
}

void CXmlDocument::Reset() {
    m_pState->document.reset();
}

CXmlNode CXmlDocument::Root() const {
    return CXmlNode(m_pState->document.internal_object());
}

}  // namespace platform

namespace platform {

size_t CXmlDocument::GetDepth() const {
    size_t depth = 0;
    size_t deepest = 0;
    pugi::xml_node node = m_pState->document.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            deepest = std::max(deepest, depth + 1);
            if (node.first_child()) {
                node = node.first_child();
                ++depth;
                continue;
            }
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            if (node.type() == pugi::node_document) {
                return deepest;
            }
            --depth;
        }
        node = node ? node.next_sibling() : pugi::xml_node();
    }
    return deepest;
}

}  // namespace platform
