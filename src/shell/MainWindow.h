#pragma once

#include <QMainWindow>

class QTreeWidget;

/// The main window: the track list of the disc in the drive.
class Tfm_main final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_main)
public:
    explicit Tfm_main(QWidget* parent = nullptr);

private:
    QTreeWidget* m_lv = nullptr;
};
