#include "shell/QtGlyphSource.h"

#include "render/GlyphBitmap.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>

namespace lumenarc {

std::unique_ptr<QtGlyphSource> QtGlyphSource::create(const QString& family, int pixelSize) {
    // Fonts are unavailable (and QFont aborts) before the GUI application exists.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr || pixelSize <= 0) {
        return nullptr;
    }
    QFont font(family);
    font.setBold(true);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    if (!isUsableFace(QFontInfo(font))) {
        return nullptr;
    }
    return std::unique_ptr<QtGlyphSource>(new QtGlyphSource(font));
}

bool QtGlyphSource::isUsableFace(const QFontInfo& info) {
    return info.fixedPitch();
}

QtGlyphSource::QtGlyphSource(const QFont& font) : m_font(font) {}

GlyphSize QtGlyphSource::measure(char16_t code) {
    const QFontMetricsF metrics(m_font);
    // The advance, and the full ascent-to-descent height so that no descender is cut off.
    return {metrics.horizontalAdvance(QString(QChar(code))), metrics.height()};
}

GlyphImage QtGlyphSource::render(char16_t code, int width, int height) {
    GlyphImage glyph{width, height, 0, 1, {}};
    if (!GlyphBitmap::fits(width, height) || width == 0 || height == 0) {
        return glyph;
    }
    if (m_image.width() != width || m_image.height() != height) {
        m_image = QImage(width, height, QImage::Format_Grayscale8);
    }
    if (m_image.isNull()) {
        return glyph;
    }
    m_image.fill(0);
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(m_font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, width, height), Qt::AlignLeft | Qt::AlignTop,
                     QString(QChar(code)));
    painter.end();

    glyph.bytesPerRow = static_cast<int>(m_image.bytesPerLine());
    const auto* bits = m_image.constBits();
    glyph.samples.assign(bits, bits + m_image.sizeInBytes());
    return glyph;
}

std::string QtGlyphSource::familyName() const {
    return QFontInfo(m_font).family().toStdString();
}

bool QtGlyphSource::isBold() const {
    return QFontInfo(m_font).bold();
}

int QtGlyphSource::pixelSize() const {
    return QFontInfo(m_font).pixelSize();
}

} // namespace lumenarc
