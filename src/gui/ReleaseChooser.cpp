#include "gui/ReleaseChooser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

Tfm_release::Tfm_release(const QList<MusicBrainzReleaseSummary>& releases, QWidget* parent)
    : QDialog(parent), m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("fm_release"));
    setWindowTitle(QStringLiteral("MusicBrainz releases"));
    m_list->setObjectName(QStringLiteral("lv_releases"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Title"), QStringLiteral("Artist"),
                             QStringLiteral("Date"), QStringLiteral("Country"),
                             QStringLiteral("Label"), QStringLiteral("Catalogue number"),
                             QStringLiteral("Barcode")});
    for (const MusicBrainzReleaseSummary& r : releases)
        m_list->addTopLevelItem(new QTreeWidgetItem(
            {r.title, r.artist, r.date, r.country, r.label, r.catalogNumber, r.barcode}));
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btn_ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btn_cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(640, 240);
}

int Tfm_release::chosen() const
{
    return m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
}

int chooseRelease(QWidget* parent, const QList<MusicBrainzReleaseSummary>& releases)
{
    Tfm_release dialog(releases, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : -1;
}
