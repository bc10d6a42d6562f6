// The walks every XML backend shares, over its own node type, without recursion: a deeply
// nested document cannot exhaust the stack.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::detail {

// "download/file/link" as its steps.
std::vector<std::string_view> SplitXmlPath(std::string_view path);
// Without the XML white space (space, tab, CR, LF) around it.
std::wstring TrimXmlSpace(const std::wstring& text);

// Every element at the end of the path's steps below start, in document order; stops after the
// first when firstOnly. Tree gives FirstChild(node), NextSibling(node) and
// IsElementNamed(node, name); a node tests false when there is none.
template <class Node, class Tree>
std::vector<Node> SelectXmlPath(Node start, std::string_view path, bool firstOnly,
                                const Tree& tree) {
    std::vector<Node> found;
    const std::vector<std::string_view> steps = SplitXmlPath(path);
    if (steps.empty() || !start) {
        return found;
    }
    auto nextNamed = [&tree](Node from, std::string_view name) {
        while (from && !tree.IsElementNamed(from, name)) {
            from = tree.NextSibling(from);
        }
        return from;
    };
    // Depth-first over the steps with an explicit stack of positions.
    std::vector<Node> positions{nextNamed(tree.FirstChild(start), steps[0])};
    while (!positions.empty()) {
        Node& current = positions.back();
        if (!current) {
            positions.pop_back();
            if (!positions.empty()) {
                positions.back() =
                    nextNamed(tree.NextSibling(positions.back()), steps[positions.size() - 1]);
            }
            continue;
        }
        if (positions.size() == steps.size()) {
            found.push_back(current);
            if (firstOnly) {
                break;
            }
            current = nextNamed(tree.NextSibling(current), steps[positions.size() - 1]);
            continue;
        }
        positions.push_back(nextNamed(tree.FirstChild(current), steps[positions.size()]));
    }
    return found;
}

}  // namespace platform::detail
