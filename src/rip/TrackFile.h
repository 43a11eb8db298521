#pragma once

#include "base/UniqueFd.h"
#include "rip/OutputNaming.h"
#include "rip/TagRecord.h"

#include <QString>

#include <functional>

/// A track's file is written under a hidden partial name in the folder of its final name, and
/// takes the final name only once it is complete and tagged, so a file under a final name is
/// never a truncated one, whatever ends the program.

/// A partial path for finalPath that no file takes yet.
QString freshPartialPath(const QString& finalPath);

/// Takes an advisory lock (flock) on the partial file at path and holds it while the descriptor
/// lives, so the sweep of another rip into the same folder leaves the file alone. An invalid
/// descriptor when the file cannot be opened or is locked already.
UniqueFd lockPartialFile(const QString& path);

/// Removes from folder the partial files that a rip killed on the way left behind: names in the
/// partial pattern, regular files whose lock can be taken and that have not been written for a
/// while (a partial is locked just after it is made). Nothing else is ever touched.
void sweepStalePartials(const QString& folder);

/// Gives the partial file at partialPath the name finalPath, never replacing a file: when one
/// took that name meanwhile, nextFreePath() is asked for another, until one is free. Returns the
/// name given. Throws ComponentError when the file cannot be renamed.
QString publishTrackFile(const QString& partialPath, const QString& finalPath,
                         const std::function<QString()>& nextFreePath);

/// What names a track's file: its folder, the row's caption, the format's extension and the
/// track's number.
struct TrackFileName
{
    QString directory;
    QString caption;
    QString extension;
    int number = 0;
};

/// The last steps of every track, whoever rips it: tags the partial file as the extension calls
/// for, then gives it the name path, or the next free numbered one when a file took that name
/// meanwhile. Returns the path given. Throws ComponentError.
QString finishTrackFile(const QString& partial, const QString& path, const TrackFileName& name,
                        const TagRecord& tag,
                        const std::function<bool(const QString&)>& isTaken = isTakenPath);

/// Creates folder (with its missing parents, or only the folder itself when they must exist),
/// then makes sure files can be created in it; throws ComponentError saying what is wrong. A
/// folder without write permission for its owner counts as read-only also for root, so the
/// outcome does not depend on who runs the program.
enum class FolderCreation { WithParents, FolderOnly };
void prepareOutputFolder(const QString& folder,
                         FolderCreation creation = FolderCreation::WithParents);
