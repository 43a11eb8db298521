#include "settings/DirDialog.h"

Tfm_dir::Tfm_dir(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fm_dir"));
}
