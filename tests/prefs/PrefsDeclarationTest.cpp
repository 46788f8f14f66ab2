// The preferences against the option table: every saved row gets its default, survives the
// file, and is refused by lumenarc-prefs beyond its declared range. A row added to the table
// is covered here without a new test.

#include "options/OptionTable.h"
#include "options/ValueRules.h"
#include "prefs/ArchiveSamples.h"
#include "prefs/PrefsArchive.h"
#include "prefs/PrefsManager.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lumenarc {
namespace {

using namespace lumenarc::test;

// A value in range that differs from the default.
OptionValue otherThanDefault(const Option& option) {
    const OptionValue fallback = ValueRules::defaultOf(option);
    if (const auto* flag = std::get_if<bool>(&fallback)) {
        return !*flag;
    }
    if (std::holds_alternative<int32_t>(fallback) || std::holds_alternative<float>(fallback)) {
        const auto top = ValueRules::parse(option, ValueRules::number(option.max));
        return ValueRules::same(*top, fallback)
                   ? *ValueRules::parse(option, ValueRules::number(option.min))
                   : *top;
    }
    return std::optional<std::string>("/declared/" + std::string(option.key));
}

TEST(PrefsDeclaration, NewManagerHoldsEveryDeclaredDefault) {
    const PrefsManager manager;
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            EXPECT_TRUE(ValueRules::same(manager.value(option.id), ValueRules::defaultOf(option)))
                << option.key;
        }
    }
}

TEST(PrefsDeclaration, EverySavedSettingSurvivesTheFile) {
    PrefsManager original;
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            original.setValue(option.id, otherThanDefault(option));
        }
    }
    const auto decoded = PrefsArchive::decode(*PrefsArchive::encode(original));
    ASSERT_TRUE(decoded.manager) << decoded.problem;
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            EXPECT_TRUE(
                ValueRules::same(decoded.manager->value(option.id), otherThanDefault(option)))
                << option.key;
        }
    }
}

// Files written before a setting existed lack its key; they must give its default.
TEST(PrefsDeclaration, AFileWithoutTheKeyGivesTheDefaultUnlessItsHistorySaysOtherwise) {
    const auto decoded = PrefsArchive::decode(xmlPrefsArchive(""));
    ASSERT_TRUE(decoded.manager) << decoded.problem;
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            EXPECT_TRUE(
                ValueRules::same(decoded.manager->value(option.id), ValueRules::whenAbsent(option)))
                << option.key;
            if (option.quirk == StoredQuirk::None) {
                EXPECT_TRUE(
                    ValueRules::same(ValueRules::whenAbsent(option), ValueRules::defaultOf(option)))
                    << option.key;
            }
        }
    }
}

TEST(PrefsDeclaration, PrefsToolRefusesJustBeyondTheDeclaredRangeAndTakesTheEdge) {
    const TempDir home;
    const std::string file = (home.path() / "edge.prefs").string();
    const std::string tool = binPath("lumenarc-prefs");
    for (const Option& option : OptionTable::all()) {
        if (!option.saved() || ValueRules::range(option).empty()) {
            continue;
        }
        const std::string key(option.key);
        const auto beyond =
            runProcess({tool, "set", "--file", file, key, ValueRules::number(option.max + 1)});
        EXPECT_EQ(beyond.exitCode, 2) << key;
        EXPECT_NE(beyond.err.find("expected " + ValueRules::expectation(option)), std::string::npos)
            << beyond.err;
        EXPECT_FALSE(std::filesystem::exists(file)) << key;

        const std::string edge = ValueRules::number(option.min);
        ASSERT_EQ(runProcess({tool, "set", "--file", file, key, edge}).exitCode, 0) << key;
        const auto shown = runProcess({tool, "show", "--file", file});
        EXPECT_NE(shown.out.find(key + "=" + edge + "\n"), std::string::npos) << shown.out;
        std::filesystem::remove(file);
    }
}

} // namespace
} // namespace lumenarc
