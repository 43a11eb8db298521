#include "tags/TagEditor.h"

Tfm_id3::Tfm_id3(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fm_id3"));
}
