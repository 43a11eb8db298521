#pragma once

#include <QList>
#include <QString>

/// The record behind one track row.
struct CDFreedinfo
{
    QString Title;
    QString Artist;
    QString Year;
    QString Album;
    QString Comment;
    QString Genre;
};

/// One record per list row, at the same index.
using TrackTable = QList<CDFreedinfo>;
