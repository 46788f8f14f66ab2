#include "shell/QtTextField.h"

#include <QLineEdit>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace lumenarc {

namespace {

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits from the start of text, as a magnitude capped just past the 32-bit range so that
// any number of digits cannot overflow.
int64_t leadingMagnitude(std::string_view text) {
    constexpr int64_t cap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (size_t i = 0; i < text.size() && isDigit(text[i]); ++i) {
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), cap);
    }
    return magnitude;
}

} // namespace

int QtTextField::leadingInt(std::string_view text) {
    const auto start = std::find_if_not(text.begin(), text.end(), isSpace);
    text.remove_prefix(static_cast<size_t>(start - text.begin()));
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    const int64_t magnitude = leadingMagnitude(text);
    return static_cast<int>(std::clamp<int64_t>(negative ? -magnitude : magnitude,
                                                std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max()));
}

std::string QtTextField::stringValue() const {
    return m_field->text().toStdString();
}

void QtTextField::setStringValue(const std::string& value) {
    m_field->setText(QString::fromStdString(value));
}

int QtTextField::intValue() const {
    return leadingInt(stringValue());
}

void QtTextField::setIntValue(int value) {
    m_field->setText(QString::number(value));
}

} // namespace lumenarc
