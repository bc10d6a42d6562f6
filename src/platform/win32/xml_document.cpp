// XML documents through MSXML 3 ("MSXML2.DOMDocument.3.0") over COM: no external entities, no
// document types. The parsed DOM is copied into a light tree of our own, walked without
// recursion, so the COM objects live only while a document loads.
#include "platform/xml_document.h"

#include <windows.h>
#include <msxml2.h>
#include <objbase.h>

#include <algorithm>
#include <deque>

#include "platform/text_encoding.h"
#include "platform/xml_walk.h"

namespace platform {

namespace {

// MinGW's libuuid lacks MSXML's ids.
const CLSID kClsidDomDocument30 = {
    0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const IID kIidXmlDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

struct Node {
    DOMNodeType type = NODE_INVALID;
    std::string name;    // elements only
    std::wstring value;  // text and CDATA only
    Node* parent = nullptr;
    Node* firstChild = nullptr;
    Node* nextSibling = nullptr;
    size_t depth = 0;  // elements from the top down to this one
};

Node* NodeOf(void* node) {
    return static_cast<Node*>(node);
}

// COM for the calling thread while a document loads.
class CComScope {
public:
    CComScope() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComScope() {
        if (SUCCEEDED(m_hr)) {
            CoUninitialize();
        }
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};

void SetBoolProperty(IXMLDOMDocument2* document, const wchar_t* name, bool value) {
    BSTR property = SysAllocString(name);
    VARIANT setting;
    VariantInit(&setting);
    setting.vt = VT_BOOL;
    setting.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    document->setProperty(property, setting);
    SysFreeString(property);
}

// The tree as the shared walks see it.
struct NodeTree {
    static Node* FirstChild(Node* node) { return node->firstChild; }
    static Node* NextSibling(Node* node) { return node->nextSibling; }
    static bool IsElementNamed(Node* node, std::string_view name) {
        return node->type == NODE_ELEMENT && node->name == name;
    }
};

}  // namespace

bool CXmlNode::IsElement() const {
    return NodeOf(m_pNode)->type == NODE_ELEMENT;
}

std::string CXmlNode::Name() const {
    return IsElement() ? NodeOf(m_pNode)->name : std::string();
}

CXmlNode CXmlNode::FirstChild() const {
    return CXmlNode(NodeOf(m_pNode)->firstChild);
}

CXmlNode CXmlNode::NextSibling() const {
    return CXmlNode(NodeOf(m_pNode)->nextSibling);
}

CXmlNode CXmlNode::SelectSingle(std::string_view path) const {
    const std::vector<Node*> found = detail::SelectXmlPath(NodeOf(m_pNode), path, true, NodeTree());
    return found.empty() ? CXmlNode() : CXmlNode(found.front());
}

std::vector<CXmlNode> CXmlNode::SelectAll(std::string_view path) const {
    std::vector<CXmlNode> nodes;
    for (Node* node : detail::SelectXmlPath(NodeOf(m_pNode), path, false, NodeTree())) {
        nodes.push_back(CXmlNode(node));
    }
    return nodes;
}

std::wstring CXmlNode::Text() const {
    const Node* top = NodeOf(m_pNode);
    std::wstring text;
    const Node* node = top->firstChild;
    while (node != nullptr) {
        if (node->type == NODE_TEXT || node->type == NODE_CDATA_SECTION) {
            text += node->value;
        }
        if (node->type == NODE_ELEMENT && node->firstChild != nullptr) {
            node = node->firstChild;
            continue;
        }
        while (node != nullptr && node != top && node->nextSibling == nullptr) {
            node = node->parent;
        }
        node = (node != nullptr && node != top) ? node->nextSibling : nullptr;
    }
    return detail::TrimXmlSpace(text);
}

struct CXmlDocument::State {
    std::deque<Node> nodes;  // stable addresses; nodes[0] is the document node

    Node* Add(DOMNodeType type, Node* parent, Node*& lastChild) {
        nodes.emplace_back();
        Node* node = &nodes.back();
        node->type = type;
        node->parent = parent;
        node->depth = parent->depth + (type == NODE_ELEMENT ? 1 : 0);
        (lastChild != nullptr ? lastChild->nextSibling : parent->firstChild) = node;
        lastChild = node;
        return node;
    }

    // Copies the DOM below document breadth by breadth: a queue of (COM node, our node).
    void Clear() {
        nodes.clear();
        nodes.emplace_back();
        nodes.back().type = NODE_DOCUMENT;
    }

    bool CopyFrom(IXMLDOMNode* document) {
        Clear();
        std::deque<std::pair<IXMLDOMNode*, Node*>> pending{{document, &nodes.front()}};
        document->AddRef();
        bool ok = true;
        while (!pending.empty()) {
            auto [source, target] = pending.front();
            pending.pop_front();
            IXMLDOMNode* child = nullptr;
            Node* lastChild = nullptr;
            HRESULT hr = source->get_firstChild(&child);
            source->Release();
            while (hr == S_OK && child != nullptr) {
                DOMNodeType type = NODE_INVALID;
                child->get_nodeType(&type);
                if (type == NODE_DOCUMENT_TYPE || type == NODE_ENTITY_REFERENCE) {
                    ok = false;  // never reached with ProhibitDTD; refused all the same
                }
                Node* copy = Add(type, target, lastChild);
                if (type == NODE_ELEMENT) {
                    BSTR name = nullptr;
                    if (child->get_nodeName(&name) == S_OK && name != nullptr) {
                        copy->name = WideToUtf8(std::wstring_view(name, SysStringLen(name)));
                    }
                    SysFreeString(name);
                    child->AddRef();
                    pending.emplace_back(child, copy);
                } else if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
                    // The node's value as written: its text property trims each piece, which
                    // would join "six <b>b</b>" into "sixb".
                    VARIANT value;
                    VariantInit(&value);
                    if (child->get_nodeValue(&value) == S_OK && value.vt == VT_BSTR &&
                        value.bstrVal != nullptr) {
                        copy->value.assign(value.bstrVal, SysStringLen(value.bstrVal));
                    }
                    VariantClear(&value);
                }
                IXMLDOMNode* next = nullptr;
                hr = child->get_nextSibling(&next);
                child->Release();
                child = next;
            }
        }
        return ok;
    }

    // MSXML 3 parses BSTR text, or bytes handed over as a SAFEARRAY of bytes.
    bool Parse(const VARIANT* bytes, BSTR text) {
        CComScope com;
        IXMLDOMDocument2* document = nullptr;
        if (FAILED(CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER,
                                    kIidXmlDomDocument2, reinterpret_cast<void**>(&document)))) {
            return false;
        }
        document->put_async(VARIANT_FALSE);
        document->put_validateOnParse(VARIANT_FALSE);
        document->put_resolveExternals(VARIANT_FALSE);
        document->put_preserveWhiteSpace(VARIANT_FALSE);
        SetBoolProperty(document, L"ProhibitDTD", true);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        HRESULT hr =
            bytes != nullptr ? document->load(*bytes, &loaded) : document->loadXML(text, &loaded);
        bool ok = SUCCEEDED(hr) && loaded == VARIANT_TRUE;
        if (ok) {
            IXMLDOMNode* root = nullptr;
            ok = document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(&root)) ==
                     S_OK &&
                 CopyFrom(root);
        }
        document->Release();
        if (!ok) {
            Clear();
        }
        return ok;
    }
};

CXmlDocument::CXmlDocument() : m_pState(std::make_unique<State>()) {
    m_pState->Clear();
}
CXmlDocument::~CXmlDocument() = default;

bool CXmlDocument::Load(const void* bytes, size_t size) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (array == nullptr || size == 0) {
        SafeArrayDestroy(array);
        Reset();
        return false;
    }
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        std::copy_n(static_cast<const char*>(bytes), size, static_cast<char*>(data));
        SafeArrayUnaccessData(array);
    }
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_ARRAY | VT_UI1;
    source.parray = array;
    const bool ok = m_pState->Parse(&source, nullptr);
    SafeArrayDestroy(array);
    return ok;
}

bool CXmlDocument::LoadText(std::wstring_view text) {
    BSTR source = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    const bool ok = source != nullptr && m_pState->Parse(nullptr, source);
    SysFreeString(source);
    if (!ok) {
        Reset();
    }
    return ok;
}

void CXmlDocument::Reset() {
    m_pState->Clear();
}

CXmlNode CXmlDocument::Root() const {
    return CXmlNode(&m_pState->nodes.front());
}

size_t CXmlDocument::GetDepth() const {
    size_t deepest = 0;
    for (const Node& node : m_pState->nodes) {
        deepest = std::max(deepest, node.depth);
    }
    return deepest;
}

}  // namespace platform
