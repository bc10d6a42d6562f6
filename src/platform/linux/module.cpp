// Module paths from the dynamic loader, and the version stamp read from an ELF file.
#include "platform/module.h"

#include <elf.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/text_encoding.h"

namespace {

constexpr const char* kVersionSection = ".songdeck_version";

struct ModuleSearch {
    uintptr_t address;
    bool found;
    bool isExecutable;
    std::string name;
};

int FindModule(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<ModuleSearch*>(data);
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) {
            continue;
        }
        uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (search->address >= start && search->address < start + segment.p_memsz) {
            search->found = true;
            // The loader lists the executable first, with an empty name.
            search->isExecutable = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
            search->name = search->isExecutable ? "" : info->dlpi_name;
            return 1;
        }
    }
    return 0;
}

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(n));
            // An executable replaced on disk (by an update) shows as "<path> (deleted)"; the
            // file now at <path> is the one the original platform would read.
            const std::string deleted = " (deleted)";
            if (path.size() > deleted.size() &&
                path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0 &&
                ::access(path.c_str(), F_OK) != 0) {
                path.resize(path.size() - deleted.size());
            }
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
}

template <typename Ehdr, typename Shdr>
bool ReadSection(std::ifstream& file, const std::string& wanted, std::string& contents) {
    Ehdr header;
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(&header), sizeof(header)) || header.e_shoff == 0 ||
        header.e_shentsize != sizeof(Shdr) || header.e_shstrndx >= header.e_shnum) {
        return false;
    }
    std::vector<Shdr> sections(header.e_shnum);
    file.seekg(static_cast<std::streamoff>(header.e_shoff));
    if (!file.read(reinterpret_cast<char*>(sections.data()),
                   static_cast<std::streamsize>(sections.size() * sizeof(Shdr)))) {
        return false;
    }
    const Shdr& names = sections[header.e_shstrndx];
    constexpr size_t kMaxNames = 1 << 20;
    if (names.sh_size == 0 || names.sh_size > kMaxNames) {
        return false;
    }
    std::string table(names.sh_size, '\0');
    file.seekg(static_cast<std::streamoff>(names.sh_offset));
    if (!file.read(table.data(), static_cast<std::streamsize>(table.size()))) {
        return false;
    }
    for (const Shdr& section : sections) {
        if (section.sh_name >= table.size() || section.sh_type == SHT_NOBITS ||
            std::strncmp(table.c_str() + section.sh_name, wanted.c_str(),
                         table.size() - section.sh_name) != 0) {
            continue;
        }
        constexpr size_t kMaxStamp = 256;
        if (section.sh_size == 0 || section.sh_size > kMaxStamp) {
            return false;
        }
        contents.assign(section.sh_size, '\0');
        file.seekg(static_cast<std::streamoff>(section.sh_offset));
        return static_cast<bool>(
            file.read(contents.data(), static_cast<std::streamsize>(contents.size())));
    }
    return false;
}

}  // namespace

std::wstring GetModulePath(const void* address) {
    if (address == nullptr) {
        return Utf8ToWide(ExecutablePath());
    }
    ModuleSearch search{reinterpret_cast<uintptr_t>(address), false, false, {}};
    dl_iterate_phdr(FindModule, &search);
    if (!search.found) {
        return {};
    }
    return Utf8ToWide(search.isExecutable ? ExecutablePath() : search.name);
}

bool ReadModuleVersionStamp(const std::wstring& modulePath, std::wstring& version) {
    std::ifstream file(WideToUtf8(modulePath), std::ios::binary);
    unsigned char ident[EI_NIDENT];
    if (!file.read(reinterpret_cast<char*>(ident), sizeof(ident)) ||
        std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
        return false;
    }
    std::string contents;
    bool found = ident[EI_CLASS] == ELFCLASS64
                     ? ReadSection<Elf64_Ehdr, Elf64_Shdr>(file, kVersionSection, contents)
                     : ReadSection<Elf32_Ehdr, Elf32_Shdr>(file, kVersionSection, contents);
    if (!found) {
        return false;
    }
    // The stamp is NUL-terminated text.
    contents.resize(std::strlen(contents.c_str()));
    version = Utf8ToWide(contents);
    return true;
}
