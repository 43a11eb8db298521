#pragma once

#include "base/IFreeDBInformation2.h"

#include <QList>

#include <memory>

class MusicBrainzInformation;

/// The disc lookup of the window and of `tunecrest-rip --lookup`: CDDB first, then, when it
/// ends without an entry and `MusicBrainz`/`enabled` is 1, MusicBrainz. Its statuses are those
/// of the lookup at work; a CDDB failure that MusicBrainz follows is reported as log lines, so
/// each query has one final status (FreeDBStatus::isFinal).
class LookupChain final : public IFreeDBInformation2
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LookupChain)
public:
    LookupChain(QString settingsPath, std::unique_ptr<IFreeDBInformation2> cddb,
                std::unique_ptr<MusicBrainzInformation> musicBrainz, QObject* parent = nullptr);
    ~LookupChain() override;

    void query(const FreeDBDisc& disc) override;

private:
    void onCddbStatus(int status);

    QString m_settingsPath;
    std::unique_ptr<IFreeDBInformation2> m_cddb;
    std::unique_ptr<MusicBrainzInformation> m_musicBrainz;
    QList<FreeDBDisc> m_discs; // the discs CDDB is asked about, in order
};
