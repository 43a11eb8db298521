#include "components/lookup/LookupSettings.h"

#include "settings/SettingsFile.h"

namespace {

constexpr int DefaultTimeout = 10000;
constexpr int MaxTimeout = 10 * 60 * 1000;

} // namespace

int lookupTimeout(const SettingsFile& settings)
{
    bool ok = false;
    const int value = settings.read(Keys::Freedb::Timeout).trimmed().toInt(&ok);
    return ok && value > 0 && value <= MaxTimeout ? value : DefaultTimeout;
}

QUrl httpServerSetting(const QString& text, const char* def)
{
    QUrl url(text.trimmed());
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != u"https" && url.scheme() != u"http"))
        url = QUrl(QLatin1StringView(def));
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path);
    return url;
}
