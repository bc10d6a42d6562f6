// An XML document as the system reads one: parse bytes or text, walk elements by name, read the
// text below an element. Walks never recurse, so a deeply nested document cannot exhaust the
// stack. Comments and processing instructions are nodes; white-space-only text is not.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A node of a CXmlDocument, valid while its document lives and is not loaded again.
class CXmlNode {
public:
    CXmlNode() = default;
    explicit operator bool() const { return m_pNode != nullptr; }
    bool IsElement() const;
    // The element's name; empty for any other node.
    std::string Name() const;
    // Any kind of node, in document order.
    CXmlNode FirstChild() const;
    CXmlNode NextSibling() const;
    // Elements reached by a path of child element names separated by '/' ("download/file"):
    // the first such element, or all of them in document order.
    CXmlNode SelectSingle(std::string_view path) const;
    std::vector<CXmlNode> SelectAll(std::string_view path) const;
    // Every text and CDATA below the node joined in document order (the DOM text), without
    // surrounding white space.
    std::wstring Text() const;

private:
    friend class CXmlDocument;
    explicit CXmlNode(void* node) : m_pNode(node) {}
    void* m_pNode = nullptr;
};

class CXmlDocument {
public:
    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Bytes in the encoding their byte-order mark or declaration names (UTF-8 without either).
    // False, with an empty document, when they are not well-formed XML.
    bool Load(const void* bytes, size_t size);
    // Text already decoded.
    bool LoadText(std::wstring_view text);
    void Reset();
    // The document node: its children are the top-level nodes.
    CXmlNode Root() const;
    // How deeply elements nest (0 for an empty document, 1 for a lone root element).
    size_t GetDepth() const;

private:
    struct State;
    std::unique_ptr<State> m_pState;
};

}  // namespace platform
