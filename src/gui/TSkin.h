#pragma once

#include "gui/ISkin.h"

#include <memory>

class SkinDocument;
class SkinFace;

/// The skin control over Qt Svg. A skin file is an SVG document: the element "TunecrestRipper"
/// is the skin form, painted as the window's background; the elements named after the
/// commands ("file", "play", "converter", ...) are its buttons, at their bounds; "pb" is the
/// progress bar, drawn at its full width by the skin and cut to its rectangle. A button may
/// have pictures of its own for its states, "<name>-hover" and "<name>-pressed" (kept in the
/// document's <defs>).
class TSkin final : public ISkin
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSkin)
public:
    explicit TSkin(QObject* parent = nullptr);
    ~TSkin() override;

    /// The form every skin file must have.
    static QString formName();

    void LoadSkin(const QString& path) override;
    void ApplySkin(QWidget* window) override;
    void ApplySkinForm(QWidget* window, const QString& formName) override;
    ISkinObject* GetSkinForm(QWidget* window) const override;
    ISkinObject* GetObjectByName(QWidget* window, const QString& name) const override;

private:
    SkinFace* faceOf(QWidget* window) const;

    std::shared_ptr<const SkinDocument> m_document;
};
