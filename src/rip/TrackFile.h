#pragma once

#include <QString>

#include <functional>

/// A track's file is written under a hidden partial name in the folder of its final name, and
/// takes the final name only once it is complete and tagged, so a file under a final name is
/// never a truncated one, whatever ends the program.

/// A partial path for finalPath that no file takes yet.
QString freshPartialPath(const QString& finalPath);

/// Gives the partial file at partialPath the name finalPath, never replacing a file: when one
/// took that name meanwhile, nextFreePath() is asked for another, until one is free. Returns the
/// name given. Throws ComponentError when the file cannot be renamed.
QString publishTrackFile(const QString& partialPath, const QString& finalPath,
                         const std::function<QString()>& nextFreePath);

/// Creates folder and its missing parents, then makes sure files can be created in it. Returns
/// what is wrong, empty when the folder is ready. A folder without write permission for its owner
/// counts as read-only also for root, so the outcome does not depend on who runs the program.
QString prepareOutputFolder(const QString& folder);
