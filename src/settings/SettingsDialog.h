#pragma once

#include <QDialog>

/// The settings dialog.
class Tfm_set final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_set)
public:
    explicit Tfm_set(QWidget* parent = nullptr);
};
