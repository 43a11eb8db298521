#pragma once

#include "gui/ISkin.h"

#include <QAbstractButton>
#include <QWidget>

#include <memory>
#include <vector>

class SkinDocument;

/// A command object of a skin form: a button drawn by the form beneath it, which adds its
/// hover, pressed and focus looks. Tab reaches it; Enter and Space activate it.
class SkinButton final : public QAbstractButton, public ISkinObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinButton)
public:
    SkinButton(std::shared_ptr<const SkinDocument> document, const QString& name,
               const QString& words, QWidget* parent);

    QString Name() const override { return objectName(); }
    QRect GetRect() const override { return geometry(); }
    void SetRect(const QRect& rect) override;
    void Repaint() override { update(); }

    /// Whether the button shows its hover look: the pointer is on it and no pop-up has it.
    bool isHovered() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::shared_ptr<const SkinDocument> m_document;
};

/// The progress bar object: paints the skin's full bar, cut to its current rectangle.
class SkinProgressBar final : public QWidget, public ISkinObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinProgressBar)
public:
    SkinProgressBar(std::shared_ptr<const SkinDocument> document, QWidget* parent);

    QString Name() const override { return objectName(); }
    QRect GetRect() const override { return geometry(); }
    void SetRect(const QRect& rect) override;
    void Repaint() override { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<const SkinDocument> m_document;
};

/// The skin on one window: a child filling it, below every other child, that paints the skin
/// form and holds the form's objects. It is the form's object itself.
class SkinFace final : public QWidget, public ISkinObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinFace)
public:
    SkinFace(const QObject* owner, std::shared_ptr<const SkinDocument> document, QWidget* window);

    /// The skin control that put this face on its window.
    const QObject* owner() const { return m_owner; }
    /// Takes another skin; the form and its objects go until a form is shown again.
    void setDocument(std::shared_ptr<const SkinDocument> document);
    /// Paints the form and makes its objects, dropping the previous form's.
    void showForm(const QString& form);
    bool hasForm() const { return !m_form.isEmpty(); }
    /// The form (by its name) or one of its objects, or nullptr.
    ISkinObject* object(const QString& name);

    QString Name() const override { return m_form; }
    QRect GetRect() const override { return geometry(); }
    void SetRect(const QRect& rect) override { setGeometry(rect); }
    void Repaint() override { update(); }

signals:
    void objectClicked(ISkinObject* object);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void dropObjects();
    void repaintWhenPopupCloses();

    const QObject* m_owner;
    std::shared_ptr<const SkinDocument> m_document;
    QString m_form;
    struct Object
    {
        QWidget* widget; // a child of this face
        ISkinObject* object;
    };
    std::vector<Object> m_objects;
};
