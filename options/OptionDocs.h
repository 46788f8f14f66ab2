#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumenarc {

// The parts of the README and the manual pages written from the option table. Each sits
// between two marker lines naming its block; lumenarc-option-docs --update rewrites them and a
// test fails while any differs from the table.
class OptionDocs {
public:
    enum class Style { Markdown, Roff };

    struct Block {
        std::string file; // relative to the source tree
        std::string name; // named in the marker lines
        Style style;
        std::string (*generate)();
    };

    static const std::vector<Block>& blocks();

    static std::string commandLineTable(); // Markdown: the player's options
    static std::string prefsKeyTable();    // Markdown: the preferences' keys
    static std::string manOptions();       // roff: the player's options
    static std::string manPrefsKeys();     // roff: the preferences' keys
    static std::string prefsToolKeys();    // plain text: the keys in lumenarc-prefs --help

    static std::string beginMarker(std::string_view name, Style style);
    static std::string endMarker(std::string_view name, Style style);
    // The lines between the block's markers; nullopt when a marker is missing.
    static std::optional<std::string> section(const std::string& document, const Block& block);
    // The document with the block's lines replaced by what the table gives now.
    static std::optional<std::string> updated(const std::string& document, const Block& block);
};

} // namespace lumenarc
