#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class QWidget;

/// One named object of a skin form: a command button, the progress bar, or the form itself.
/// Objects are owned by the skin's widgets on their window; a pointer stays valid until the
/// skin form is applied to that window again or the window is destroyed.
class ISkinObject
{
public:
    virtual ~ISkinObject() = default;

    /// The object's name: the command it raises ("play", "converter", ...), "pb", or the form's.
    virtual QString Name() const = 0;
    /// The object's rectangle in window pixels. Its width and height are right - left and
    /// bottom - top of a left/top/right/bottom rectangle whose right and bottom lie just
    /// outside it, so right = left (width 0) is an empty object.
    virtual QRect GetRect() const = 0;
    /// Moves or resizes the object; an empty rectangle hides it.
    virtual void SetRect(const QRect& rect) = 0;
    /// Asks the object to paint itself again.
    virtual void Repaint() = 0;
};

/// The skin control: loads a skin file, paints a window from one of its forms, and reports a
/// click on any of the form's objects by the object. Failing calls throw ComponentError.
class ISkin : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~ISkin() override = default;

    /// Loads the skin file at path; windows already skinned keep the skin they were given.
    virtual void LoadSkin(const QString& path) = 0;
    /// Puts the loaded skin on window: a face below every other child, filling the window.
    virtual void ApplySkin(QWidget* window) = 0;
    /// Paints window with the skin form formName and gives it the form's objects.
    virtual void ApplySkinForm(QWidget* window, const QString& formName) = 0;
    /// The skin form applied to window, or nullptr.
    virtual ISkinObject* GetSkinForm(QWidget* window) const = 0;
    /// The object called name (exact, case-sensitive) on window's skin form, or nullptr.
    virtual ISkinObject* GetObjectByName(QWidget* window, const QString& name) const = 0;

signals:
    /// A skin object was clicked with the mouse or activated from the keyboard.
    void Click(ISkinObject* object);
};
