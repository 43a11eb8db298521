#include "rip/TrackListModel.h"

namespace {

const char* const Captions[TrackListModel::ColumnCount] = {"File  Name", "Artist", "Album",
                                                           "Time",       "Stauts", "Path"};

} // namespace

TrackListModel::TrackListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TrackListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TrackListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !isRow(index.row()))
        return {};
    const Row& row = m_rows.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return column < PathColumn ? row.cells[column] : QString();
    case Qt::CheckStateRole:
        if (column == CaptionColumn)
            return row.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::ToolTipRole:
        if (column == StatusColumn && !row.statusToolTip.isEmpty())
            return row.statusToolTip;
        return {};
    default:
        return {};
    }
}

bool TrackListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !isRow(index.row()) || index.column() != CaptionColumn ||
        role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == CaptionColumn)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(Captions[section]);
}

void TrackListModel::clearRows()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void TrackListModel::resizeTable(int count)
{
    m_table.resize(count);
}

void TrackListModel::appendTrack(const TrackRow& track)
{
    const int index = static_cast<int>(m_rows.size());
    if (m_table.size() <= index)
        m_table.resize(index + 1);
    m_table[index] = track.record;
    Row row;
    row.cells[CaptionColumn] = track.caption;
    row.cells[ArtistColumn] = track.record.Artist;
    row.cells[AlbumColumn] = track.record.Album;
    row.cells[TimeColumn] = track.time;
    row.cells[StatusColumn] = QStringLiteral("Unconverter");
    row.sectors = track.sectors;
    beginInsertRows({}, index, index);
    m_rows.append(row);
    endInsertRows();
}

void TrackListModel::setTrackTable(const TrackTable& table)
{
    m_table = table;
    for (int i = 0; i < m_rows.size() && i < m_table.size(); ++i)
        setRecord(i, m_table.at(i));
}

void TrackListModel::setRecord(int row, const CDFreedinfo& record)
{
    if (row < 0 || row >= m_table.size())
        return;
    m_table[row] = record;
    if (!isRow(row))
        return;
    QString* cells = m_rows[row].cells;
    cells[CaptionColumn] = record.Title;
    cells[ArtistColumn] = record.Artist;
    cells[AlbumColumn] = record.Album;
    cellsChanged(row, CaptionColumn, AlbumColumn, {Qt::DisplayRole});
}

QString TrackListModel::text(int row, int column) const
{
    if (!isRow(row) || column < 0 || column >= PathColumn)
        return {};
    return m_rows.at(row).cells[column];
}

void TrackListModel::setStatus(int row, const QString& status)
{
    if (!isRow(row) || m_rows[row].cells[StatusColumn] == status)
        return;
    m_rows[row].cells[StatusColumn] = status;
    cellsChanged(row, StatusColumn, StatusColumn, {Qt::DisplayRole});
}

QString TrackListModel::statusToolTip(int row) const
{
    return isRow(row) ? m_rows.at(row).statusToolTip : QString();
}

void TrackListModel::setStatusToolTip(int row, const QString& toolTip)
{
    if (!isRow(row))
        return;
    m_rows[row].statusToolTip = toolTip;
    cellsChanged(row, StatusColumn, StatusColumn, {Qt::ToolTipRole});
}

int TrackListModel::sectors(int row) const
{
    return isRow(row) ? m_rows.at(row).sectors : 0;
}

bool TrackListModel::isChecked(int row) const
{
    return isRow(row) && m_rows.at(row).checked;
}

void TrackListModel::setChecked(int row, bool checked)
{
    if (!isRow(row) || m_rows[row].checked == checked)
        return;
    m_rows[row].checked = checked;
    cellsChanged(row, CaptionColumn, CaptionColumn, {Qt::CheckStateRole});
}

void TrackListModel::setAllChecked(bool checked)
{
    for (int row = 0; row < m_rows.size(); ++row)
        setChecked(row, checked);
}

QList<int> TrackListModel::checkedRows() const
{
    QList<int> rows;
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).checked)
            rows.append(row);
    return rows;
}

void TrackListModel::cellsChanged(int row, int first, int last, const QList<int>& roles)
{
    emit dataChanged(index(row, first), index(row, last), roles);
}
