#include "components/lookup/LocalFreeDB.h"

#include "settings/SettingsFile.h"

Cddb::EntryKeys LocalFreeDB::find(const QString& discId) const
{
    Cddb::EntryKeys keys;
    for (const auto& [key, value] : SettingsFile(m_path).readSection(discId))
        keys.append({key.toUpper(), value});
    return keys;
}

void LocalFreeDB::store(const QString& discId, const Cddb::EntryKeys& keys) const
{
    SettingsFile::Entries entries;
    for (const auto& [key, value] : keys) {
        // A value is one line of the file; line breaks travel as the entry's own escapes.
        QString line = value;
        line.replace(u'\r', u' ').replace(u'\n', QStringLiteral("\\n"));
        // A value in quotes is read without them: quoted once more, it keeps its own.
        if (line.size() >= 2 && (line.front() == u'"' || line.front() == u'\'') &&
            line.back() == line.front())
            line = u'"' + line + u'"';
        entries.append({key, line});
    }
    SettingsFile(m_path).writeSection(discId, entries);
}
