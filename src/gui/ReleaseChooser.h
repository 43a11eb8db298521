#pragma once

#include "components/lookup/MusicBrainzRelease.h"

#include <QDialog>
#include <QList>

class QTreeWidget;

/// The small dialog `fm_release` that lists the releases of a looked-up disc (title, artist,
/// date, country, label, catalogue number, barcode) in `lv_releases`. Enter, a double click or
/// `btn_ok` picks the selected one; `btn_cancel` picks none.
class Tfm_release final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_release)
public:
    Tfm_release(const QList<MusicBrainzReleaseSummary>& releases, QWidget* parent);

    /// The selected row, -1 for none.
    int chosen() const;

private:
    QTreeWidget* m_list;
};

/// Shows the dialog modally over parent: the chosen release's index, or -1 when it was
/// cancelled.
int chooseRelease(QWidget* parent, const QList<MusicBrainzReleaseSummary>& releases);
