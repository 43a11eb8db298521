#pragma once

#include "rip/CDFreedinfo.h"
#include "rip/TrackRecords.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

/// The rows of the track list, one per track of the disc: the caption, the "Artist", "Album",
/// "Time" and "Stauts" cells, the status cell's tooltip and the check box; and beside them the
/// track table, one CDFreedinfo per row at the same index. The window's list shows it; the run,
/// the tag editor and playback work on its rows.
class TrackListModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrackListModel)
public:
    enum Column { CaptionColumn, ArtistColumn, AlbumColumn, TimeColumn, StatusColumn, PathColumn };
    static constexpr int ColumnCount = PathColumn + 1;
    /// The column widths of the list, in pixels; the "Path" column is hidden.
    static constexpr int ColumnWidths[ColumnCount] = {150, 120, 120, 78, 85, 0};

    explicit TrackListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Removes every row; the track table keeps its records.
    void clearRows();
    /// Sizes the track table to count records, keeping those there are.
    void resizeTable(int count);
    /// Adds the row of the track read from the disc at the next index: its record goes into the
    /// table, the cells show it, the status is "Unconverter" and the row is checked.
    void appendTrack(const TrackRow& row);

    const TrackTable& trackTable() const { return m_table; }
    /// The disc's artist as a whole, beside the table: it names the folder of a run whose rows
    /// have different artists, and the files' album artist tags. Empty when unknown.
    const QString& albumArtist() const { return m_albumArtist; }
    void setAlbumArtist(const QString& artist) { m_albumArtist = artist; }
    /// Replaces the table; rows whose records change show their new title, artist and album.
    void setTrackTable(const TrackTable& table);
    const CDFreedinfo& record(int row) const { return m_table.at(row); }
    void setRecord(int row, const CDFreedinfo& record);

    /// The text of a cell as the list shows it.
    QString text(int row, int column) const;
    QString caption(int row) const { return text(row, CaptionColumn); }
    QString status(int row) const { return text(row, StatusColumn); }
    void setStatus(int row, const QString& status);
    QString statusToolTip(int row) const;
    void setStatusToolTip(int row, const QString& toolTip);
    /// The track's length in sectors, 75 a second.
    int sectors(int row) const;

    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    void setAllChecked(bool checked);
    /// The indexes of the checked rows, in list order.
    QList<int> checkedRows() const;

private:
    struct Row
    {
        QString cells[PathColumn]; // caption, artist, album, time, status
        QString statusToolTip;
        int sectors = 0;
        bool checked = true;
    };

    bool isRow(int row) const { return row >= 0 && row < m_rows.size(); }
    void cellsChanged(int row, int first, int last, const QList<int>& roles = {});

    QList<Row> m_rows;
    TrackTable m_table;
    QString m_albumArtist;
};
