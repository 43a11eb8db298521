#include "gui/Scan.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

Tfm_scan::Tfm_scan(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("fm_scan"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(282, 92);
    // The picture is larger than the window, which shows its top-left part.
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(QPixmap(QStringLiteral(":/tunecrest/splash.jpg")));
    image->setGeometry(0, 0, 321, 121);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, &Tfm_scan::Timer1Timer);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void Tfm_scan::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer1->start();
}

void Tfm_scan::Timer1Timer()
{
    QCoreApplication::processEvents();
    m_timer1->stop();
    close();
}
