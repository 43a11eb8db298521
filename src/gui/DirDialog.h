#pragma once

#include "gui/Prompter.h"

#include <QDialog>

class QFileSystemModel;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

/// The output folder dialog, which also shows the progress of a disc lookup. Created once and
/// reused; each caller switches it into its mode before showing it. The folder tree keeps its
/// selection and the log its text between showings.
class Tfm_dir final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_dir)
public:
    explicit Tfm_dir(QWidget* parent = nullptr);

    /// Where the dialog's message boxes go; message boxes of its own when null (the default).
    void setPrompter(IPrompter* prompter) { m_prompter = prompter; }

    /// Output directory mode: centres over caller, switches the controls, runs modally. Ok
    /// (also Enter) takes the selected folder; a folder whose path holds a line break, which no
    /// settings line can carry, is refused with a message and the dialog stays open.
    void runDirectoryMode(QWidget* caller);
    /// The chosen output directory shared with the settings dialog: Ok sets it to the selected
    /// folder, Cancel and Close empty it, the title bar's close button leaves it as it was.
    QString chosenDirectory() const { return m_chosenDirectory; }

    /// Lookup information mode: centres over caller, caption "FreeDB info", shows the log, Retry
    /// and "Close"; empties the log when clearLog; shows the window without waiting for it.
    void showFreeDBInfo(QWidget* caller, bool clearLog);
    /// Appends one status line to the log.
    void appendLog(const QString& line);
    QString logText() const;

    /// The folder currently selected in the tree; empty when none is.
    QString selectedFolder() const;
    /// Selects folder in the tree and opens its parents.
    void selectFolder(const QString& folder);

    /// The top-left corner that centres a window of size over caller, rounding toward zero.
    static QPoint centredOver(const QRect& caller, const QSize& size);

signals:
    /// Retry pressed in lookup information mode.
    void retryClicked();

private:
    void btn_okClick();
    void btn_cancelClick();
    void placeOver(QWidget* caller);
    void showDirectoryControls(bool directoryMode);

    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QPlainTextEdit* m_memo;
    QPushButton* m_ok;
    QPushButton* m_retry;
    QPushButton* m_cancel;
    QString m_chosenDirectory;
    IPrompter* m_prompter = nullptr;
    MessageBoxPrompter m_messageBoxes;
};
