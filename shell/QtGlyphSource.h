#pragma once

#include "render/GlyphSource.h"

#include <QFont>
#include <QImage>
#include <QString>

#include <memory>
#include <string>

class QFontInfo;

namespace lumenarc {

// Glyphs from Qt's text rendering: a bold face at a pixel size, drawn without antialiasing into
// an 8-bit grey image. Needs a QGuiApplication.
class QtGlyphSource final : public GlyphSource {
public:
    // The overlay's font: "Courier", bold, 18 pixels. nullptr when no such font resolves: there
    // is no QGuiApplication, or the face Qt falls back to is not monospaced (see isUsableFace).
    static std::unique_ptr<QtGlyphSource> create(const QString& family = QStringLiteral("Courier"),
                                                 int pixelSize = 18);
    // Qt always answers a font request with some face. For a Courier request the fallback
    // chain (font aliases, then the monospace default) only lands on a proportional face when
    // no monospaced font is installed at all; such a face would break the overlay's equal
    // advances, so it counts as no font.
    static bool isUsableFace(const QFontInfo& info);

    GlyphSize measure(char16_t code) override;
    GlyphImage render(char16_t code, int width, int height) override;

    std::string familyName() const;
    bool isBold() const;
    int pixelSize() const;

private:
    explicit QtGlyphSource(const QFont& font);

    QFont m_font;
    QImage m_image; // reused while glyphs have the same size
};

} // namespace lumenarc
