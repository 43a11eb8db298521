#pragma once

#include "components/lookup/CddbProtocol.h"

#include <QString>

/// The local disc-information file (CDFreeDB.ini): one section per disc, named by its 8-digit
/// disc id, whose keys are the entry's own (DTITLE, DYEAR, DGENRE, TTITLE0 …, EXTD, EXTT0 …).
class LocalFreeDB
{
public:
    explicit LocalFreeDB(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    /// The keys of the disc's section; empty when there is none (or no readable file).
    Cddb::EntryKeys find(const QString& discId) const;
    /// Adds or replaces the disc's section; throws SettingsWriteError when the file cannot be
    /// written (it is then left as it was).
    void store(const QString& discId, const Cddb::EntryKeys& keys) const;

private:
    QString m_path;
};
