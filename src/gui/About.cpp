#include "gui/About.h"

#include "gui/Desktop.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tfm_about::Tfm_about(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fm_about"));
    setWindowTitle(QStringLiteral("About"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setFixedSize(35, 34);
    icon->setPixmap(QIcon(QStringLiteral(":/tunecrest/icon.svg")).pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Ripwell Converter"), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* version = new QLabel(QStringLiteral("Version : 1.00"), this);
    auto* line = new QLabel(QStringLiteral("Rip Ripwell files."), this);
    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    auto* contact = new QPushButton(QStringLiteral("Contact us "), this);
    contact->setObjectName(QStringLiteral("btn_contact"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("btn_close"));
    close->setDefault(true);
    connect(contact, &QPushButton::clicked, this, &Tfm_about::btn_contactClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addWidget(line);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(contact);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(separator);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
}

void Tfm_about::showCentred()
{
    if (const QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    exec();
}

void Tfm_about::btn_contactClick()
{
    openWithDesktop(supportMailAddress());
}
