#pragma once

#include <QDialog>

/// The tag editor: the texts of every track.
class Tfm_id3 final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_id3)
public:
    explicit Tfm_id3(QWidget* parent = nullptr);
};
