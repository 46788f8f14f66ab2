#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumenarc {

// Reads the object graph of a keyed archive ($archiver, $top, $objects) without trusting it.
// A reference is a UID node, or the dictionary {CF$UID: n} that stands for one in XML; every
// index is bounds-checked, and a reference is followed one step only, so cycles cannot loop.
// An inline value where a reference usually stands is taken as it is.
//
// The first problem met is kept; functions that meet one return null or nothing.
class KeyedArchiveReader {
public:
    // archive: the parsed top-level node, which must outlive the reader.
    explicit KeyedArchiveReader(plist_t archive);

    // The root object ($top's "root"), or null when the archive is not a keyed archive.
    plist_t root();

    // The object a node refers to, or the node itself when it is no reference. Null when the
    // node is missing or the reference dangles.
    plist_t resolve(plist_t node);

    // Whether a resolved object is the archive's nil ("$null" at index 0).
    bool isNil(plist_t object) const;

    // The $classname of an archived object (a dictionary with a $class reference).
    std::optional<std::string> className(plist_t object);

    // The value under `key` in an archived NSDictionary (NS.keys / NS.objects), unresolved.
    // Null without a problem when the key is not there.
    plist_t dictionaryValue(plist_t dictionary, std::string_view key);

    static std::optional<uint64_t> referenceIndex(plist_t node);
    static std::optional<std::string_view> stringValue(plist_t node);

    // Records a problem (the first one wins) and returns null for convenience.
    std::nullptr_t fail(std::string problem);
    bool failed() const { return !m_problem.empty(); }
    const std::string& problem() const { return m_problem; }

private:
    plist_t array(plist_t dictionary, const char* key);

    plist_t m_archive;
    plist_t m_objects = nullptr;
    std::string m_problem;
};

} // namespace lumenarc
