#include "base/CLocale.h"

namespace lumenarc {

locale_t CLocale::get() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

} // namespace lumenarc
