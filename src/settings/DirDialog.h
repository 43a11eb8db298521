#pragma once

#include <QDialog>

/// The output folder dialog, which also shows the progress of a disc lookup.
class Tfm_dir final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_dir)
public:
    explicit Tfm_dir(QWidget* parent = nullptr);
};
