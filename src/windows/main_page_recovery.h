// The main window returns to its start page after any navigation error. A start page that
// cannot load itself must not be reloaded forever: after a few attempts in a row the window
// shows a plain error page of its own instead.
#pragma once

#include <string>

class CMainPageRecovery {
public:
    static constexpr int kMaxReloads = 3;

    enum class Action { ReloadStartPage, ShowErrorPage, Nothing };

    // A navigation failed (any page, any frame).
    Action OnNavigateError();
    // The start page loaded: the next error may reload it again.
    void OnStartPageLoaded() { m_nReloads = 0; }

private:
    int m_nReloads = 0;
};

// Writes the error page into the user data folder (outside res/, so it gets no commands) and
// returns its path; empty when it cannot be written.
std::wstring WriteMainPageErrorPage();
