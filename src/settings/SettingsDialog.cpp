#include "settings/SettingsDialog.h"

Tfm_set::Tfm_set(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fm_set"));
}
