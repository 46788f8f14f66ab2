#include "prefs/BinaryPlistShape.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace lumenarc {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;
constexpr std::string_view kMagic = "bplist00";

uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

struct Trailer {
    std::size_t offsetSize = 0;
    std::size_t refSize = 0;
    uint64_t objectCount = 0;
    uint64_t rootObject = 0;
    uint64_t tableOffset = 0;
};

std::optional<std::string> readTrailer(std::string_view bytes, Trailer& trailer) {
    if (bytes.size() < kHeaderSize + kTrailerSize || bytes.substr(0, kMagic.size()) != kMagic) {
        return "not a binary property list";
    }
    const std::size_t at = bytes.size() - kTrailerSize;
    trailer.offsetSize = static_cast<unsigned char>(bytes[at + 6]);
    trailer.refSize = static_cast<unsigned char>(bytes[at + 7]);
    trailer.objectCount = bigEndian(bytes, at + 8, 8);
    trailer.rootObject = bigEndian(bytes, at + 16, 8);
    trailer.tableOffset = bigEndian(bytes, at + 24, 8);
    if (trailer.offsetSize < 1 || trailer.offsetSize > 8 || trailer.refSize < 1 ||
        trailer.refSize > 8) {
        return "bad binary property list trailer";
    }
    if (trailer.tableOffset < kHeaderSize || trailer.tableOffset > at ||
        trailer.objectCount > (at - trailer.tableOffset) / trailer.offsetSize ||
        trailer.rootObject >= trailer.objectCount) {
        return "bad binary property list offset table";
    }
    return std::nullopt;
}

// Reads single objects: their extent and the references they hold. Objects lie between the
// header and the offset table.
class ObjectReader {
public:
    ObjectReader(std::string_view bytes, const Trailer& trailer)
        : m_bytes(bytes), m_trailer(trailer) {}

    // Fills `refs` with the objects that object `index` refers to; false for a malformed one.
    bool references(uint64_t index, std::vector<uint64_t>& refs) {
        refs.clear();
        const uint64_t at = bigEndian(m_bytes, m_trailer.tableOffset + index * m_trailer.offsetSize,
                                      m_trailer.offsetSize);
        if (at < kHeaderSize || at >= m_trailer.tableOffset) {
            return false;
        }
        const auto marker = static_cast<unsigned char>(m_bytes[at]);
        return object(at, marker >> 4, marker & 0x0f, refs);
    }

private:
    bool object(uint64_t at, unsigned type, unsigned info, std::vector<uint64_t>& refs) {
        switch (type) {
        case 0x0: // null, false, true, fill
            return info == 0 || info == 8 || info == 9 || info == 15;
        case 0x1: // integer of 2^info bytes
        case 0x2: // real of 2^info bytes
            return info <= 4 && fits(at + 1, uint64_t{1} << info, 1);
        case 0x3: // date
            return info == 3 && fits(at + 1, 8, 1);
        case 0x4: // data
        case 0x5: // ASCII string
            return counted(at, info, 1, 0, refs);
        case 0x6: // UTF-16 string
            return counted(at, info, 2, 0, refs);
        case 0x8: // UID of info + 1 bytes
            return fits(at + 1, info + 1, 1);
        case 0xa: // array
        case 0xc: // set
            return counted(at, info, m_trailer.refSize, 1, refs);
        case 0xd: // dictionary: keys, then values
            return counted(at, info, 2 * m_trailer.refSize, 2, refs);
        default:
            return false;
        }
    }

    // An object of `count` items of `itemBytes` each, holding `refsPerItem` references per item.
    // The count is in the marker, or in a following integer object when info is 15.
    bool counted(uint64_t at, unsigned info, uint64_t itemBytes, uint64_t refsPerItem,
                 std::vector<uint64_t>& refs) {
        uint64_t count = info;
        uint64_t payload = at + 1;
        if (info == 0x0f) {
            if (!fits(payload, 1, 1)) {
                return false;
            }
            const auto intMarker = static_cast<unsigned char>(m_bytes[payload]);
            const uint64_t width = uint64_t{1} << (intMarker & 0x0f);
            if ((intMarker >> 4) != 0x1 || width > 8 || !fits(payload + 1, width, 1)) {
                return false;
            }
            count = bigEndian(m_bytes, payload + 1, width);
            payload += 1 + width;
        }
        return fits(payload, count, itemBytes) && readRefs(payload, count * refsPerItem, refs);
    }

    bool readRefs(uint64_t at, uint64_t count, std::vector<uint64_t>& refs) {
        refs.reserve(count);
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t ref = bigEndian(m_bytes, at + i * m_trailer.refSize, m_trailer.refSize);
            if (ref >= m_trailer.objectCount) {
                return false;
            }
            refs.push_back(ref);
        }
        return true;
    }

    // Whether count items of unit bytes starting at `at` end before the offset table.
    bool fits(uint64_t at, uint64_t count, uint64_t unit) const {
        const uint64_t end = m_trailer.tableOffset;
        return at <= end && count <= (end - at) / unit;
    }

    std::string_view m_bytes;
    const Trailer& m_trailer;
};

// Depth-first walk from the root without recursion. Each object is read once; its expanded
// node count and depth are kept so that shared objects cost nothing more to revisit.
class GraphWalk {
public:
    GraphWalk(std::string_view bytes, const Trailer& trailer)
        : m_reader(bytes, trailer), m_state(trailer.objectCount, State::New),
          m_nodes(trailer.objectCount, 0) {}

    std::optional<std::string> run(uint64_t root) {
        if (auto problem = enter(root)) {
            return problem;
        }
        while (!m_stack.empty()) {
            if (auto problem = step()) {
                return problem;
            }
        }
        if (m_nodes[root] > BinaryPlistShape::kMaxNodes) {
            return "property list too large once shared objects are expanded";
        }
        return std::nullopt;
    }

private:
    enum class State : unsigned char { New, Open, Done };
    struct Frame {
        uint64_t index;
        std::vector<uint64_t> refs;
        std::size_t next = 0;
    };

    std::optional<std::string> step() {
        Frame& frame = m_stack.back();
        if (frame.next == frame.refs.size()) {
            finish(frame);
            m_stack.pop_back();
            return std::nullopt;
        }
        const uint64_t child = frame.refs[frame.next++];
        if (m_state[child] == State::Open) {
            return "object refers to itself";
        }
        return m_state[child] == State::New ? enter(child) : std::nullopt;
    }

    std::optional<std::string> enter(uint64_t index) {
        if (m_stack.size() >= BinaryPlistShape::kMaxDepth) {
            return "property list nested too deeply";
        }
        Frame frame{index, {}, 0};
        if (!m_reader.references(index, frame.refs)) {
            return "malformed object in binary property list";
        }
        m_state[index] = State::Open;
        m_stack.push_back(std::move(frame));
        return std::nullopt;
    }

    // Saturates just above the limit so that the sum cannot overflow.
    void finish(const Frame& frame) {
        uint64_t nodes = 1;
        for (const uint64_t child : frame.refs) {
            nodes += m_nodes[child];
            if (nodes > BinaryPlistShape::kMaxNodes) {
                nodes = BinaryPlistShape::kMaxNodes + 1;
                break;
            }
        }
        m_nodes[frame.index] = nodes;
        m_state[frame.index] = State::Done;
    }

    ObjectReader m_reader;
    std::vector<State> m_state;
    std::vector<uint64_t> m_nodes;
    std::vector<Frame> m_stack;
};

} // namespace

std::optional<std::string> BinaryPlistShape::problem(std::string_view bytes) {
    Trailer trailer;
    if (auto problem = readTrailer(bytes, trailer)) {
        return problem;
    }
    return GraphWalk(bytes, trailer).run(trailer.rootObject);
}

} // namespace lumenarc
