#pragma once

#include "gui/MainWindow.h"

#include <memory>

/// The program's windows, created once in start-up order (the main window first, so it is the
/// application's main window; it makes the output folder dialog and the settings dialog it works
/// with itself; then the about window and the tag editor) and kept for the life of the process.
class Windows final
{
public:
    explicit Windows(MainWindowParts parts);
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    Tfm_main& main() { return *m_main; }

private:
    std::unique_ptr<Tfm_main> m_main; // the other windows are its children
};
