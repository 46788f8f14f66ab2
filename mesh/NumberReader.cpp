#include "mesh/NumberReader.h"

#include "base/IntegerText.h"
#include "mesh/NumberConversion.h"

#include <array>

namespace lumenarc {
namespace {

constexpr std::array<NumberReader::ByteClass, 256> makeClassTable() {
    using C = NumberReader::ByteClass;
    std::array<C, 256> table{};
    // Bytes are compared as signed values in the format's definition, so 0x80..0xFF are neutral.
    for (int b = 0x42; b <= 0x7F; ++b) {
        table[b] = C::Letter;
    }
    for (int b = '0'; b <= '9'; ++b) {
        table[b] = C::NumberChar;
    }
    table['-'] = C::NumberChar;
    table['.'] = C::NumberChar;
    table['e'] = C::NumberChar;
    for (int b : {' ', '\n', '\r', ',', ';'}) {
        table[b] = C::Separator;
    }
    return table;
}

constexpr auto kClassTable = makeClassTable();

} // namespace

NumberReader::ByteClass NumberReader::classify(unsigned char byte) {
    return kClassTable[byte];
}

NumberReader::ByteClass NumberReader::classOf(size_t at) const {
    return kClassTable[static_cast<unsigned char>(m_text[at])];
}

bool NumberReader::findNumberStart() {
    const size_t end = m_text.size();
    // Before a number: letters switch numbers off, separators on, neutral bytes keep the switch.
    bool numbersOn = true;
    for (; m_index < end; ++m_index) {
        const auto byteClass = classOf(m_index);
        if (byteClass == ByteClass::NumberChar) {
            if (numbersOn) {
                break;
            }
        } else if (byteClass == ByteClass::Letter) {
            numbersOn = false;
        } else if (byteClass == ByteClass::Separator) {
            numbersOn = true;
        }
    }
    return m_index < end;
}

void NumberReader::skipNumberChars() {
    // The byte that ends a number is looked at again by the next call.
    while (m_index < m_text.size() && classOf(m_index) == ByteClass::NumberChar) {
        ++m_index;
    }
}

std::optional<std::string_view> NumberReader::GetNumberyBit() {
    if (!findNumberStart()) {
        return std::nullopt;
    }
    const size_t start = m_index;
    skipNumberChars();
    return m_text.substr(start, m_index - start);
}

std::optional<int32_t> NumberReader::scanInt() {
    const auto number = GetNumberyBit();
    if (!number) {
        return std::nullopt;
    }
    return IntegerText::leading(*number);
}

std::optional<double> NumberReader::scanDouble() {
    // Converting while finding the number's end reads its bytes once; a number the quick
    // conversion declines is found whole and converted the long way.
    if (!findNumberStart()) {
        return std::nullopt;
    }
    const char* const begin = m_text.data() + m_index;
    double value = 0;
    if (const char* stop =
            NumberConversion::quickDouble(begin, m_text.data() + m_text.size(), value)) {
        m_index += static_cast<size_t>(stop - begin);
        skipNumberChars(); // whatever follows the decimal number within the run is ignored
        return value;
    }
    const auto number = GetNumberyBit();
    if (!number) {
        return std::nullopt;
    }
    return NumberConversion::toDouble(*number);
}

} // namespace lumenarc
