#pragma once

#include <plist/plist.h>

#include <string>
#include <string_view>

namespace lumenarc {

// A property list parsed from binary or XML bytes, freed with the document. Input that could
// make the parser recurse without bound or blow up in memory is turned down before parsing.
class PlistDocument {
public:
    // An XML document with more containers than this is no preferences archive; the bound
    // also caps the nesting that the parser and plist_free handle recursively.
    static constexpr std::size_t kMaxXmlContainers = 4096;

    explicit PlistDocument(std::string_view bytes);
    ~PlistDocument();
    PlistDocument(const PlistDocument&) = delete;
    PlistDocument& operator=(const PlistDocument&) = delete;

    // The parsed top-level node, or null when parsing failed.
    plist_t root() const { return m_root; }
    // Why parsing failed; empty on success.
    const std::string& problem() const { return m_problem; }

private:
    void parseBinary(std::string_view bytes);
    void parseXml(std::string_view bytes);

    plist_t m_root = nullptr;
    std::string m_problem;
};

} // namespace lumenarc
