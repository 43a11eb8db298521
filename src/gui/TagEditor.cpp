#include "gui/TagEditor.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QTreeWidget>

namespace {

// The main list's columns the editor writes.

// The window's geometry: the list on the left, a column of labelled fields with their "All"
// buttons on the right, the buttons along the bottom.
constexpr int ClientWidth = 419;
constexpr int ClientHeight = 288;
constexpr int Margin = 8;
constexpr int ListWidth = 146;
constexpr int LabelX = Margin + ListWidth + 8;
constexpr int LabelWidth = 64;
constexpr int FieldX = LabelX + LabelWidth;
constexpr int AllWidth = 34;
constexpr int AllX = ClientWidth - Margin - AllWidth;
constexpr int FieldWidth = AllX - 4 - FieldX;
constexpr int RowHeight = 22;
constexpr int RowStep = 28;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonY = ClientHeight - Margin - ButtonHeight;
constexpr int ListHeight = ButtonY - 2 * Margin;

} // namespace

const QStringList& Tfm_id3::genreNames()
{
    // The ID3 version 1 list (0 to 79) and its extension (80 to 147), with the drop-down's
    // shortened entries at 64, 136 and 140.
    static const QStringList names{
        QStringLiteral("Blues"),
        QStringLiteral("Classic Rock"),
        QStringLiteral("Country"),
        QStringLiteral("Dance"),
        QStringLiteral("Disco"),
        QStringLiteral("Funk"),
        QStringLiteral("Grunge"),
        QStringLiteral("Hip-Hop"),
        QStringLiteral("Jazz"),
        QStringLiteral("Metal"),
        QStringLiteral("New Age"),
        QStringLiteral("Oldies"),
        QStringLiteral("Other"),
        QStringLiteral("Pop"),
        QStringLiteral("R&B"),
        QStringLiteral("Rap"),
        QStringLiteral("Reggae"),
        QStringLiteral("Rock"),
        QStringLiteral("Techno"),
        QStringLiteral("Industrial"),
        QStringLiteral("Alternative"),
        QStringLiteral("Ska"),
        QStringLiteral("Death Metal"),
        QStringLiteral("Pranks"),
        QStringLiteral("Soundtrack"),
        QStringLiteral("Euro-Techno"),
        QStringLiteral("Ambient"),
        QStringLiteral("Trip-Hop"),
        QStringLiteral("Vocal"),
        QStringLiteral("Jazz+Funk"),
        QStringLiteral("Fusion"),
        QStringLiteral("Trance"),
        QStringLiteral("Classical"),
        QStringLiteral("Instrumental"),
        QStringLiteral("Acid"),
        QStringLiteral("House"),
        QStringLiteral("Game"),
        QStringLiteral("Sound Clip"),
        QStringLiteral("Gospel"),
        QStringLiteral("Noise"),
        QStringLiteral("AlternRock"),
        QStringLiteral("Bass"),
        QStringLiteral("Soul"),
        QStringLiteral("Punk"),
        QStringLiteral("Space"),
        QStringLiteral("Meditative"),
        QStringLiteral("Instrumental Pop"),
        QStringLiteral("Instrumental Rock"),
        QStringLiteral("Ethnic"),
        QStringLiteral("Gothic"),
        QStringLiteral("Darkwave"),
        QStringLiteral("Techno-Industrial"),
        QStringLiteral("Electronic"),
        QStringLiteral("Pop-Folk"),
        QStringLiteral("Eurodance"),
        QStringLiteral("Dream"),
        QStringLiteral("Southern Rock"),
        QStringLiteral("Comedy"),
        QStringLiteral("Cult"),
        QStringLiteral("Gangsta"),
        QStringLiteral("Top 40"),
        QStringLiteral("Christian Rap"),
        QStringLiteral("Pop/Funk"),
        QStringLiteral("Jungle"),
        QStringLiteral("Native US"),
        QStringLiteral("Cabaret"),
        QStringLiteral("New Wave"),
        QStringLiteral("Psychadelic"),
        QStringLiteral("Rave"),
        QStringLiteral("Showtunes"),
        QStringLiteral("Trailer"),
        QStringLiteral("Lo-Fi"),
        QStringLiteral("Tribal"),
        QStringLiteral("Acid Punk"),
        QStringLiteral("Acid Jazz"),
        QStringLiteral("Polka"),
        QStringLiteral("Retro"),
        QStringLiteral("Musical"),
        QStringLiteral("Rock & Roll"),
        QStringLiteral("Hard Rock"),
        QStringLiteral("Folk"),
        QStringLiteral("Folk-Rock"),
        QStringLiteral("National Folk"),
        QStringLiteral("Swing"),
        QStringLiteral("Fast Fusion"),
        QStringLiteral("Bebob"),
        QStringLiteral("Latin"),
        QStringLiteral("Revival"),
        QStringLiteral("Celtic"),
        QStringLiteral("Bluegrass"),
        QStringLiteral("Avantgarde"),
        QStringLiteral("Gothic Rock"),
        QStringLiteral("Progressive Rock"),
        QStringLiteral("Psychedelic Rock"),
        QStringLiteral("Symphonic Rock"),
        QStringLiteral("Slow Rock"),
        QStringLiteral("Big Band"),
        QStringLiteral("Chorus"),
        QStringLiteral("Easy Listening"),
        QStringLiteral("Acoustic"),
        QStringLiteral("Humour"),
        QStringLiteral("Speech"),
        QStringLiteral("Chanson"),
        QStringLiteral("Opera"),
        QStringLiteral("Chamber Music"),
        QStringLiteral("Sonata"),
        QStringLiteral("Symphony"),
        QStringLiteral("Booty Bass"),
        QStringLiteral("Primus"),
        QStringLiteral("Porn Groove"),
        QStringLiteral("Satire"),
        QStringLiteral("Slow Jam"),
        QStringLiteral("Club"),
        QStringLiteral("Tango"),
        QStringLiteral("Samba"),
        QStringLiteral("Folklore"),
        QStringLiteral("Ballad"),
        QStringLiteral("Power Ballad"),
        QStringLiteral("Rhythmic Soul"),
        QStringLiteral("Freestyle"),
        QStringLiteral("Duet"),
        QStringLiteral("Punk Rock"),
        QStringLiteral("Drum Solo"),
        QStringLiteral("A capella"),
        QStringLiteral("Euro-House"),
        QStringLiteral("Dance Hall"),
        QStringLiteral("Goa"),
        QStringLiteral("Drum & Bass"),
        QStringLiteral("Club-House"),
        QStringLiteral("Hardcore"),
        QStringLiteral("Terror"),
        QStringLiteral("Indie"),
        QStringLiteral("BritPop"),
        QStringLiteral("Negerpunk"),
        QStringLiteral("Polsk Punk"),
        QStringLiteral("Beat"),
        QStringLiteral("Christian Gangsta"),
        QStringLiteral("Heavy Metal"),
        QStringLiteral("Black Metal"),
        QStringLiteral("Crossover"),
        QStringLiteral("Contemporary C"),
        QStringLiteral("Christian Rock"),
        QStringLiteral("Merengue"),
        QStringLiteral("Salsa"),
        QStringLiteral("Thrash Metal"),
        QStringLiteral("Anime"),
        QStringLiteral("JPop"),
        QStringLiteral("SynthPop"),
    };
    return names;
}

Tfm_id3::Tfm_id3(TagEditorHost host, QWidget* parent) : QDialog(parent), m_host(std::move(host))
{
    setObjectName(QStringLiteral("fm_id3"));
    setWindowTitle(QStringLiteral("ID3 Edit"));
    // A fixed dialog border: a title and a close box, no resizing.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);
    setSizeGripEnabled(false);
    buildControls();
}

void Tfm_id3::buildControls()
{
    m_lv = new QTreeWidget(this);
    m_lv->setObjectName(QStringLiteral("lv_id3"));
    m_lv->setGeometry(Margin, Margin, ListWidth, ListHeight);
    m_lv->setRootIsDecorated(false);
    m_lv->setAllColumnsShowFocus(true);
    m_lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lv->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lv->setColumnCount(1);
    m_lv->setHeaderLabels({QStringLiteral("File Name")});
    m_lv->setColumnWidth(0, 128);
    m_lv->header()->setSectionsClickable(false);
    m_lv->header()->setStretchLastSection(false);
    // Grid lines between the rows.
    m_lv->setStyleSheet(
        QStringLiteral("QTreeWidget::item { border-bottom: 1px solid palette(midlight); }"
                       "QTreeWidget::item:selected { background: palette(highlight);"
                       " color: palette(highlighted-text); }"));
    // A selection moved by click or by keyboard loads the fields of the row now selected.
    connect(m_lv, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_selecting)
            lv_id3Click();
    });
    // A click on the empty area changes no selection, yet is a click all the same.
    m_lv->viewport()->installEventFilter(this);

    m_title = new QLineEdit(this);
    m_title->setObjectName(QStringLiteral("edt_tatal"));
    m_artist = new QLineEdit(this);
    m_artist->setObjectName(QStringLiteral("edt_art"));
    m_album = new QLineEdit(this);
    m_album->setObjectName(QStringLiteral("edt_alb"));
    m_year = new QLineEdit(this);
    m_year->setObjectName(QStringLiteral("edt_year"));
    m_genre = new QComboBox(this);
    m_genre->setObjectName(QStringLiteral("edt_genre"));
    m_genre->setEditable(true);
    // A typed name stays as typed and is not added to the list.
    m_genre->setInsertPolicy(QComboBox::NoInsert);
    m_genre->setCompleter(nullptr);
    m_genre->setMaxVisibleItems(16);
    m_comment = new QPlainTextEdit(this);
    m_comment->setObjectName(QStringLiteral("edt_com"));
    m_comment->setTabChangesFocus(true);

    struct Row
    {
        Field field;
        QWidget* editor;
        const char* label;
        const char* all;
    };
    const Row rows[] = {
        {Field::Title, m_title, "Title:", "Button1"},
        {Field::Artist, m_artist, "Artist: ", "Button2"},
        {Field::Album, m_album, "Album: ", "Button3"},
        {Field::Year, m_year, "Year: ", "Button4"},
        {Field::Genre, m_genre, "Genre:", "Button5"},
        {Field::Comment, m_comment, "Comment: ", "Button6"},
    };
    int y = Margin;
    for (const Row& row : rows) {
        const bool memo = row.field == Field::Comment;
        const int height = memo ? ButtonY - Margin - y : RowHeight;
        auto* label = new QLabel(QString::fromLatin1(row.label), this);
        label->setGeometry(LabelX, y, LabelWidth, RowHeight);
        label->setBuddy(row.editor);
        row.editor->setGeometry(FieldX, y, FieldWidth, height);
        auto* all = new QPushButton(QStringLiteral("All"), this);
        all->setObjectName(QString::fromLatin1(row.all));
        all->setGeometry(AllX, y, AllWidth, RowHeight);
        all->setAutoDefault(false);
        all->setToolTip(QStringLiteral("Use this text for every track"));
        const Field field = row.field;
        connect(all, &QPushButton::clicked, this, [this, field] { storeFieldInAllRows(field); });
        if (field != Field::Genre)
            row.editor->installEventFilter(this);
        y += RowStep;
    }
    // Every change of a text is stored at once.
    connect(m_title, &QLineEdit::textChanged, this, [this] { storeField(Field::Title); });
    connect(m_artist, &QLineEdit::textChanged, this, [this] { storeField(Field::Artist); });
    connect(m_album, &QLineEdit::textChanged, this, [this] { storeField(Field::Album); });
    connect(m_year, &QLineEdit::textChanged, this, [this] { storeField(Field::Year); });
    connect(m_genre, &QComboBox::currentTextChanged, this, [this] { storeField(Field::Genre); });
    connect(m_comment, &QPlainTextEdit::textChanged, this, [this] { storeField(Field::Comment); });

    auto* reset = new QPushButton(QStringLiteral("Reset"), this);
    reset->setObjectName(QStringLiteral("Button7"));
    reset->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("btn_ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btn_cancel"));
    cancel->setAutoDefault(false);
    const int buttonX = ClientWidth - Margin - 3 * ButtonWidth - 2 * 6;
    reset->setGeometry(buttonX, ButtonY, ButtonWidth, ButtonHeight);
    ok->setGeometry(buttonX + ButtonWidth + 6, ButtonY, ButtonWidth, ButtonHeight);
    cancel->setGeometry(buttonX + 2 * (ButtonWidth + 6), ButtonY, ButtonWidth, ButtonHeight);
    connect(reset, &QPushButton::clicked, this, [this] { Button7Click(); });
    connect(ok, &QPushButton::clicked, this, [this] { btn_okClick(); });
    connect(cancel, &QPushButton::clicked, this, [this] { btn_cancelClick(); });
}

void Tfm_id3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    QRect frame = frameGeometry();
    if (const QWidget* main = parentWidget())
        frame.moveCenter(main->frameGeometry().center());
    move(frame.topLeft());
    FormShow();
}

void Tfm_id3::FormShow()
{
    // The main window holds re-reads of the disc back until the editor closes, so the rows the
    // copy is taken from stay the rows Ok writes to.
    m_host.setOpen(true);
    if (m_genre->count() == 0)
        m_genre->addItems(genreNames());
    loadFromMain();
}

void Tfm_id3::loadFromMain()
{
    const QStringList captions = m_host.captions();
    m_lv->clear();
    m_editTable.clear();
    m_listGeneration = m_host.listGeneration();
    // An empty main list: an empty list here, and the fields keep their texts.
    if (captions.isEmpty())
        return;
    {
        const QScopedValueRollback selecting(m_selecting, true);
        for (const QString& caption : captions)
            new QTreeWidgetItem(m_lv, {caption});
        m_lv->setCurrentItem(m_lv->topLevelItem(0));
    }
    m_editTable = m_host.trackTable();
    const TrackTable& table = m_editTable;
    if (table.isEmpty()) {
        clearFields();
        return;
    }
    // The title shown is the row's caption; the other fields come from the main table.
    const CDFreedinfo& record = table.front();
    m_artist->setText(record.Artist);
    m_album->setText(record.Album);
    m_title->setText(m_lv->topLevelItem(0)->text(0));
    m_comment->setPlainText(record.Comment);
    m_genre->setCurrentText(record.Genre);
    m_year->setText(record.Year);
}

void Tfm_id3::lv_id3Click()
{
    if (m_lv->topLevelItemCount() == 0)
        return;
    if (selectedRow() < 0) {
        const QScopedValueRollback selecting(m_selecting, true);
        m_lv->setCurrentItem(m_lv->topLevelItem(0));
    }
    loadFields(selectedRow());
}

void Tfm_id3::loadFields(int row)
{
    if (row < 0 || row >= m_editTable.size()) {
        clearFields();
        return;
    }
    // Each field stores only its own text on change, so loading one after another stores the
    // row's own texts back into it.
    const CDFreedinfo record = m_editTable[row];
    m_title->setText(record.Title);
    m_artist->setText(record.Artist);
    m_album->setText(record.Album);
    m_year->setText(record.Year);
    m_genre->setCurrentText(record.Genre);
    m_comment->setPlainText(record.Comment);
}

void Tfm_id3::clearFields()
{
    m_title->clear();
    m_artist->clear();
    m_album->clear();
    m_year->clear();
    m_genre->setCurrentText(QString());
    m_comment->clear();
}

int Tfm_id3::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_lv->selectedItems();
    return selected.isEmpty() ? -1 : m_lv->indexOfTopLevelItem(selected.front());
}

QString Tfm_id3::fieldText(Field field) const
{
    switch (field) {
    case Field::Title:
        return m_title->text();
    case Field::Artist:
        return m_artist->text();
    case Field::Album:
        return m_album->text();
    case Field::Year:
        return m_year->text();
    case Field::Genre:
        return m_genre->currentText();
    case Field::Comment:
        return m_comment->toPlainText();
    }
    return {};
}

QString& Tfm_id3::recordField(CDFreedinfo& record, Field field)
{
    switch (field) {
    case Field::Title:
        return record.Title;
    case Field::Artist:
        return record.Artist;
    case Field::Album:
        return record.Album;
    case Field::Year:
        return record.Year;
    case Field::Genre:
        return record.Genre;
    case Field::Comment:
        break;
    }
    return record.Comment;
}

void Tfm_id3::storeField(Field field)
{
    const int row = selectedRow();
    if (row < 0 || row >= m_editTable.size())
        return;
    recordField(m_editTable[row], field) = fieldText(field);
}

void Tfm_id3::storeFieldInAllRows(Field field)
{
    const QString text = fieldText(field);
    for (int row = 0; row < m_lv->topLevelItemCount() && row < m_editTable.size(); ++row)
        recordField(m_editTable[row], field) = text;
}

void Tfm_id3::fieldExit(Field field)
{
    storeField(field);
    if (field != Field::Title)
        return;
    const int row = selectedRow();
    if (row >= 0)
        m_lv->topLevelItem(row)->setText(0, m_title->text());
}

bool Tfm_id3::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == m_title)
            fieldExit(Field::Title);
        else if (watched == m_artist)
            fieldExit(Field::Artist);
        else if (watched == m_album)
            fieldExit(Field::Album);
        else if (watched == m_year)
            fieldExit(Field::Year);
        else if (watched == m_comment)
            fieldExit(Field::Comment);
    } else if (event->type() == QEvent::MouseButtonRelease && watched == m_lv->viewport()) {
        lv_id3Click();
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_id3::Button7Click()
{
    m_lv->clear();
    if (m_host.captions().isEmpty())
        return;
    loadFromMain();
}

void Tfm_id3::btn_okClick()
{
    const int count = m_lv->topLevelItemCount();
    // Re-reads wait while the editor is open; should the list be another disc's all the same,
    // the copy is dropped rather than written onto that disc's rows.
    if (count > 0 && m_listGeneration == m_host.listGeneration() &&
        count <= m_host.captions().size())
        m_host.takeTrackTable(m_editTable);
    accept();
}

void Tfm_id3::btn_cancelClick()
{
    reject();
}

void Tfm_id3::done(int result)
{
    // Every way of closing (Ok, Cancel, the close box, Escape) ends here.
    FormCloseQuery();
    QDialog::done(result);
    m_host.setOpen(false);
}

void Tfm_id3::FormCloseQuery()
{
    m_lv->clear();
    m_editTable.clear();
}
