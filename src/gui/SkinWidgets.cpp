#include "gui/SkinWidgets.h"

#include "gui/SkinCommands.h"
#include "gui/SkinDocument.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

// Drawn over a button whose skin has no picture of its own for the state.
const QColor hoverWash(255, 255, 255, 48);
const QColor pressedWash(0, 0, 0, 72);
const QColor focusRing(143, 195, 255);

QPainterPath roundedRect(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, 5, 5);
    return path;
}

} // namespace

SkinButton::SkinButton(std::shared_ptr<const SkinDocument> document, const QString& name,
                       const QString& words, QWidget* parent)
    : QAbstractButton(parent), m_document(std::move(document))
{
    setObjectName(name);
    setText(words);
    setToolTip(words);
    setAccessibleName(words);
    // Tab reaches the buttons, but a click leaves the focus where it was (on the track list).
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void SkinButton::SetRect(const QRect& rect)
{
    setGeometry(rect);
    setVisible(!rect.isEmpty());
}

void SkinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QString name = objectName();
    const bool hovered = isHovered();

    // The skin's own pictures stand in design pixels; this widget starts at its rectangle.
    painter.save();
    painter.translate(-pos());
    QString picture;
    if (isDown() && m_document->hasElement(skinPressedElement(name)))
        picture = skinPressedElement(name);
    else if ((isDown() || hovered) && m_document->hasElement(skinHoverElement(name)))
        picture = skinHoverElement(name);
    if (!picture.isEmpty())
        m_document->paintElement(painter, picture);
    painter.restore();

    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (isDown() && picture != skinPressedElement(name))
        painter.fillPath(roundedRect(area), pressedWash);
    else if (!isDown() && hovered && picture.isEmpty())
        painter.fillPath(roundedRect(area), hoverWash);
    if (hasFocus()) {
        painter.setPen(QPen(focusRing, 2));
        painter.drawPath(roundedRect(area));
    }
}

bool SkinButton::isHovered() const
{
    // Qt's under-the-mouse mark can outlive the pointer: a pop-up opened by the click takes the
    // mouse, and its close sends no leave. The pointer's place decides.
    return testAttribute(Qt::WA_UnderMouse) && !QApplication::activePopupWidget() &&
           rect().contains(mapFromGlobal(QCursor::pos()));
}

void SkinButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

SkinProgressBar::SkinProgressBar(std::shared_ptr<const SkinDocument> document, QWidget* parent)
    : QWidget(parent), m_document(std::move(document))
{
    setObjectName(skinProgressBarName);
    setAccessibleName(QStringLiteral("Progress"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    SetRect(m_document->elementRect(skinProgressBarName).toAlignedRect());
}

void SkinProgressBar::SetRect(const QRect& rect)
{
    setGeometry(rect);
    setVisible(!rect.isEmpty());
}

void SkinProgressBar::paintEvent(QPaintEvent*)
{
    // The full bar where the skin draws it, cut to this widget's rectangle: the bar fills
    // from the left as the rectangle widens.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-pos());
    m_document->paintElement(painter, skinProgressBarName);
}

SkinFace::SkinFace(const QObject* owner, std::shared_ptr<const SkinDocument> document,
                   QWidget* window)
    : QWidget(window), m_owner(owner), m_document(std::move(document))
{
    setObjectName(QStringLiteral("skinFace"));
    setGeometry(window->rect());
    window->installEventFilter(this);
    lower();
    show();
}

void SkinFace::setDocument(std::shared_ptr<const SkinDocument> document)
{
    dropObjects();
    m_form.clear();
    m_document = std::move(document);
    update();
}

void SkinFace::showForm(const QString& form)
{
    dropObjects();
    m_form = form;

    std::vector<SkinButton*> buttons;
    for (const SkinCommand& command : skinCommands) {
        const QString name = command.name;
        if (!m_document->hasElement(name))
            continue;
        auto* button = new SkinButton(m_document, name, command.words, this);
        button->SetRect(m_document->elementRect(name).toAlignedRect());
        connect(button, &QAbstractButton::clicked, this, [this, button] {
            emit objectClicked(button);
            repaintWhenPopupCloses();
        });
        buttons.push_back(button);
        m_objects.push_back({button, button});
    }
    if (m_document->hasElement(skinProgressBarName)) {
        auto* bar = new SkinProgressBar(m_document, this);
        m_objects.push_back({bar, bar});
    }

    // Tab goes through the buttons as they are read: row by row, left to right.
    std::ranges::stable_sort(buttons, [](const SkinButton* a, const SkinButton* b) {
        const QRect ra = a->geometry();
        const QRect rb = b->geometry();
        return ra.top() != rb.top() ? ra.top() < rb.top() : ra.left() < rb.left();
    });
    for (std::size_t i = 1; i < buttons.size(); ++i)
        QWidget::setTabOrder(buttons[i - 1], buttons[i]);
    update();
}

ISkinObject* SkinFace::object(const QString& name)
{
    if (!m_form.isEmpty() && name == m_form)
        return this;
    const auto found = std::ranges::find_if(
        m_objects, [&name](const Object& o) { return o.object->Name() == name; });
    return found == m_objects.end() ? nullptr : found->object;
}

void SkinFace::dropObjects()
{
    // Hidden at once, so neither Tab nor a click reaches them; freed by the event loop, since
    // one of them may be the button whose click led here.
    for (const Object& o : m_objects) {
        o.widget->hide();
        o.widget->deleteLater();
    }
    m_objects.clear();
}

void SkinFace::repaintWhenPopupCloses()
{
    // The command may have opened a pop-up menu: the buttons it covered show their looks anew
    // when it closes, where the pointer is then.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->installEventFilter(this);
}

bool SkinFace::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    if (watched != parentWidget() && event->type() == QEvent::Hide) {
        watched->removeEventFilter(this);
        for (const Object& o : m_objects)
            o.widget->update();
    }
    return QWidget::eventFilter(watched, event);
}

void SkinFace::paintEvent(QPaintEvent*)
{
    if (m_form.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_document->paintFace(painter, m_form);
}
