#pragma once

namespace lumenarc {

// Hides the pointer, over every window of the application, for the rest of the run once asked
// to; but shows it while a modal alert, sheet or dialog is up, where it is needed. Main thread.
class PointerHider {
public:
    void hide();
    void setModalUp(bool up);

    // Whether the pointer is to be hidden now.
    static bool hidden(bool hideAsked, bool modalUp) { return hideAsked && !modalUp; }

private:
    void apply();

    bool m_hideAsked = false;
    bool m_modalUp = false;
    bool m_applied = false; // the pointer is hidden now
};

} // namespace lumenarc
