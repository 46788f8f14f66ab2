#include "options/OptionDocs.h"

#include "options/OptionTable.h"
#include "options/ValueRules.h"

#include <algorithm>
#include <cctype>

namespace lumenarc {
namespace {

std::string shownDefault(const Option& option) {
    return option.defaultValue.empty() ? "none" : std::string(option.defaultValue);
}

std::string spelling(const Option& option) {
    std::string text("--");
    text += option.flag;
    if (option.takesValue()) {
        text += ' ';
        text += option.valueName;
    }
    return text;
}

std::string_view flagDoc(const Option& option) {
    return option.flagDoc.empty() ? option.doc : option.flagDoc;
}

std::string code(std::string_view text) {
    std::string quoted;
    if (!text.empty()) {
        quoted.append(1, '`').append(text).append(1, '`');
    }
    return quoted;
}

// roff takes "-" as a hyphen; options and keys need the minus sign.
std::string roff(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out += c == '-' ? std::string("\\-") : c == '\\' ? std::string("\\e") : std::string(1, c);
    }
    return out;
}

std::string capitalised(std::string text) {
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    }
    return text;
}

bool isWordByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

// The option's value name in italics wherever it stands as a word of its text.
std::string italicValue(const std::string& text, std::string_view name) {
    if (name.empty()) {
        return text;
    }
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const std::size_t after = at + name.size();
        if ((at > 0 && isWordByte(text[at - 1])) ||
            (after < text.size() && isWordByte(text[after]))) {
            continue;
        }
        out += text.substr(from, at - from) + "\\fI" + std::string(name) + "\\fR";
        from = after;
    }
    return out + text.substr(from);
}

std::string sentence(const Option& option) {
    return italicValue(roff(capitalised(std::string(flagDoc(option)))), option.valueName) + ".";
}

std::string manFlag(const Option& option) {
    if (!option.takesValue()) {
        return ".B " + roff("--" + std::string(option.flag)) + "\n";
    }
    return ".BI " + roff("--" + std::string(option.flag)) + " \" " + std::string(option.valueName) +
           "\"\n";
}

} // namespace

const std::vector<OptionDocs::Block>& OptionDocs::blocks() {
    static const std::vector<Block> kBlocks{
        {"README.md", "command-line", Style::Markdown, &commandLineTable},
        {"README.md", "prefs-keys", Style::Markdown, &prefsKeyTable},
        {"packaging/man/lumenarc.1", "options", Style::Roff, &manOptions},
        {"packaging/man/lumenarc-prefs.1", "keys", Style::Roff, &manPrefsKeys},
    };
    return kBlocks;
}

std::string OptionDocs::commandLineTable() {
    std::string text = "| Option | Effect, for this run only | Preference |\n|---|---|---|\n";
    for (const Option& option : OptionTable::all()) {
        if (option.onCommandLine()) {
            text += "| " + code(spelling(option)) + " | " + std::string(flagDoc(option)) + " | " +
                    code(option.key) + " |\n";
        }
    }
    return text;
}

std::string OptionDocs::prefsKeyTable() {
    std::string text = "| Key | Value | Default | Setting | Option |\n|---|---|---|---|---|\n";
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            const std::string flag = option.onCommandLine() ? "--" + std::string(option.flag) : "";
            text += "| " + code(option.key) + " | " + ValueRules::expectation(option) + " | " +
                    shownDefault(option) + " | " + std::string(option.doc) + " | " + code(flag) +
                    " |\n";
        }
    }
    return text;
}

std::string OptionDocs::manOptions() {
    std::string text;
    for (const Option& option : OptionTable::all()) {
        if (option.onCommandLine()) {
            text += ".TP\n" + manFlag(option) + sentence(option) + "\n";
        }
    }
    return text;
}

std::string OptionDocs::manPrefsKeys() {
    std::string text;
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            text += ".TP\n.B " + std::string(option.key) + "\n" +
                    roff(capitalised(ValueRules::expectation(option)) + ", default " +
                         shownDefault(option)) +
                    ": " + roff(option.doc) + ".\n";
        }
    }
    return text;
}

std::string OptionDocs::prefsToolKeys() {
    std::size_t width = 0;
    for (const Option& option : OptionTable::all()) {
        width = std::max(width, option.key.size() + 2);
    }
    std::string text;
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            std::string key(option.key);
            key.resize(width, ' ');
            text += "  " + key + ValueRules::expectation(option) + " (default " +
                    shownDefault(option) + ")\n";
        }
    }
    return text;
}

std::string OptionDocs::beginMarker(std::string_view name, Style style) {
    const std::string words = "generated from options/OptionTable.h: " + std::string(name);
    return style == Style::Markdown ? "<!-- " + words + " -->" : ".\\\" " + words;
}

std::string OptionDocs::endMarker(std::string_view name, Style style) {
    const std::string words = "end of " + std::string(name);
    return style == Style::Markdown ? "<!-- " + words + " -->" : ".\\\" " + words;
}

namespace {

// Offsets of the first line after the begin marker and of the end marker line.
std::optional<std::pair<std::size_t, std::size_t>>
bounds(const std::string& document, const std::string& begin, const std::string& end) {
    const auto lineAt = [&document](const std::string& line, std::size_t from) {
        for (std::size_t at = document.find(line, from); at != std::string::npos;
             at = document.find(line, at + 1)) {
            const bool starts = at == 0 || document[at - 1] == '\n';
            const std::size_t after = at + line.size();
            if (starts && (after == document.size() || document[after] == '\n')) {
                return at;
            }
        }
        return std::string::npos;
    };
    const std::size_t first = lineAt(begin, 0);
    if (first == std::string::npos || first + begin.size() >= document.size()) {
        return std::nullopt;
    }
    const std::size_t inside = first + begin.size() + 1;
    const std::size_t last = lineAt(end, inside);
    if (last == std::string::npos) {
        return std::nullopt;
    }
    return std::make_pair(inside, last);
}

} // namespace

std::optional<std::string> OptionDocs::section(const std::string& document, const Block& block) {
    const auto at =
        bounds(document, beginMarker(block.name, block.style), endMarker(block.name, block.style));
    if (!at) {
        return std::nullopt;
    }
    return document.substr(at->first, at->second - at->first);
}

std::optional<std::string> OptionDocs::updated(const std::string& document, const Block& block) {
    const auto at =
        bounds(document, beginMarker(block.name, block.style), endMarker(block.name, block.style));
    if (!at) {
        return std::nullopt;
    }
    return document.substr(0, at->first) + block.generate() + document.substr(at->second);
}

} // namespace lumenarc
