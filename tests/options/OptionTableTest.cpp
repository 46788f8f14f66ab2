#include "options/OptionTable.h"
#include "options/ValueRules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

// The preferences file's keys and their order are its format: files of earlier versions must
// read the same, and a save writes the keys in this order.
TEST(OptionTable, SavedRowsAreTheFileKeysInFileOrder) {
    std::vector<std::string> keys;
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            keys.emplace_back(option.key);
        }
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"LoopByDefault", "QuitWhenMovieFinishes",
                                              "StartupInFulLScreen", "Volume", "DefaultMap",
                                              "hscreens", "vscreens", "hideMouse"}));
}

TEST(OptionTable, FlagsAndKeysAreUniqueAndFoundExactly) {
    std::set<std::string_view> flags, keys;
    for (const Option& option : OptionTable::all()) {
        if (option.onCommandLine()) {
            EXPECT_TRUE(flags.insert(option.flag).second) << option.flag;
            EXPECT_EQ(OptionTable::byFlag(option.flag), &option);
        }
        if (option.saved()) {
            EXPECT_TRUE(keys.insert(option.key).second) << option.key;
            EXPECT_EQ(OptionTable::byKey(option.key), &option);
        }
        EXPECT_FALSE(option.help.empty() || option.doc.empty()) << option.flag << option.key;
    }
    EXPECT_EQ(OptionTable::byKey("StartupInFullScreen"), nullptr);
    EXPECT_EQ(OptionTable::byKey("volume"), nullptr);
}

// A default that its own row refuses would start every run out of range.
TEST(OptionTable, EveryDefaultIsAValueItsRowTakes) {
    for (const Option& option : OptionTable::all()) {
        if (!option.saved() && option.defaultValue.empty()) {
            continue; // nothing to default: absent unless given
        }
        const auto value = ValueRules::parse(option, option.defaultValue);
        ASSERT_TRUE(value) << option.key << option.flag;
        EXPECT_TRUE(ValueRules::inRange(option, *value)) << option.key << option.flag;
        EXPECT_TRUE(ValueRules::same(*value, ValueRules::defaultOf(option)));
    }
}

TEST(OptionTable, RangesRefuseAndClampAtTheirEdges) {
    const Option& screens = OptionTable::get(OptionId::HScreens);
    EXPECT_FALSE(ValueRules::parse(screens, " 2"));
    EXPECT_FALSE(ValueRules::parse(screens, "2.5"));
    EXPECT_TRUE(ValueRules::inRange(screens, int32_t{16}));
    EXPECT_FALSE(ValueRules::inRange(screens, int32_t{17}));
    EXPECT_EQ(ValueRules::clamp(screens, int32_t{-3}), OptionValue(int32_t{1}));
    EXPECT_EQ(ValueRules::expectation(screens), "a whole number from 1 to 16");
    const Option& volume = OptionTable::get(OptionId::Volume);
    EXPECT_FALSE(ValueRules::inRange(volume, *ValueRules::parse(volume, "nan")));
    EXPECT_EQ(ValueRules::clamp(volume, ValueRules::parse(volume, "nan").value()),
              OptionValue(0.0f));
    EXPECT_EQ(ValueRules::range(volume), "0..1");
    // Files of the first versions: a missing volume is silence, a missing map is no map at all.
    EXPECT_EQ(ValueRules::whenAbsent(volume), OptionValue(0.0f));
    EXPECT_EQ(ValueRules::whenAbsent(OptionTable::get(OptionId::DefaultMap)),
              OptionValue(std::optional<std::string>()));
    EXPECT_EQ(ValueRules::whenAbsent(screens), OptionValue(int32_t{1}));
}

} // namespace
} // namespace lumenarc
