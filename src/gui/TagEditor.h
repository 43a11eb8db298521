#pragma once

#include "rip/CDFreedinfo.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

/// What the tag editor works on: the main window's list, through copies.
struct TagEditorHost
{
    /// The captions of the list's rows, in order.
    std::function<QStringList()> captions;
    /// A copy of the list's track table.
    std::function<TrackTable()> trackTable;
    /// Counts the reads of the disc into the list; a changed count means other rows.
    std::function<int()> listGeneration;
    /// Takes the edited table back: its records, and the title, artist and album cells of each
    /// row.
    std::function<void(const TrackTable&)> takeTrackTable;
    /// The editor opened (true) or closed: re-reads of the disc wait while it is open.
    std::function<void(bool)> setOpen;
};

/// The tag editor: the texts of every track of the main window's list, edited on a copy that
/// goes back to the main window only on Ok.
class Tfm_id3 final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_id3)
public:
    /// parent is the main window, which the editor is centred on.
    Tfm_id3(TagEditorHost host, QWidget* parent);

    /// The genre names the drop-down offers, in index order.
    static const QStringList& genreNames();

    /// The editor's copy of the main window's track table, one record per row of lv_id3.
    const TrackTable& editTable() const { return m_editTable; }

    void FormShow();
    void lv_id3Click();
    void Button7Click();
    void btn_okClick();
    void btn_cancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The six edited fields of a record, in the order of the fields on the window.
    enum class Field { Title, Artist, Album, Year, Genre, Comment };

    void buildControls();
    void FormCloseQuery();
    /// Fills lv_id3 and the copy from the main window and shows the first row.
    void loadFromMain();
    void loadFields(int row);
    void clearFields();
    int selectedRow() const;
    QString fieldText(Field field) const;
    /// Stores the field's current text into the selected row of the copy.
    void storeField(Field field);
    /// The "All" buttons: the field's current text into every row of the copy.
    void storeFieldInAllRows(Field field);
    void fieldExit(Field field);
    static QString& recordField(CDFreedinfo& record, Field field);

    TagEditorHost m_host;
    TrackTable m_editTable;
    // The main list the copy was taken from; Ok writes nothing onto a list read since.
    int m_listGeneration = -1;
    bool m_selecting = false; // the selection is being set by the editor itself

    QTreeWidget* m_lv = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_artist = nullptr;
    QLineEdit* m_album = nullptr;
    QLineEdit* m_year = nullptr;
    QComboBox* m_genre = nullptr;
    QPlainTextEdit* m_comment = nullptr;
};
