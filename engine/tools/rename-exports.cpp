// Renames dynamic symbols of a linked ELF64 shared library in place.
//
//   torvex-rename-exports LIBRARY FROM TO [FROM TO ...]
//
// Each FROM must have the same length as its TO. The library must have been linked with
// --hash-style=sysv: the SysV hash table is rebuilt for the new names (a GNU hash table would
// need the symbols reordered). A name already renamed is left alone, so running twice is harmless.

#include <elf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

unsigned long sysvHash(const char* name) {
    unsigned long h = 0;
    for (auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        h               = (h << 4) + *p;
        unsigned long g = h & 0xf0000000;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "torvex-rename-exports: %s\n", why.c_str());
    return 1;
}

template <typename T> T* at(std::vector<char>& file, std::size_t offset, std::size_t count = 1) {
    if (offset > file.size() || count * sizeof(T) > file.size() - offset) return nullptr;
    return reinterpret_cast<T*>(file.data() + offset);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0) return fail("usage: LIBRARY FROM TO [FROM TO ...]");
    const std::string path = argv[1];

    std::vector<char> file;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return fail("cannot read " + path);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    auto* header = at<Elf64_Ehdr>(file, 0);
    if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        header->e_ident[EI_CLASS] != ELFCLASS64)
        return fail(path + " is not an ELF64 file");
    auto* sections = at<Elf64_Shdr>(file, header->e_shoff, header->e_shnum);
    if (!sections) return fail(path + " has no section table");

    Elf64_Shdr* dynsym = nullptr;
    Elf64_Shdr* hash   = nullptr;
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type == SHT_DYNSYM) dynsym = &sections[i];
        if (sections[i].sh_type == SHT_HASH) hash = &sections[i];
        if (sections[i].sh_type == SHT_GNU_HASH)
            return fail(path + " has a GNU hash table; link it with --hash-style=sysv");
    }
    if (!dynsym || !hash || dynsym->sh_link >= header->e_shnum)
        return fail(path + " has no dynamic symbols or no hash table");

    const Elf64_Shdr& strtab = sections[dynsym->sh_link];
    std::size_t symbolCount  = dynsym->sh_size / sizeof(Elf64_Sym);
    auto* symbols            = at<Elf64_Sym>(file, dynsym->sh_offset, symbolCount);
    char* strings            = at<char>(file, strtab.sh_offset, strtab.sh_size);
    if (!symbols || !strings) return fail(path + " has a damaged dynamic symbol table");
    auto nameOf = [&](const Elf64_Sym& s) -> const char* {
        return s.st_name < strtab.sh_size ? strings + s.st_name : "";
    };

    for (int a = 2; a < argc; a += 2) {
        std::string from = argv[a], to = argv[a + 1];
        if (from.size() != to.size()) return fail(from + " and " + to + " differ in length");
        auto symbol = std::find_if(symbols, symbols + symbolCount,
                                   [&](const Elf64_Sym& s) { return from == nameOf(s); });
        if (symbol == symbols + symbolCount) {
            bool done = std::any_of(symbols, symbols + symbolCount,
                                    [&](const Elf64_Sym& s) { return to == nameOf(s); });
            if (done) continue;
            return fail(from + " is not a dynamic symbol of " + path);
        }
        // The linker may share the tail of a name with another symbol; renaming would change both.
        for (std::size_t i = 0; i < symbolCount; ++i) {
            Elf64_Word start = symbol->st_name, other = symbols[i].st_name;
            if (other > start && other < start + from.size())
                return fail(from + " shares its text with another symbol");
        }
        std::memcpy(strings + symbol->st_name, to.data(), to.size());
    }

    auto* table = at<Elf32_Word>(file, hash->sh_offset, 2);
    if (!table || table[0] == 0) return fail(path + " has a damaged hash table");
    Elf32_Word bucketCount = table[0];
    auto* buckets          = at<Elf32_Word>(file, hash->sh_offset + 8, bucketCount + table[1]);
    if (!buckets || table[1] != symbolCount) return fail(path + " has a damaged hash table");
    Elf32_Word* chains = buckets + bucketCount;
    std::fill(buckets, buckets + bucketCount, 0);
    std::fill(chains, chains + symbolCount, 0);
    for (std::size_t i = 1; i < symbolCount; ++i) {
        Elf32_Word b = sysvHash(nameOf(symbols[i])) % bucketCount;
        chains[i]    = buckets[b];
        buckets[b]   = static_cast<Elf32_Word>(i);
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    if (!out) return fail("cannot write " + path);
    return 0;
}
