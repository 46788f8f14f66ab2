#include "prefs/PlistDocument.h"

#include "prefs/BinaryPlistShape.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace lumenarc {
namespace {

constexpr std::string_view kBinaryMagic = "bplist";

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) {
        return false;
    }
    return std::equal(
        prefix.begin(), prefix.end(), text.begin() + static_cast<long>(at),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// Counts every tag that may open an array or a dictionary, in comments and all: an
// overestimate only turns down odd files, never lets a deep one through.
std::size_t containerTags(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find('<'); at != std::string_view::npos;
         at = text.find('<', at + 1)) {
        if (startsWithNoCase(text, at + 1, "array") || startsWithNoCase(text, at + 1, "dict")) {
            ++count;
        }
    }
    return count;
}

} // namespace

PlistDocument::PlistDocument(std::string_view bytes) {
    if (bytes.empty()) {
        m_problem = "empty file";
    } else if (bytes.size() > UINT32_MAX) {
        m_problem = "too large for a property list";
    } else if (bytes.substr(0, kBinaryMagic.size()) == kBinaryMagic) {
        parseBinary(bytes);
    } else {
        parseXml(bytes);
    }
}

PlistDocument::~PlistDocument() {
    if (m_root != nullptr) {
        plist_free(m_root);
    }
}

void PlistDocument::parseBinary(std::string_view bytes) {
    if (auto problem = BinaryPlistShape::problem(bytes)) {
        m_problem = *problem;
        return;
    }
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &m_root);
    if (m_root == nullptr) {
        m_problem = "unreadable binary property list";
    }
}

void PlistDocument::parseXml(std::string_view bytes) {
    if (containerTags(bytes) > kMaxXmlContainers) {
        m_problem = "too many arrays and dictionaries for a preferences file";
        return;
    }
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &m_root);
    if (m_root == nullptr) {
        m_problem = "not a property list";
    }
}

} // namespace lumenarc
