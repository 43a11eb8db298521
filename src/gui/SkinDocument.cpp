#include "gui/SkinDocument.h"

#include "base/ComponentError.h"
#include "base/RegularFile.h"
#include "gui/SkinCommands.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

// A skin is a picture with a few named shapes; anything this large is not one.
constexpr qint64 maxSkinBytes = 16 * 1024 * 1024;

bool changesAtRunTime(QStringView id)
{
    return id == skinProgressBarName || id.endsWith(QLatin1StringView("-hover")) ||
           id.endsWith(QLatin1StringView("-pressed"));
}

// The document without the elements that change at run time: the face beneath them.
QByteArray faceOf(const QByteArray& svg)
{
    QByteArray face;
    QXmlStreamReader reader(svg);
    QXmlStreamWriter writer(&face);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.hasError())
            break;
        if (reader.isStartElement() &&
            changesAtRunTime(reader.attributes().value(QLatin1StringView("id")))) {
            reader.skipCurrentElement();
            continue;
        }
        writer.writeCurrentToken(reader);
    }
    return face;
}

} // namespace

SkinDocument::SkinDocument(const QString& path, const QString& requiredForm) : m_path(path)
{
    const RegularFileContents file = readRegularFile(path, maxSkinBytes);
    switch (file.status) {
    case RegularFileContents::Status::Read:
        break;
    case RegularFileContents::Status::Missing:
        throw ComponentError(QStringLiteral("Skin file not found: %1").arg(path));
    default:
        throw ComponentError(QStringLiteral("Cannot read the skin file: %1").arg(file.error));
    }

    m_document = std::make_unique<QSvgRenderer>(file.bytes);
    if (!m_document->isValid())
        throw ComponentError(QStringLiteral("The skin file %1 is not an SVG document").arg(path));
    if (!m_document->elementExists(requiredForm))
        throw ComponentError(QStringLiteral("The skin file %1 is not a skin: it has no form \"%2\"")
                                 .arg(path, requiredForm));
    m_face = std::make_unique<QSvgRenderer>(faceOf(file.bytes));
    if (!m_face->isValid())
        throw ComponentError(QStringLiteral("The skin file %1 cannot be drawn").arg(path));

    // Design pixels are the document's own size; its view box is drawn onto them.
    m_designSize = m_document->defaultSize();
    const QRectF view = m_document->viewBoxF();
    if (!view.isEmpty() && !m_designSize.isEmpty()) {
        m_toDesign = QTransform::fromTranslate(-view.x(), -view.y()) *
                     QTransform::fromScale(m_designSize.width() / view.width(),
                                           m_designSize.height() / view.height());
    }
}

SkinDocument::~SkinDocument() = default;

bool SkinDocument::hasElement(const QString& id) const
{
    return m_document->elementExists(id);
}

QRectF SkinDocument::elementRect(const QString& id) const
{
    if (!hasElement(id))
        return {};
    const QRectF own = m_document->boundsOnElement(id);
    return m_toDesign.mapRect(m_document->transformForElement(id).mapRect(own));
}

void SkinDocument::paintElement(QPainter& painter, const QString& id) const
{
    const QRectF rect = elementRect(id);
    if (!rect.isEmpty())
        m_document->render(&painter, id, rect);
}

void SkinDocument::paintFace(QPainter& painter, const QString& form) const
{
    // The face document is the same document less some elements, so the form stands where it
    // stands in the whole one; its own bounds may be smaller where a left-out object stuck out.
    if (!m_face->elementExists(form))
        return;
    const QRectF own = m_face->boundsOnElement(form);
    const QRectF rect = m_toDesign.mapRect(m_face->transformForElement(form).mapRect(own));
    if (!rect.isEmpty())
        m_face->render(&painter, form, rect);
}
