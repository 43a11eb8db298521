#include "components/lookup/LookupChain.h"

#include "components/lookup/FreeDBLog.h"
#include "components/lookup/MusicBrainzInformation.h"
#include "settings/SettingsFile.h"

LookupChain::LookupChain(QString settingsPath, std::unique_ptr<IFreeDBInformation2> cddb,
                         std::unique_ptr<MusicBrainzInformation> musicBrainz, QObject* parent)
    : IFreeDBInformation2(parent), m_settingsPath(std::move(settingsPath)), m_cddb(std::move(cddb)),
      m_musicBrainz(std::move(musicBrainz))
{
    for (IFreeDBInformation2* part :
         {m_cddb.get(), static_cast<IFreeDBInformation2*>(m_musicBrainz.get())}) {
        connect(part, &IFreeDBInformation2::entryLoaded, this, &IFreeDBInformation2::entryLoaded);
        connect(part, &IFreeDBInformation2::logLine, this, &IFreeDBInformation2::logLine);
    }
    connect(m_cddb.get(), &IFreeDBInformation2::status, this, &LookupChain::onCddbStatus);
    connect(m_musicBrainz.get(), &IFreeDBInformation2::status, this, &IFreeDBInformation2::status);
}

LookupChain::~LookupChain() = default;

void LookupChain::query(const FreeDBDisc& disc)
{
    m_discs.append(disc);
    m_cddb->query(disc);
}

void LookupChain::onCddbStatus(int status)
{
    if (!FreeDBStatus::isFinal(status)) {
        emit this->status(status);
        return;
    }
    const FreeDBDisc disc = m_discs.isEmpty() ? FreeDBDisc() : m_discs.takeFirst();
    const bool askMusicBrainz = !FreeDBStatus::isLoaded(status) &&
                                SettingsFile(m_settingsPath).read(Keys::MusicBrainz::Enabled);
    if (!askMusicBrainz) {
        emit this->status(status);
        return;
    }
    for (const QString& line : freeDBStatusLines(status))
        emit logLine(line);
    m_musicBrainz->query(disc);
}
