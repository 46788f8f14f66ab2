#pragma once

#include <locale.h>

namespace lumenarc {

// The C locale, for conversions that must read "1.5" alike whatever the user's locale.
class CLocale {
public:
    // Made once, on first use, and kept for the whole run.
    static locale_t get();
};

} // namespace lumenarc
