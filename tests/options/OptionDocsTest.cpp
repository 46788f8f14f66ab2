#include "options/OptionDocs.h"
#include "options/OptionTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

namespace lumenarc {
namespace {

std::string sourceFile(const std::string& relative) {
    std::ifstream in(std::string(LUMENARC_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t start = text.find(from);
    const std::size_t end = start == std::string::npos ? start : text.find(to, start);
    return end == std::string::npos ? std::string() : text.substr(start, end - start);
}

// The README and the manual pages cannot drift from the table: after changing it, run
// `cmake --build build --target option_docs`.
TEST(OptionDocs, ReadmeAndManualPagesHoldTheTablesAsTheOptionTableWritesThem) {
    for (const auto& block : OptionDocs::blocks()) {
        const auto section = OptionDocs::section(sourceFile(block.file), block);
        ASSERT_TRUE(section) << block.file << " has no block " << block.name;
        EXPECT_EQ(*section, block.generate())
            << block.file << ", block " << block.name
            << ": run `cmake --build build --target option_docs` to write it from the table";
    }
}

// "--name" as a whole option, not the start of a longer one.
bool namesOption(const std::string& text, const std::string& option) {
    for (std::size_t at = text.find(option); at != std::string::npos;
         at = text.find(option, at + 1)) {
        const std::size_t after = at + option.size();
        if (after == text.size() || (text[after] != '-' && !std::isalnum(text[after]))) {
            return true;
        }
    }
    return false;
}

// The synopses are written by hand (they group the options); each must still name every one.
TEST(OptionDocs, SynopsesNameEveryCommandLineOption) {
    const std::string readme =
        between(sourceFile("README.md"), "## Command line\n\n```sh", "```\n\n");
    const std::string man =
        between(sourceFile("packaging/man/lumenarc.1"), ".SH SYNOPSIS", ".SH DESCRIPTION");
    ASSERT_FALSE(readme.empty());
    ASSERT_FALSE(man.empty());
    for (const Option& option : OptionTable::all()) {
        if (option.onCommandLine()) {
            const std::string flag(option.flag);
            std::string roff;
            for (const char c : flag) {
                roff += c == '-' ? std::string("\\-") : std::string(1, c);
            }
            EXPECT_TRUE(namesOption(readme, "--" + flag)) << flag;
            EXPECT_NE(man.find("\\fB\\-\\-" + roff + "\\fR"), std::string::npos) << flag;
        }
    }
}

TEST(OptionDocs, UpdatingReplacesOnlyTheBlock) {
    const auto& block = OptionDocs::blocks().front();
    const std::string begin = OptionDocs::beginMarker(block.name, block.style);
    const std::string end = OptionDocs::endMarker(block.name, block.style);
    const std::string document = "before\n" + begin + "\nstale\n" + end + "\nafter\n";
    EXPECT_EQ(OptionDocs::updated(document, block),
              "before\n" + begin + "\n" + block.generate() + end + "\nafter\n");
    EXPECT_FALSE(OptionDocs::updated("before\n" + begin + "\nno end\n", block));
}

} // namespace
} // namespace lumenarc
