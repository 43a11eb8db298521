#include "gui/TSkin.h"

#include "base/ComponentError.h"
#include "gui/SkinDocument.h"
#include "gui/SkinWidgets.h"

TSkin::TSkin(QObject* parent) : ISkin(parent) {}

TSkin::~TSkin() = default;

QString TSkin::formName()
{
    return QStringLiteral("TunecrestRipper");
}

void TSkin::LoadSkin(const QString& path)
{
    m_document = std::make_shared<const SkinDocument>(path, formName());
}

void TSkin::ApplySkin(QWidget* window)
{
    if (!window)
        throw ComponentError(QStringLiteral("No window to apply the skin to"));
    if (!m_document)
        throw ComponentError(QStringLiteral("No skin file is loaded"));
    if (SkinFace* face = faceOf(window)) {
        face->setDocument(m_document);
        return;
    }
    auto* face = new SkinFace(this, m_document, window);
    connect(face, &SkinFace::objectClicked, this, &ISkin::Click);
}

void TSkin::ApplySkinForm(QWidget* window, const QString& formName)
{
    if (!faceOf(window))
        ApplySkin(window);
    if (!m_document->hasElement(formName))
        throw ComponentError(QStringLiteral("The skin file %1 has no form \"%2\"")
                                 .arg(m_document->path(), formName));
    SkinFace* face = faceOf(window);
    // A face keeps the skin it was given; a form comes from the skin loaded now.
    face->setDocument(m_document);
    face->showForm(formName);
}

ISkinObject* TSkin::GetSkinForm(QWidget* window) const
{
    SkinFace* face = faceOf(window);
    return face && face->hasForm() ? face : nullptr;
}

ISkinObject* TSkin::GetObjectByName(QWidget* window, const QString& name) const
{
    SkinFace* face = faceOf(window);
    return face ? face->object(name) : nullptr;
}

SkinFace* TSkin::faceOf(QWidget* window) const
{
    if (!window)
        return nullptr;
    const auto faces = window->findChildren<SkinFace*>(Qt::FindDirectChildrenOnly);
    for (SkinFace* face : faces) {
        if (face->owner() == this)
            return face;
    }
    return nullptr;
}
