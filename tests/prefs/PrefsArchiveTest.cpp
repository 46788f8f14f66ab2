#include "prefs/PrefsArchive.h"

#include "prefs/ArchiveSamples.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

using namespace lumenarc::test;
using Outcome = PrefsArchive::Outcome;
using Format = PrefsArchive::Format;

// ---- libplist helpers for looking inside archives ----

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistFree>;

Plist parse(const std::string& bytes) {
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    return Plist(root);
}

std::string toBinary(plist_t node) {
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &data, &length);
    std::string bytes(data, length);
    plist_to_bin_free(data);
    return bytes;
}

std::string stringOf(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return "<not a string>";
    }
    return plist_get_string_ptr(node, nullptr);
}

uint64_t uidOf(plist_t node) {
    uint64_t value = std::numeric_limits<uint64_t>::max();
    if (node != nullptr && plist_get_node_type(node) == PLIST_UID) {
        plist_get_uid_val(node, &value);
    }
    return value;
}

plist_t objectAt(plist_t archive, uint64_t index) {
    return plist_array_get_item(plist_dict_get_item(archive, "$objects"),
                                static_cast<uint32_t>(index));
}

std::vector<std::string> keysInOrder(plist_t dict) {
    std::vector<std::string> keys;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter, &key, &value);
        if (value == nullptr) {
            break;
        }
        keys.emplace_back(key);
        std::free(key);
    }
    std::free(iter);
    return keys;
}

std::vector<std::string> stringsOf(plist_t array) {
    std::vector<std::string> strings;
    for (uint32_t i = 0; array != nullptr && i < plist_array_get_size(array); ++i) {
        strings.push_back(stringOf(plist_array_get_item(array, i)));
    }
    return strings;
}

std::string encoded(const PrefsManager& manager, Format format = Format::Binary) {
    const auto bytes = PrefsArchive::encode(manager, format);
    EXPECT_TRUE(bytes.has_value());
    return bytes.value_or("");
}

// Encodes a manager, lets `change` alter the parsed archive, and writes it as binary again.
std::string alteredArchive(const std::function<void(plist_t)>& change) {
    PrefsManager manager;
    manager.setDefaultMapPath("/maps/dome.data");
    Plist archive = parse(encoded(manager));
    change(archive.get());
    return toBinary(archive.get());
}

std::unique_ptr<PrefsManager> decodedManager(const std::string& bytes) {
    auto decoded = PrefsArchive::decode(bytes);
    EXPECT_EQ(decoded.outcome, Outcome::Manager) << decoded.problem;
    return decoded.outcome == Outcome::Manager ? std::move(decoded.manager)
                                               : std::make_unique<PrefsManager>();
}

uint32_t floatBits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// ---- Layout of what we write ----

class PrefsArchiveLayout : public ::testing::Test {
protected:
    void SetUp() override {
        manager.setVolume(0.75f);
        manager.setDefaultMapPath("/maps/dome.data");
        manager.setHScreens(-2);
        manager.setVScreens(70000);
        bytes = encoded(manager);
        archive = parse(bytes);
        ASSERT_NE(archive, nullptr);
    }
    plist_t top() const { return archive.get(); }
    plist_t root() const {
        return objectAt(top(),
                        uidOf(plist_dict_get_item(plist_dict_get_item(top(), "$top"), "root")));
    }
    plist_t managerObject() const {
        return objectAt(top(),
                        uidOf(plist_array_get_item(plist_dict_get_item(root(), "NS.objects"), 0)));
    }
    plist_t classOf(plist_t object) const {
        return objectAt(top(), uidOf(plist_dict_get_item(object, "$class")));
    }

    PrefsManager manager;
    std::string bytes;
    Plist archive;
};

TEST_F(PrefsArchiveLayout, IsABinaryKeyedArchive) {
    EXPECT_EQ(bytes.substr(0, 8), "bplist00");
    EXPECT_EQ(stringOf(plist_dict_get_item(top(), "$archiver")), "NSKeyedArchiver");
    uint64_t version = 0;
    plist_get_uint_val(plist_dict_get_item(top(), "$version"), &version);
    EXPECT_EQ(version, 100000u);
    EXPECT_EQ(stringOf(objectAt(top(), 0)), "$null");
}

TEST_F(PrefsArchiveLayout, RootIsADictionaryHoldingOnlyPrefs) {
    ASSERT_NE(root(), nullptr);
    const plist_t keys = plist_dict_get_item(root(), "NS.keys");
    ASSERT_EQ(plist_array_get_size(keys), 1u);
    EXPECT_EQ(stringOf(objectAt(top(), uidOf(plist_array_get_item(keys, 0)))), "prefs");
    EXPECT_EQ(plist_array_get_size(plist_dict_get_item(root(), "NS.objects")), 1u);
    EXPECT_EQ(stringOf(plist_dict_get_item(classOf(root()), "$classname")), "NSDictionary");
    EXPECT_EQ(stringsOf(plist_dict_get_item(classOf(root()), "$classes")),
              (std::vector<std::string>{"NSDictionary", "NSObject"}));
}

TEST_F(PrefsArchiveLayout, ManagerHoldsItsKeysInTableOrder) {
    const plist_t object = managerObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(keysInOrder(object),
              (std::vector<std::string>{"LoopByDefault", "QuitWhenMovieFinishes",
                                        "StartupInFulLScreen", "Volume", "DefaultMap", "hscreens",
                                        "vscreens", "hideMouse", "ShowMode", "DrawOverlay",
                                        "Screen", "AudioDevice", "AudioDelay", "$class"}));
    EXPECT_EQ(stringOf(plist_dict_get_item(classOf(object), "$classname")), "PrefsManager");
    EXPECT_EQ(stringsOf(plist_dict_get_item(classOf(object), "$classes")),
              (std::vector<std::string>{"PrefsManager", "NSObject"}));
}

TEST_F(PrefsArchiveLayout, ValuesHaveTheirKinds) {
    const plist_t object = managerObject();
    for (const char* key :
         {"LoopByDefault", "QuitWhenMovieFinishes", "StartupInFulLScreen", "hideMouse"}) {
        EXPECT_EQ(plist_get_node_type(plist_dict_get_item(object, key)), PLIST_BOOLEAN) << key;
    }
    EXPECT_EQ(plist_get_node_type(plist_dict_get_item(object, "Volume")), PLIST_REAL);
    EXPECT_EQ(plist_get_node_type(plist_dict_get_item(object, "hscreens")), PLIST_UINT);
    EXPECT_EQ(plist_get_node_type(plist_dict_get_item(object, "vscreens")), PLIST_UINT);
    const uint64_t path = uidOf(plist_dict_get_item(object, "DefaultMap"));
    EXPECT_EQ(stringOf(objectAt(top(), path)), "/maps/dome.data");
}

// A binary real with marker 0x22 is 4 bytes wide (0.75f is 3F 40 00 00); 0x23 is 8 bytes.
TEST_F(PrefsArchiveLayout, VolumeIsAFourByteReal) {
    EXPECT_NE(bytes.find(std::string("\x22\x3f\x40\x00\x00", 5)), std::string::npos);
    EXPECT_EQ(bytes.find(std::string("\x23\x3f\xe8\x00\x00\x00\x00\x00\x00", 9)),
              std::string::npos);
}

TEST_F(PrefsArchiveLayout, NegativeCountIsAnEightByteSignedInteger) {
    EXPECT_NE(bytes.find(std::string("\x13\xff\xff\xff\xff\xff\xff\xff\xfe", 9)),
              std::string::npos);
}

TEST(PrefsArchiveLayoutWithoutPath, ManagerWithoutPathWritesNoDefaultMap) {
    PrefsManager manager;
    manager.setDefaultMapPath(std::nullopt);
    const Plist archive = parse(encoded(manager));
    const plist_t objects = plist_dict_get_item(archive.get(), "$objects");
    bool found = false;
    for (uint32_t i = 0; i < plist_array_get_size(objects); ++i) {
        const plist_t object = plist_array_get_item(objects, i);
        if (plist_get_node_type(object) == PLIST_DICT && plist_dict_get_item(object, "$class")) {
            found = found || plist_dict_get_item(object, "hscreens") != nullptr;
            EXPECT_EQ(plist_dict_get_item(object, "DefaultMap"), nullptr);
        }
    }
    EXPECT_TRUE(found);
}

// ---- Round trips ----

struct Sample {
    const char* name;
    bool loop, quit, fullScreen;
    float volume;
    std::optional<std::string> path;
    int32_t hscreens, vscreens;
    bool hide;
};

void PrintTo(const Sample& sample, std::ostream* out) {
    *out << sample.name;
}

void apply(const Sample& s, PrefsManager& m) {
    m.setLoopByDefault(s.loop);
    m.setQuitWhenMovieFinishes(s.quit);
    m.setStartupInFullScreen(s.fullScreen);
    m.setVolume(s.volume);
    m.setDefaultMapPath(s.path);
    m.setHScreens(s.hscreens);
    m.setVScreens(s.vscreens);
    m.setHideMouse(s.hide);
}

constexpr int32_t kMinInt = std::numeric_limits<int32_t>::min();
constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();
constexpr float kInf = std::numeric_limits<float>::infinity();

const Sample kSamples[] = {
    {"defaults", false, false, false, 1.0f, "", 1, 1, false},
    {"all_set", true, true, true, 0.1f, "/home/user/maps/dome.data", 3, 2, true},
    {"no_path", true, false, true, 0.0f, std::nullopt, 1, 4, false},
    {"negative_counts", false, true, false, -1.5f, "", -2, kMinInt, true},
    {"largest_values", false, false, true, std::numeric_limits<float>::max(), "x", kMaxInt, kMaxInt,
     false},
    {"tiny_volume", true, true, false, std::numeric_limits<float>::denorm_min(), "", 255, 256,
     true},
    {"zero_volume", false, false, false, 0.0f, "", 65535, 65536, false},
    {"infinite_volume", false, false, false, -kInf, "", 1, 1, false},
    {"nan_volume", false, false, false, std::numeric_limits<float>::quiet_NaN(), "", 1, 1, false},
    {"unicode_path", false, false, false, 0.5f, "/tmp/Kuppel \xc3\xa4/\xe6\x97\xa5 map.data", 1, 1,
     false},
    {"odd_path", false, false, false, 0.5f, "line\nbreak <&> \"quoted\" $null", 1, 1, false},
};

class PrefsArchiveRoundTrip : public ::testing::TestWithParam<std::tuple<Sample, Format>> {};

TEST_P(PrefsArchiveRoundTrip, EveryFieldComesBack) {
    const auto& [sample, format] = GetParam();
    PrefsManager original;
    apply(sample, original);
    const auto loaded = decodedManager(encoded(original, format));
    EXPECT_EQ(loaded->loopByDefault(), sample.loop);
    EXPECT_EQ(loaded->quitWhenMovieFinishes(), sample.quit);
    EXPECT_EQ(loaded->startupInFullScreen(), sample.fullScreen);
    EXPECT_EQ(floatBits(loaded->volume()), floatBits(sample.volume)) << loaded->volume();
    EXPECT_EQ(loaded->defaultMapPath(), sample.path);
    EXPECT_EQ(loaded->hscreens(), sample.hscreens);
    EXPECT_EQ(loaded->vscreens(), sample.vscreens);
    EXPECT_EQ(loaded->hideMouse(), sample.hide);
}

INSTANTIATE_TEST_SUITE_P(Samples, PrefsArchiveRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kSamples),
                                            ::testing::Values(Format::Binary, Format::Xml)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Format::Binary ? "_binary"
                                                                               : "_xml");
                         });

// libplist 2.2 writes -0.0 as "0.0" in XML, so only the binary form keeps the sign.
TEST(PrefsArchiveBinaryOnly, NegativeZeroVolumeKeepsItsSign) {
    PrefsManager original;
    original.setVolume(-0.0f);
    EXPECT_TRUE(std::signbit(decodedManager(encoded(original))->volume()));
}

TEST(PrefsArchiveScreenCounts, ZeroComesBackAsOne) {
    PrefsManager original;
    original.setHScreens(0);
    original.setVScreens(0);
    const auto loaded = decodedManager(encoded(original));
    EXPECT_EQ(loaded->hscreens(), 1);
    EXPECT_EQ(loaded->vscreens(), 1);
}

// ---- Archives written by hand ----

TEST(PrefsArchiveXmlInput, HandWrittenArchiveLoadsEveryKey) {
    const auto loaded = decodedManager(fullPrefsArchive());
    EXPECT_TRUE(loaded->loopByDefault());
    EXPECT_TRUE(loaded->quitWhenMovieFinishes());
    EXPECT_TRUE(loaded->startupInFullScreen());
    EXPECT_EQ(loaded->volume(), 0.25f);
    EXPECT_EQ(loaded->defaultMapPath(), "/maps/dome.data");
    EXPECT_EQ(loaded->hscreens(), 3);
    EXPECT_EQ(loaded->vscreens(), 2);
    EXPECT_TRUE(loaded->hideMouse());
}

TEST(PrefsArchiveAbsentKeys, EmptyManagerTakesTheAbsentKeyValuesNotTheDefaults) {
    const auto loaded = decodedManager(xmlPrefsArchive(""));
    EXPECT_FALSE(loaded->loopByDefault());
    EXPECT_FALSE(loaded->quitWhenMovieFinishes());
    EXPECT_FALSE(loaded->startupInFullScreen());
    EXPECT_EQ(loaded->volume(), 0.0f);
    EXPECT_FALSE(loaded->defaultMapPath().has_value());
    EXPECT_EQ(loaded->hscreens(), 1);
    EXPECT_EQ(loaded->vscreens(), 1);
    EXPECT_FALSE(loaded->hideMouse());
}

TEST(PrefsArchiveAbsentKeys, MissingVolumeIsZeroAndMissingMapIsNone) {
    const auto loaded = decodedManager(
        xmlPrefsArchive("<key>LoopByDefault</key><true/><key>hscreens</key><integer>2</integer>"));
    EXPECT_TRUE(loaded->loopByDefault());
    EXPECT_EQ(loaded->hscreens(), 2);
    EXPECT_EQ(loaded->volume(), 0.0f);
    EXPECT_FALSE(loaded->defaultMapPath().has_value());
}

TEST(PrefsArchiveAbsentKeys, StartupKeyInAnotherCaseIsNotRead) {
    for (const char* key : {"StartupInFullScreen", "startupInFulLScreen", "STARTUPINFULLSCREEN",
                            "StartupInFulLscreen"}) {
        const auto loaded =
            decodedManager(xmlPrefsArchive(std::string("<key>") + key + "</key><true/>"));
        EXPECT_FALSE(loaded->startupInFullScreen()) << key;
    }
    const auto exact = decodedManager(xmlPrefsArchive("<key>StartupInFulLScreen</key><true/>"));
    EXPECT_TRUE(exact->startupInFullScreen());
}

TEST(PrefsArchiveAbsentKeys, ScreenCountsZeroBecomesOneNegativeStays) {
    const auto loaded = decodedManager(xmlPrefsArchive(
        "<key>hscreens</key><integer>0</integer><key>vscreens</key><integer>-2</integer>"));
    EXPECT_EQ(loaded->hscreens(), 1);
    EXPECT_EQ(loaded->vscreens(), -2);
}

// ---- What other archivers may write ----

TEST(PrefsArchiveTolerance, OtherNumberWidthsAndKinds) {
    const auto loaded = decodedManager(
        xmlPrefsArchive("<key>hideMouse</key><integer>1</integer>" // a boolean as an integer
                        "<key>LoopByDefault</key><integer>0</integer>"
                        "<key>Volume</key><integer>2</integer>" // a whole volume as an integer
                        "<key>vscreens</key><integer>2147483647</integer>"
                        "<key>hscreens</key><integer>-2147483648</integer>"));
    EXPECT_TRUE(loaded->hideMouse());
    EXPECT_FALSE(loaded->loopByDefault());
    EXPECT_EQ(loaded->volume(), 2.0f);
    EXPECT_EQ(loaded->vscreens(), kMaxInt);
    EXPECT_EQ(loaded->hscreens(), kMinInt);
}

TEST(PrefsArchiveTolerance, EightByteRealIsNarrowedToFloat) {
    const std::string bytes = alteredArchive([](plist_t archive) {
        plist_t manager = objectAt(archive, 3);
        plist_dict_set_item(manager, "Volume", plist_new_real(0.1)); // not a float: 8 bytes
    });
    EXPECT_NE(bytes.find('\x23'), std::string::npos);
    EXPECT_EQ(decodedManager(bytes)->volume(), 0.1f);
}

TEST(PrefsArchiveTolerance, BinaryUidsAndXmlUidsBothResolve) {
    const std::string bytes = alteredArchive([](plist_t) {});
    EXPECT_EQ(decodedManager(bytes)->defaultMapPath(), "/maps/dome.data");
    EXPECT_EQ(decodedManager(fullPrefsArchive())->defaultMapPath(), "/maps/dome.data");
}

TEST(PrefsArchiveTolerance, PathAsNullReferenceIsNone) {
    const auto loaded = decodedManager(xmlPrefsArchive("<key>DefaultMap</key>" + uid(0)));
    EXPECT_FALSE(loaded->defaultMapPath().has_value());
}

TEST(PrefsArchiveTolerance, PathAsArchivedMutableString) {
    const std::string path = "<dict><key>NS.string</key><string>/m.data</string>"
                             "<key>$class</key>" +
                             uid(7) + "</dict>";
    const auto loaded = decodedManager(
        xmlPrefsArchive("<key>DefaultMap</key>" + uid(6), {path, classEntry("NSMutableString")}));
    EXPECT_EQ(loaded->defaultMapPath(), "/m.data");
}

TEST(PrefsArchiveTolerance, OrderOfObjectsAndKeysDoesNotMatter) {
    // Classes first, the manager last, the root at 4, keys in reverse.
    const std::string archive = xmlKeyedArchive(
        {xmlString("$null"), classEntry("PrefsManager"), classEntry("NSMutableDictionary"),
         xmlString("prefs"), dictionaryEntry(3, 6, 2), xmlString("/p.data"),
         "<dict><key>$class</key>" + uid(1) +
             "<key>hideMouse</key><true/><key>vscreens</key><integer>5</integer>"
             "<key>DefaultMap</key>" +
             uid(5) + "<key>Volume</key><real>0.5</real></dict>"},
        4);
    const auto loaded = decodedManager(archive);
    EXPECT_TRUE(loaded->hideMouse());
    EXPECT_EQ(loaded->vscreens(), 5);
    EXPECT_EQ(loaded->volume(), 0.5f);
    EXPECT_EQ(loaded->defaultMapPath(), "/p.data");
}

TEST(PrefsArchiveTolerance, ClassIsFoundByItsClassname) {
    const std::string archive = xmlKeyedArchive({
        xmlString("$null"),
        dictionaryEntry(2, 3, 5),
        xmlString("prefs"),
        "<dict><key>hscreens</key><integer>4</integer><key>$class</key>" + uid(4) + "</dict>",
        "<dict><key>$classes</key><array><string>PrefsManager</string><string>Base</string>"
        "<string>NSObject</string></array><key>$classname</key><string>PrefsManager</string>"
        "</dict>",
        classEntry("NSDictionary"),
    });
    EXPECT_EQ(decodedManager(archive)->hscreens(), 4);
}

// ---- Root without "prefs" ----

TEST(PrefsArchiveNoPrefsEntry, RootWithOtherKeysOrNoneYieldsNothingToReport) {
    const std::string otherKey =
        xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 3, 4), xmlString("settings"),
                         "<dict><key>$class</key>" + uid(5) + "</dict>", classEntry("NSDictionary"),
                         classEntry("PrefsManager")});
    const std::string empty = xmlKeyedArchive(
        {xmlString("$null"),
         "<dict><key>NS.keys</key><array/><key>NS.objects</key><array/><key>$class</key>" + uid(2) +
             "</dict>",
         classEntry("NSDictionary")});
    const std::string caseDiffers =
        xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 3, 5), xmlString("Prefs"),
                         "<dict><key>$class</key>" + uid(4) + "</dict>", classEntry("PrefsManager"),
                         classEntry("NSDictionary")});
    for (const auto& bytes : {otherKey, empty, caseDiffers}) {
        const auto decoded = PrefsArchive::decode(bytes);
        EXPECT_EQ(decoded.outcome, Outcome::NoPrefsEntry) << decoded.problem;
        EXPECT_EQ(decoded.manager, nullptr);
    }
}

// ---- Damage ----

struct DamagedSample {
    const char* name;
    std::function<std::string()> bytes;
};

std::string validBinary() {
    PrefsManager manager;
    manager.setDefaultMapPath("/maps/dome.data");
    return encoded(manager);
}

std::string managerWith(const std::string& keys) {
    return xmlPrefsArchive(keys);
}

// A binary archive whose ASCII-marked path has one byte replaced.
std::string pathWithByte(char byte) {
    std::string bytes = validBinary();
    bytes[bytes.find("/maps/dome.data") + 5] = byte;
    return bytes;
}

const DamagedSample kDamaged[] = {
    {"empty", [] { return std::string(); }},
    {"garbage", [] { return std::string("\x01\x02 this is no property list \xff\xfe"); }},
    {"truncated_binary", [] { return validBinary().substr(0, validBinary().size() / 2); }},
    {"truncated_xml", [] { return fullPrefsArchive().substr(0, 300); }},
    {"plain_property_list",
     [] { return std::string("<plist version=\"1.0\"><dict><key>a</key><true/></dict></plist>"); }},
    {"top_level_array", [] { return std::string("<plist><array/></plist>"); }},
    {"other_archiver",
     [] {
         auto text = fullPrefsArchive();
         return text.replace(text.find("NSKeyedArchiver"), 15, "NSArchiver12345");
     }},
    {"volume_is_a_string", [] { return managerWith("<key>Volume</key><string>1.0</string>"); }},
    {"loop_is_a_string",
     [] { return managerWith("<key>LoopByDefault</key><string>YES</string>"); }},
    {"hscreens_is_a_real", [] { return managerWith("<key>hscreens</key><real>2.0</real>"); }},
    {"vscreens_beyond_32_bits",
     [] { return managerWith("<key>vscreens</key><integer>4294967296</integer>"); }},
    {"hscreens_is_a_reference", [] { return managerWith("<key>hscreens</key>" + uid(2)); }},
    {"map_is_a_number", [] { return managerWith("<key>DefaultMap</key><integer>7</integer>"); }},
    {"map_with_a_high_byte_in_ascii", [] { return pathWithByte('\xd2'); }},
    {"map_refers_to_a_class", [] { return managerWith("<key>DefaultMap</key>" + uid(4)); }},
    {"map_uid_out_of_range", [] { return managerWith("<key>DefaultMap</key>" + uid(99)); }},
    {"root_uid_out_of_range",
     [] {
         return xmlKeyedArchive({xmlString("$null"), classEntry("NSDictionary")}, 1000000);
     }},
    {"binary_root_uid_out_of_range",
     [] {
         return alteredArchive([](plist_t archive) {
             plist_dict_set_item(plist_dict_get_item(archive, "$top"), "root",
                                 plist_new_uid(4000000000u));
         });
     }},
    {"binary_class_uid_out_of_range",
     [] {
         return alteredArchive([](plist_t archive) {
             plist_dict_set_item(objectAt(archive, 3), "$class", plist_new_uid(77));
         });
     }},
    {"class_refers_to_its_object",
     [] {
         return xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 3, 4), xmlString("prefs"),
                                 "<dict><key>$class</key>" + uid(3) + "</dict>",
                                 classEntry("NSDictionary")});
     }},
    {"prefs_is_the_root_itself",
     [] {
         return xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 1, 3), xmlString("prefs"),
                                 classEntry("NSDictionary")});
     }},
    {"object_is_a_reference_to_itself",
     [] {
         return xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 3, 5), xmlString("prefs"),
                                 uid(3), classEntry("PrefsManager"), classEntry("NSDictionary")});
     }},
    {"prefs_is_not_a_manager",
     [] {
         return xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 3, 5), xmlString("prefs"),
                                 "<dict><key>$class</key>" + uid(4) + "</dict>",
                                 classEntry("NSArray"), classEntry("NSDictionary")});
     }},
    {"prefs_is_nil",
     [] {
         return xmlKeyedArchive({xmlString("$null"), dictionaryEntry(2, 0, 3), xmlString("prefs"),
                                 classEntry("NSDictionary")});
     }},
    {"root_is_not_a_dictionary",
     [] {
         return xmlKeyedArchive({xmlString("$null"), "<dict><key>$class</key>" + uid(2) + "</dict>",
                                 classEntry("PrefsManager")});
     }},
    {"keys_and_objects_differ_in_length",
     [] {
         return xmlKeyedArchive({xmlString("$null"),
                                 "<dict><key>NS.keys</key><array>" + uid(2) + uid(2) +
                                     "</array><key>NS.objects</key><array>" + uid(3) +
                                     "</array><key>$class</key>" + uid(4) + "</dict>",
                                 xmlString("prefs"), xmlString("x"), classEntry("NSDictionary")});
     }},
    {"larger_than_a_mebibyte",
     [] { return fullPrefsArchive() + std::string(PrefsArchive::kMaxBytes, ' '); }},
};

void PrintTo(const DamagedSample& sample, std::ostream* out) {
    *out << sample.name;
}

class PrefsArchiveDamaged : public ::testing::TestWithParam<DamagedSample> {};

TEST_P(PrefsArchiveDamaged, IsReportedWithoutAManager) {
    const auto decoded = PrefsArchive::decode(GetParam().bytes());
    EXPECT_EQ(decoded.outcome, Outcome::Damaged);
    EXPECT_EQ(decoded.manager, nullptr);
    EXPECT_FALSE(decoded.problem.empty());
}

INSTANTIATE_TEST_SUITE_P(Samples, PrefsArchiveDamaged, ::testing::ValuesIn(kDamaged),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrefsArchiveTruncated, EveryPrefixOfABinaryArchiveIsDamaged) {
    const std::string bytes = validBinary();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const auto decoded = PrefsArchive::decode(bytes.substr(0, length));
        ASSERT_EQ(decoded.outcome, Outcome::Damaged) << "prefix of " << length << " bytes";
    }
}

// ---- Hostile shapes that would take the parser down ----

std::string bigEndian(uint64_t value, int width) {
    std::string out;
    for (int i = width - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
    return out;
}

// A binary property list from raw object encodings, object 0 the root, 4-byte offsets.
std::string binaryPlist(const std::vector<std::string>& objects, int refSize) {
    std::string out = "bplist00";
    std::vector<uint64_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    const uint64_t table = out.size();
    for (const uint64_t offset : offsets) {
        out += bigEndian(offset, 4);
    }
    out += std::string(6, '\0') + '\x04' + static_cast<char>(refSize);
    return out + bigEndian(objects.size(), 8) + bigEndian(0, 8) + bigEndian(table, 8);
}

// Arrays each holding `width` references to the next one; the last one is empty.
std::string chainOfArrays(int length, int width) {
    std::vector<std::string> objects;
    for (int i = 0; i < length; ++i) {
        std::string array(1, static_cast<char>(0xa0 | width));
        for (int w = 0; w < width; ++w) {
            array += bigEndian(static_cast<uint64_t>(i + 1), 4);
        }
        objects.push_back(array);
    }
    objects.emplace_back("\xa0");
    return binaryPlist(objects, 4);
}

void expectDamagedQuickly(const std::string& bytes) {
    const auto start = std::chrono::steady_clock::now();
    const auto decoded = PrefsArchive::decode(bytes);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(decoded.outcome, Outcome::Damaged);
    EXPECT_LT(elapsed, std::chrono::seconds(2));
}

TEST(PrefsArchiveHostile, DeepNestingInBinary) {
    expectDamagedQuickly(chainOfArrays(100000, 1));
}

TEST(PrefsArchiveHostile, SharedReferencesThatExpandExponentially) {
    expectDamagedQuickly(chainOfArrays(64, 2));
}

TEST(PrefsArchiveHostile, ArrayContainingItself) {
    expectDamagedQuickly(binaryPlist({std::string("\xa1\x00\x00\x00\x00", 5)}, 4));
}

TEST(PrefsArchiveHostile, ObjectCountBeyondTheFile) {
    std::string bytes = chainOfArrays(3, 1);
    bytes.replace(bytes.size() - 24, 8, bigEndian(uint64_t{1} << 60, 8));
    expectDamagedQuickly(bytes);
}

TEST(PrefsArchiveHostile, DeepNestingInXml) {
    std::string text = "<plist version=\"1.0\">";
    for (int i = 0; i < 60000; ++i) {
        text += "<array>";
    }
    for (int i = 0; i < 60000; ++i) {
        text += "</array>";
    }
    expectDamagedQuickly(text + "</plist>");
}

} // namespace
} // namespace lumenarc
