#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lumenarc {

// Finds the numbers of a mesh file's text. Every byte is a separator (switches numbers on), a
// number character, a letter (switches numbers off, hiding digits glued to a word) or neutral.
// The text is read as raw bytes, whatever its encoding.
class NumberReader {
public:
    enum class ByteClass : uint8_t { Neutral, Separator, NumberChar, Letter };

    explicit NumberReader(std::string_view text) : m_text(text) {}

    static ByteClass classify(unsigned char byte);

    // The next number as its bytes, or nothing when the text holds no further number.
    std::optional<std::string_view> GetNumberyBit();
    std::optional<int32_t> scanInt();
    std::optional<double> scanDouble();

    size_t index() const { return m_index; }
    size_t remaining() const { return m_text.size() - m_index; }

private:
    ByteClass classOf(size_t at) const;
    // Moves to the first byte of the next number; false when the text holds none.
    bool findNumberStart();
    void skipNumberChars();

    std::string_view m_text;
    size_t m_index = 0;
};

} // namespace lumenarc
