#include "support/process_tree.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace testsupport {
namespace {

pid_t ParentOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), {});
    const size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream rest(text.substr(close + 2));
    char state = 0;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

std::vector<pid_t> AllProcesses() {
    std::vector<pid_t> pids;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return pids;
    }
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid > 0) {
            pids.push_back(pid);
        }
    }
    closedir(proc);
    return pids;
}

}  // namespace

std::vector<pid_t> ProcessTree(pid_t root) {
    std::vector<pid_t> tree{root};
    const std::vector<pid_t> all = AllProcesses();
    for (size_t i = 0; i < tree.size(); ++i) {
        for (const pid_t pid : all) {
            if (ParentOf(pid) == tree[i] &&
                std::find(tree.begin(), tree.end(), pid) == tree.end()) {
                tree.push_back(pid);
            }
        }
    }
    return tree;
}

}  // namespace testsupport
