#pragma once

#include <QDialog>

/// The about window: the program's name and version, and a way to write to its makers.
class Tfm_about final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_about)
public:
    explicit Tfm_about(QWidget* parent = nullptr);

    /// Shown modally, centred on the main window.
    void showCentred();

private:
    void btn_contactClick();
};
