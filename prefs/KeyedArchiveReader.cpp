#include "prefs/KeyedArchiveReader.h"

#include <utility>

namespace lumenarc {
namespace {

plist_type nodeType(plist_t node) {
    return node == nullptr ? PLIST_NONE : plist_get_node_type(node);
}

} // namespace

KeyedArchiveReader::KeyedArchiveReader(plist_t archive) : m_archive(archive) {}

plist_t KeyedArchiveReader::root() {
    if (nodeType(m_archive) != PLIST_DICT ||
        stringValue(plist_dict_get_item(m_archive, "$archiver")) != "NSKeyedArchiver") {
        return fail("not a keyed archive");
    }
    m_objects = plist_dict_get_item(m_archive, "$objects");
    if (nodeType(m_objects) != PLIST_ARRAY || plist_array_get_size(m_objects) == 0) {
        m_objects = nullptr;
        return fail("keyed archive without $objects");
    }
    const plist_t top = plist_dict_get_item(m_archive, "$top");
    if (nodeType(top) != PLIST_DICT || plist_dict_get_item(top, "root") == nullptr) {
        return fail("keyed archive without a root object");
    }
    return resolve(plist_dict_get_item(top, "root"));
}

plist_t KeyedArchiveReader::resolve(plist_t node) {
    if (node == nullptr) {
        return fail("missing object");
    }
    const auto index = referenceIndex(node);
    if (!index) {
        return node;
    }
    if (m_objects == nullptr || *index >= plist_array_get_size(m_objects)) {
        return fail("object reference " + std::to_string(*index) + " out of range");
    }
    const plist_t object = plist_array_get_item(m_objects, static_cast<uint32_t>(*index));
    if (referenceIndex(object)) {
        return fail("object " + std::to_string(*index) + " is itself a reference");
    }
    return object;
}

bool KeyedArchiveReader::isNil(plist_t object) const {
    return m_objects != nullptr && object == plist_array_get_item(m_objects, 0) &&
           stringValue(object) == "$null";
}

std::optional<std::string> KeyedArchiveReader::className(plist_t object) {
    if (nodeType(object) != PLIST_DICT || plist_dict_get_item(object, "$class") == nullptr) {
        fail("object without a class");
        return std::nullopt;
    }
    const plist_t classObject = resolve(plist_dict_get_item(object, "$class"));
    const auto name = nodeType(classObject) == PLIST_DICT
                          ? stringValue(plist_dict_get_item(classObject, "$classname"))
                          : std::nullopt;
    if (!name) {
        fail("class without a $classname");
        return std::nullopt;
    }
    return std::string(*name);
}

plist_t KeyedArchiveReader::dictionaryValue(plist_t dictionary, std::string_view key) {
    const plist_t keys = array(dictionary, "NS.keys");
    const plist_t objects = array(dictionary, "NS.objects");
    if (keys == nullptr || objects == nullptr) {
        return nullptr;
    }
    const uint32_t count = plist_array_get_size(keys);
    if (count != plist_array_get_size(objects)) {
        return fail("dictionary with unequal NS.keys and NS.objects");
    }
    for (uint32_t i = 0; i < count; ++i) {
        const plist_t candidate = resolve(plist_array_get_item(keys, i));
        if (candidate == nullptr) {
            return nullptr;
        }
        if (stringValue(candidate) == key) {
            return plist_array_get_item(objects, i);
        }
    }
    return nullptr;
}

plist_t KeyedArchiveReader::array(plist_t dictionary, const char* key) {
    const plist_t node =
        nodeType(dictionary) == PLIST_DICT ? plist_dict_get_item(dictionary, key) : nullptr;
    const plist_t resolved = node == nullptr ? nullptr : resolve(node);
    if (nodeType(resolved) != PLIST_ARRAY) {
        return fail(std::string("dictionary without an array ") + key);
    }
    return resolved;
}

std::optional<uint64_t> KeyedArchiveReader::referenceIndex(plist_t node) {
    uint64_t value = 0;
    if (nodeType(node) == PLIST_UID) {
        plist_get_uid_val(node, &value);
        return value;
    }
    if (nodeType(node) == PLIST_DICT && plist_dict_get_size(node) == 1) {
        const plist_t index = plist_dict_get_item(node, "CF$UID");
        if (nodeType(index) == PLIST_UINT) {
            plist_get_uint_val(index, &value);
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> KeyedArchiveReader::stringValue(plist_t node) {
    if (nodeType(node) != PLIST_STRING) {
        return std::nullopt;
    }
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::string_view(text, static_cast<std::size_t>(length));
}

std::nullptr_t KeyedArchiveReader::fail(std::string problem) {
    if (m_problem.empty()) {
        m_problem = std::move(problem);
    }
    return nullptr;
}

} // namespace lumenarc
