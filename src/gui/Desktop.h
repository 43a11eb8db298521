#pragma once

#include <QString>

/// The pages the program opens: local help pages installed with it, since it has no web site.
enum class HelpPage {
    Faq,             // answers to common questions
    Home,            // what the program is and does
    DriverDownload,  // what to do when no CD drive is found
    RuntimeDownload, // what the WMA encoder can and cannot make, and what to use instead
};

/// The address of a help page: its file beside the program (the build tree), else in the
/// installed data folder.
QString helpPageAddress(HelpPage page);

/// The address of the support mail.
QString supportMailAddress();

/// Hands target (a page, a folder, a mail address) to the desktop's opener, xdg-open, found on
/// PATH and started detached. False when it could not be started.
bool openWithDesktop(const QString& target);
