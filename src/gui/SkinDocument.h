#pragma once

#include <QRectF>
#include <QSize>
#include <QString>
#include <QTransform>

#include <memory>

class QPainter;
class QSvgRenderer;

/// A loaded skin file (an SVG document) in design pixels: the document's own size, with its
/// view box mapped onto it. Objects that change while the program runs (the progress bar, the
/// buttons' hover and pressed pictures) are left out of the face, so the face can be painted
/// once beneath them.
class SkinDocument final
{
public:
    /// Reads and parses the file; throws ComponentError naming it when it is missing,
    /// unreadable, not an SVG document, or has no element requiredForm.
    SkinDocument(const QString& path, const QString& requiredForm);
    ~SkinDocument();
    SkinDocument(const SkinDocument&) = delete;
    SkinDocument& operator=(const SkinDocument&) = delete;

    const QString& path() const { return m_path; }
    QSize designSize() const { return m_designSize; }
    bool hasElement(const QString& id) const;
    /// The element's bounds in design pixels, after every transform above it.
    QRectF elementRect(const QString& id) const;
    /// Paints the element where it stands; the painter works in design pixels.
    void paintElement(QPainter& painter, const QString& id) const;
    /// Paints the form without the objects that change at run time.
    void paintFace(QPainter& painter, const QString& form) const;

private:
    QString m_path;
    std::unique_ptr<QSvgRenderer> m_document;
    std::unique_ptr<QSvgRenderer> m_face;
    QSize m_designSize;
    QTransform m_toDesign;
};
