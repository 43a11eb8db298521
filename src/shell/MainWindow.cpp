#include "shell/MainWindow.h"

#include <QHeaderView>
#include <QTreeWidget>

Tfm_main::Tfm_main(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fm_main"));
    setWindowTitle(QStringLiteral("Lumen Tunecrest Ripper"));

    m_lv = new QTreeWidget(this);
    m_lv->setObjectName(QStringLiteral("lv"));
    m_lv->setRootIsDecorated(false);
    m_lv->setHeaderLabels({QStringLiteral("File  Name"), QStringLiteral("Artist"),
                           QStringLiteral("Album"), QStringLiteral("Time"),
                           QStringLiteral("Stauts"), QStringLiteral("Path")});
    const int widths[] = {150, 120, 120, 78, 85, 0};
    for (int i = 0; i < 6; ++i)
        m_lv->setColumnWidth(i, widths[i]);
    m_lv->header()->setSectionsClickable(false);
    setCentralWidget(m_lv);
    resize(640, 400);
}
