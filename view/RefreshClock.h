#pragma once

#include <cstdint>

namespace lumenarc {

// The display's refresh as seen from the instants pictures really went on screen: the last such
// instant, the period measured between them, and how many refreshes after the next one a
// picture drawn now goes on screen. Pure arithmetic on nanoseconds of one clock; no state is
// shared between threads (the render thread owns it).
class RefreshClock {
public:
    explicit RefreshClock(int64_t nominalPeriod);

    // A picture went on screen at `instant`, at refresh count `msc` (0 when the platform does
    // not count). Updates the measured period from the refreshes since the last one.
    void observe(int64_t instant, uint64_t msc);
    // A picture drawn when the next refresh was `nextAtDraw` went on screen at `actual`: the
    // whole refreshes between them are the lag (the compositor's or driver's queue).
    void learn(int64_t nextAtDraw, int64_t actual);

    bool known() const { return m_count > 0; }
    // The period comes from the display's instants, not the nominal rate.
    bool measured() const { return m_samples > 0; }
    int64_t period() const { return m_period; }
    int64_t lag() const { return m_lag; }
    int64_t lastInstant() const { return m_last; }
    // The first refresh strictly after `now`, counted from the last real instant.
    int64_t nextRefresh(int64_t now) const;
    // When a picture drawn at `now` goes on screen.
    int64_t outputTime(int64_t now) const { return nextRefresh(now) + m_lag * m_period; }

    // Refreshes between two instants whose period is uncertain are trusted only up to this.
    static constexpr int64_t kMaxRefreshesBetween = 8;
    static constexpr int64_t kMaxLag = 4;

private:
    int64_t m_period;
    int64_t m_last = 0;
    uint64_t m_lastMsc = 0;
    int64_t m_count = 0;   // real instants seen
    int64_t m_samples = 0; // period samples taken
    int64_t m_lag = 0;
};

} // namespace lumenarc
