// Feeds arbitrary bytes to the mesh reader. Besides crashes and sanitizer reports it checks
// that every number converts exactly as strtod does in the C locale, and that a loaded mesh
// holds exactly the nodes its size claims.

#include "mesh/DistortionMatrix.h"
#include "mesh/NumberConversion.h"
#include "mesh/NumberReader.h"

#include <bit>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <string>

using namespace lumenarc;

namespace {

void checkConversions(std::string_view text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    NumberReader reader(text);
    int count = 0;
    while (auto number = reader.GetNumberyBit()) {
        if (++count > 1000) {
            break;
        }
        const std::string copy(*number);
        const double expected = strtod_l(copy.c_str(), nullptr, cLocale);
        const double actual = NumberConversion::toDouble(*number);
        if (std::bit_cast<uint64_t>(expected) != std::bit_cast<uint64_t>(actual)) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkConversions(text);
    const auto mesh = DistortionMatrix::initFromText(text);
    if (mesh) {
        const size_t expected = mesh->width() > 0 && mesh->height() > 0
                                    ? static_cast<size_t>(mesh->width()) * mesh->height()
                                    : 0;
        if (mesh->vertices().size() != expected) {
            std::abort();
        }
        for (int32_t y = 0; y < mesh->height() && y < 4; ++y) {
            for (int32_t x = 0; x < mesh->width() && x < 4; ++x) {
                const double l = mesh->luminanceAtX(x, y);
                if (!(l >= 0.0 && l <= 1.0) && l == l) {
                    std::abort();
                }
                (void)mesh->uCoordAtX(x, y);
                (void)mesh->vCoordAtX(x, y);
            }
        }
    }
    return 0;
}
