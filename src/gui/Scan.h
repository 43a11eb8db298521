#pragma once

#include <QWidget>

class QTimer;

/// The splash window: a picture shown while the program starts, closing itself at the first
/// processing of events a second after it was shown.
class Tfm_scan final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_scan)
public:
    explicit Tfm_scan(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Timer1Timer();

    QTimer* m_timer1;
};
