#include "prefs/PrefsArchive.h"

#include "options/OptionTable.h"
#include "options/ValueRules.h"
#include "prefs/KeyedArchiveReader.h"
#include "prefs/PlistDocument.h"

#include <plist/plist.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace lumenarc {
namespace {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "reals are converted with IEEE semantics (out of range becomes infinity)");

constexpr const char* kPrefsEntry = "prefs";

class PlistNode {
public:
    explicit PlistNode(plist_t node) : m_node(node) {}
    ~PlistNode() { plist_free(m_node); }
    PlistNode(const PlistNode&) = delete;
    PlistNode& operator=(const PlistNode&) = delete;
    plist_t get() const { return m_node; }

private:
    plist_t m_node;
};

// ---- Writing ----

plist_t classObject(const char* name) {
    plist_t object = plist_new_dict();
    plist_dict_set_item(object, "$classname", plist_new_string(name));
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string(name));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(object, "$classes", classes);
    return object;
}

// Integers are stored as 64-bit two's complement; the binary writer then uses 8 bytes for
// negative values, which every reader takes as signed.
plist_t integer(int32_t value) {
    return plist_new_uint(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

// The saved rows of the option table in its order, then the class. A text setting refers to
// its string object (absent when it has no value). libplist writes a real in 4 bytes whenever
// the value survives a round trip through float, which every float but NaN does; a NaN volume
// goes out in 8 bytes and reads back as NaN.
plist_t managerObject(const PrefsManager& manager,
                      const std::array<std::optional<uint64_t>, kOptionCount>& textIndex,
                      uint64_t classIndex) {
    plist_t object = plist_new_dict();
    for (const Option& option : OptionTable::all()) {
        if (!option.saved()) {
            continue;
        }
        const std::string key(option.key);
        const OptionValue value = manager.value(option.id);
        if (const auto* flag = std::get_if<bool>(&value)) {
            plist_dict_set_item(object, key.c_str(), plist_new_bool(*flag));
        } else if (const auto* whole = std::get_if<int32_t>(&value)) {
            plist_dict_set_item(object, key.c_str(), integer(*whole));
        } else if (const auto* real = std::get_if<float>(&value)) {
            plist_dict_set_item(object, key.c_str(), plist_new_real(*real));
        } else if (const auto index = textIndex[indexOf(option.id)]) {
            plist_dict_set_item(object, key.c_str(), plist_new_uid(*index));
        }
    }
    plist_dict_set_item(object, "$class", plist_new_uid(classIndex));
    return object;
}

plist_t dictionaryObject(uint64_t keyIndex, uint64_t valueIndex, uint64_t classIndex) {
    plist_t object = plist_new_dict();
    plist_t keys = plist_new_array();
    plist_array_append_item(keys, plist_new_uid(keyIndex));
    plist_dict_set_item(object, "NS.keys", keys);
    plist_t values = plist_new_array();
    plist_array_append_item(values, plist_new_uid(valueIndex));
    plist_dict_set_item(object, "NS.objects", values);
    plist_dict_set_item(object, "$class", plist_new_uid(classIndex));
    return object;
}

// $objects: "$null", the root dictionary, its key, the manager, its texts that have a value
// (in table order), the manager's class and the dictionary's class.
plist_t objectTable(const PrefsManager& manager) {
    constexpr uint64_t kKey = 2, kManager = 3;
    std::array<std::optional<uint64_t>, kOptionCount> textIndex;
    std::vector<const std::string*> texts;
    for (const Option& option : OptionTable::all()) {
        const auto& text = manager.text(option.id);
        if (option.saved() &&
            std::holds_alternative<std::optional<std::string>>(ValueRules::defaultOf(option)) &&
            text) {
            textIndex[indexOf(option.id)] = kManager + 1 + texts.size();
            texts.push_back(&*text);
        }
    }
    const uint64_t managerClass = kManager + 1 + texts.size();
    const uint64_t dictionaryClass = managerClass + 1;

    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_array_append_item(objects, dictionaryObject(kKey, kManager, dictionaryClass));
    plist_array_append_item(objects, plist_new_string(kPrefsEntry));
    plist_array_append_item(objects, managerObject(manager, textIndex, managerClass));
    for (const std::string* text : texts) {
        plist_array_append_item(objects, plist_new_string(text->c_str()));
    }
    plist_array_append_item(objects, classObject("PrefsManager"));
    plist_array_append_item(objects, classObject("NSDictionary"));
    return objects;
}

plist_t archiveOf(const PrefsManager& manager) {
    plist_t archive = plist_new_dict();
    plist_dict_set_item(archive, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(archive, "$version", plist_new_uint(100000));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(archive, "$top", top);
    plist_dict_set_item(archive, "$objects", objectTable(manager));
    return archive;
}

std::optional<std::string> serialize(plist_t archive, PrefsArchive::Format format) {
    char* data = nullptr;
    uint32_t length = 0;
    if (format == PrefsArchive::Format::Binary) {
        plist_to_bin(archive, &data, &length);
    } else {
        plist_to_xml(archive, &data, &length);
    }
    std::optional<std::string> bytes;
    if (data != nullptr && length > 0) {
        bytes.emplace(data, length);
    }
    if (format == PrefsArchive::Format::Binary) {
        plist_to_bin_free(data);
    } else {
        plist_to_xml_free(data);
    }
    return bytes;
}

// ---- Reading ----
//
// A key of the wrong kind (a string under "Volume", a real under "hscreens", a count beyond
// 32 bits) makes the whole archive damaged rather than that key absent: such a file was not
// written by a keyed archiver of this manager, and taking the rest of it would mix values of
// an unknown origin with absent-key values such as volume 0.0. The user gets the defaults and
// the file is kept aside. Kinds that another archiver may legitimately use are accepted:
// integers of any width for booleans and counts, integers or reals of either width for the
// volume, and the NSString-with-NS.string form for the path.

bool readBool(KeyedArchiveReader& reader, plist_t object, const char* key) {
    const plist_t node = plist_dict_get_item(object, key);
    if (node == nullptr) {
        return false;
    }
    if (plist_get_node_type(node) == PLIST_BOOLEAN) {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0;
    }
    if (plist_get_node_type(node) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return value != 0;
    }
    reader.fail(std::string("\"") + key + "\" is not a boolean");
    return false;
}

float readFloat(KeyedArchiveReader& reader, plist_t object, const char* key) {
    const plist_t node = plist_dict_get_item(object, key);
    if (node == nullptr) {
        return 0.0f;
    }
    if (plist_get_node_type(node) == PLIST_REAL) {
        double value = 0.0;
        plist_get_real_val(node, &value);
        return static_cast<float>(value);
    }
    if (plist_get_node_type(node) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<float>(static_cast<int64_t>(value));
    }
    reader.fail(std::string("\"") + key + "\" is not a number");
    return 0.0f;
}

int32_t readInt32(KeyedArchiveReader& reader, plist_t object, const char* key) {
    const plist_t node = plist_dict_get_item(object, key);
    if (node == nullptr) {
        return 0;
    }
    uint64_t bits = 0;
    if (plist_get_node_type(node) == PLIST_UINT) {
        plist_get_uint_val(node, &bits);
        const auto value = static_cast<int64_t>(bits);
        if (value >= std::numeric_limits<int32_t>::min() &&
            value <= std::numeric_limits<int32_t>::max()) {
            return static_cast<int32_t>(value);
        }
    }
    reader.fail(std::string("\"") + key + "\" is not a 32-bit integer");
    return 0;
}

std::optional<std::string> stringObject(KeyedArchiveReader& reader, plist_t object) {
    if (const auto text = KeyedArchiveReader::stringValue(object)) {
        return std::string(*text);
    }
    if (plist_get_node_type(object) == PLIST_DICT &&
        plist_dict_get_item(object, "NS.string") != nullptr) {
        const auto name = reader.className(object);
        const auto text = KeyedArchiveReader::stringValue(plist_dict_get_item(object, "NS.string"));
        if (text && (name == "NSString" || name == "NSMutableString")) {
            return std::string(*text);
        }
    }
    return std::nullopt;
}

// Length of the UTF-8 sequence that starts with `lead`, 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xc2 && lead <= 0xdf) {
        return 2;
    }
    if (lead >= 0xe0 && lead <= 0xef) {
        return 3;
    }
    return lead >= 0xf0 && lead <= 0xf4 ? 4 : 0;
}

// Whether bytes[at..] holds a well-formed sequence: no overlong forms, no surrogates, nothing
// beyond U+10FFFF.
bool wellFormedSequence(std::string_view bytes, std::size_t at, std::size_t length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80) {
            return false;
        }
    }
    const unsigned lead = byte(0);
    if (length == 3) {
        return (lead != 0xe0 || byte(1) >= 0xa0) && (lead != 0xed || byte(1) < 0xa0);
    }
    if (length == 4) {
        return (lead != 0xf0 || byte(1) >= 0x90) && (lead != 0xf4 || byte(1) < 0x90);
    }
    return true;
}

// A path must be Unicode text without NUL: the binary format stores strings as ASCII or
// UTF-16, and libplist passes an ASCII-marked string's high bytes through unchecked, which
// would be mangled on the next save. Such a file is damaged rather than silently altered.
bool isValidText(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text[at]));
        if (length == 0 || text[at] == '\0' || length > text.size() - at ||
            !wellFormedSequence(text, at, length)) {
            return false;
        }
        at += length;
    }
    return true;
}

std::optional<std::string> readPath(KeyedArchiveReader& reader, plist_t object, const char* key) {
    const plist_t node = plist_dict_get_item(object, key);
    if (node == nullptr) {
        return std::nullopt;
    }
    const plist_t target = reader.resolve(node);
    if (target == nullptr || reader.isNil(target)) {
        return std::nullopt;
    }
    auto text = stringObject(reader, target);
    if (!text) {
        reader.fail(std::string("\"") + key + "\" is not a string");
    } else if (!isValidText(*text)) {
        reader.fail(std::string("\"") + key + "\" is not valid UTF-8 text");
        text.reset();
    }
    return text;
}

// A missing key gives what the option's history says (see StoredQuirk); a present one is read
// as the kind of the option's values.
OptionValue readValue(KeyedArchiveReader& reader, plist_t object, const Option& option) {
    const std::string key(option.key);
    if (plist_dict_get_item(object, key.c_str()) == nullptr) {
        return ValueRules::whenAbsent(option);
    }
    const OptionValue kind = ValueRules::defaultOf(option);
    if (std::holds_alternative<bool>(kind)) {
        return readBool(reader, object, key.c_str());
    }
    if (std::holds_alternative<float>(kind)) {
        return readFloat(reader, object, key.c_str());
    }
    if (std::holds_alternative<int32_t>(kind)) {
        const int32_t stored = readInt32(reader, object, key.c_str());
        return stored == 0 && option.quirk == StoredQuirk::ZeroIsDefault ? kind : stored;
    }
    return readPath(reader, object, key.c_str());
}

std::unique_ptr<PrefsManager> decodeManager(KeyedArchiveReader& reader, plist_t object) {
    if (object == nullptr || plist_get_node_type(object) != PLIST_DICT) {
        return reader.fail("\"prefs\" is not a PrefsManager");
    }
    const auto name = reader.className(object);
    if (!name || *name != "PrefsManager") {
        return reader.fail("\"prefs\" is not a PrefsManager");
    }
    auto manager = std::make_unique<PrefsManager>();
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            manager->setValue(option.id, readValue(reader, object, option));
        }
    }
    if (reader.failed()) {
        return nullptr;
    }
    return manager;
}

bool isDictionary(KeyedArchiveReader& reader, plist_t object) {
    const auto name = reader.className(object);
    return name == "NSDictionary" || name == "NSMutableDictionary";
}

PrefsArchive::Decoded damaged(std::string problem) {
    return {PrefsArchive::Outcome::Damaged, nullptr, std::move(problem)};
}

} // namespace

std::optional<std::string> PrefsArchive::encode(const PrefsManager& manager, Format format) {
    const PlistNode archive(archiveOf(manager));
    return serialize(archive.get(), format);
}

PrefsArchive::Decoded PrefsArchive::decode(std::string_view bytes) {
    if (bytes.size() > kMaxBytes) {
        return damaged("larger than " + std::to_string(kMaxBytes) + " bytes");
    }
    const PlistDocument document(bytes);
    if (document.root() == nullptr) {
        return damaged(document.problem());
    }
    KeyedArchiveReader reader(document.root());
    const plist_t root = reader.root();
    if (root == nullptr || !isDictionary(reader, root)) {
        return damaged(reader.failed() ? reader.problem() : "root object is not a dictionary");
    }
    const plist_t entry = reader.dictionaryValue(root, kPrefsEntry);
    if (reader.failed()) {
        return damaged(reader.problem());
    }
    if (entry == nullptr) {
        return {Outcome::NoPrefsEntry, nullptr, {}};
    }
    auto manager = decodeManager(reader, reader.resolve(entry));
    if (!manager) {
        return damaged(reader.problem());
    }
    return {Outcome::Manager, std::move(manager), {}};
}

} // namespace lumenarc
