#include "gui/DirDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

namespace {

const QString DirectoryCaption = QStringLiteral("Output Directory");
const QString FreeDBCaption = QStringLiteral("FreeDB info");

} // namespace

Tfm_dir::Tfm_dir(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_model(new QFileSystemModel(this)), m_tree(new QTreeView(this)),
      m_memo(new QPlainTextEdit(this)), m_ok(new QPushButton(QStringLiteral("Ok"), this)),
      m_retry(new QPushButton(QStringLiteral("Retry"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("fm_dir"));
    setWindowTitle(DirectoryCaption);
    resize(287, 254);
    setMinimumWidth(150);

    // Folders only, from the file-system root down; the tree opens at the home folder.
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());
    m_tree->setObjectName(QStringLiteral("ShellTreeView1"));
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setIndentation(19);
    m_tree->setGeometry(14, 11, 259, 192);
    // A right click selects the folder under the mouse.
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = m_tree->indexAt(at);
        if (index.isValid())
            m_tree->setCurrentIndex(index);
    });
    selectFolder(QDir::homePath());

    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setGeometry(14, 11, 260, 193);
    m_memo->hide();

    m_ok->setObjectName(QStringLiteral("btn_ok"));
    m_ok->setGeometry(36, 216, 75, 25);
    m_retry->setObjectName(QStringLiteral("edt_retry"));
    m_retry->setGeometry(36, 216, 75, 25);
    m_cancel->setObjectName(QStringLiteral("btn_cancel"));
    m_cancel->setGeometry(172, 216, 75, 25);
    // Enter presses Ok while it is shown, and nothing in the lookup mode.
    m_ok->setDefault(true);
    m_retry->setAutoDefault(false);

    connect(m_ok, &QPushButton::clicked, this, &Tfm_dir::btn_okClick);
    connect(m_cancel, &QPushButton::clicked, this, &Tfm_dir::btn_cancelClick);
    connect(m_retry, &QPushButton::clicked, this, &Tfm_dir::retryClicked);
}

QPoint Tfm_dir::centredOver(const QRect& caller, const QSize& size)
{
    // C++ integer division rounds toward zero.
    return {caller.left() + (caller.width() - size.width()) / 2,
            caller.top() + (caller.height() - size.height()) / 2};
}

void Tfm_dir::placeOver(QWidget* caller)
{
    if (caller)
        move(centredOver(QRect(caller->pos(), caller->size()), size()));
}

void Tfm_dir::showDirectoryControls(bool directoryMode)
{
    m_tree->setVisible(directoryMode);
    m_memo->setVisible(!directoryMode);
    m_ok->setVisible(directoryMode);
    m_ok->setAutoDefault(directoryMode);
    m_cancel->setAutoDefault(directoryMode);
    m_retry->setVisible(!directoryMode);
    m_cancel->setText(directoryMode ? QStringLiteral("Cancel") : QStringLiteral("Close"));
    setWindowTitle(directoryMode ? DirectoryCaption : FreeDBCaption);
}

void Tfm_dir::runDirectoryMode(QWidget* caller)
{
    // The window may still be open as the lookup's log; the folder picker takes its place.
    if (isVisible())
        hide();
    placeOver(caller);
    showDirectoryControls(true);
    setModal(true);
    exec();
}

void Tfm_dir::showFreeDBInfo(QWidget* caller, bool clearLog)
{
    placeOver(caller);
    showDirectoryControls(false);
    if (clearLog)
        m_memo->clear();
    setModal(false);
    show();
    raise();
}

void Tfm_dir::appendLog(const QString& line)
{
    m_memo->appendPlainText(line);
}

QString Tfm_dir::logText() const
{
    return m_memo->toPlainText();
}

QString Tfm_dir::selectedFolder() const
{
    const QModelIndex current = m_tree->currentIndex();
    if (!current.isValid() || !m_tree->selectionModel()->isSelected(current))
        return {};
    return QDir::toNativeSeparators(m_model->filePath(current));
}

void Tfm_dir::selectFolder(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return;
    const QModelIndex index = m_model->index(folder);
    if (!index.isValid())
        return;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        m_tree->expand(parent);
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
}

void Tfm_dir::btn_okClick()
{
    const QString folder = selectedFolder();
    if (folder.contains(u'\n') || folder.contains(u'\r')) {
        QString shown = folder;
        shown.replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
        IPrompter& prompter = m_prompter ? *m_prompter : m_messageBoxes;
        prompter.information(this, QStringLiteral("The folder \"%1\" cannot be the output folder: "
                                                  "its name holds a line break.")
                                       .arg(shown));
        return;
    }
    m_chosenDirectory = folder;
    accept();
}

void Tfm_dir::btn_cancelClick()
{
    m_chosenDirectory.clear();
    // In the log mode the window is not modal; closing it is all the same.
    reject();
}
