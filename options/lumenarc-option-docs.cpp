// lumenarc-option-docs: writes the option tables of the README and the manual pages from
// options/OptionTable.h. A developer's tool; not installed.

#include "options/OptionDocs.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using lumenarc::OptionDocs;

namespace {

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
    return static_cast<bool>(in);
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

// Rewrites every block in the tree at `root`; 1 when a file or a marker is missing.
int update(const std::string& root) {
    for (const auto& block : OptionDocs::blocks()) {
        const std::string path = root + "/" + block.file;
        std::string text;
        if (!readFile(path, text)) {
            std::fprintf(stderr, "lumenarc-option-docs: cannot read %s\n", path.c_str());
            return 1;
        }
        const auto updated = OptionDocs::updated(text, block);
        if (!updated) {
            std::fprintf(stderr, "lumenarc-option-docs: %s has no block \"%s\"\n", path.c_str(),
                         block.name.c_str());
            return 1;
        }
        if (*updated != text && !writeFile(path, *updated)) {
            std::fprintf(stderr, "lumenarc-option-docs: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--update") == 0) {
        return update(argv[2]);
    }
    std::fputs("Usage: lumenarc-option-docs --update SOURCE_DIR\n"
               "Rewrites the README's and the manual pages' option tables from the option "
               "table.\n",
               stderr);
    return 2;
}
