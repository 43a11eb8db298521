#include "gui/MainWindowTestSupport.h"
#include "gui/TagEditor.h"
#include "support/MediaProbe.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

// The tag editor over the main window on a disc image: shown without a modal loop so the test
// can work it, and once through the skin command that shows it modally.
class TagEditorTest : public MainWindowTest
{
protected:
    std::unique_ptr<Tfm_main> started(const DiscFixture::DiscLayout& disc)
    {
        m_cue = makeDisc(QStringLiteral("disc"), disc);
        auto main = window({m_cue});
        main->resize(611, 452);
        main->FormShow();
        m_editor = new Tfm_id3(main->tagEditorHost(), main.get());
        return main;
    }

    template <typename T> T* child(const char* name) const
    {
        T* found = m_editor->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QTreeWidget* list() const { return child<QTreeWidget>("lv_id3"); }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    QComboBox* genre() const { return child<QComboBox>("edt_genre"); }
    QPlainTextEdit* comment() const { return child<QPlainTextEdit>("edt_com"); }
    void click(const char* button) const
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    // The texts of the six fields, in the window's order.
    QStringList fields() const
    {
        return {edit("edt_tatal")->text(), edit("edt_art")->text(), edit("edt_alb")->text(),
                edit("edt_year")->text(),  genre()->currentText(),  comment()->toPlainText()};
    }

    static QStringList record(const CDFreedinfo& r)
    {
        return {r.Title, r.Artist, r.Album, r.Year, r.Genre, r.Comment};
    }

    static QStringList captions(const QTreeWidget* tree)
    {
        QStringList texts;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            texts << tree->topLevelItem(i)->text(0);
        return texts;
    }

    static QStringList mainRows(const Tfm_main& main)
    {
        QStringList rows;
        for (int i = 0; i < main.trackModel().rowCount(); ++i)
            rows << row(main.trackModel(), i).join(u'|');
        return rows;
    }

    static QList<QStringList> records(const Tfm_main& main)
    {
        QList<QStringList> all;
        for (const CDFreedinfo& r : const_cast<Tfm_main&>(main).trackTable())
            all << record(r);
        return all;
    }

    void clickRow(int index) const
    {
        QTreeWidget* tree = list();
        const QRect rect = tree->visualItemRect(tree->topLevelItem(index));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString m_cue;
    Tfm_id3* m_editor = nullptr;
};

TEST_F(TagEditorTest, WindowShowsTheListAndTheFirstRowWithTheGenreListFilledOnce)
{
    auto main = started(textDisc());
    main->show();
    editRecord(*main, 0, [](CDFreedinfo& record) {
        record.Year = QStringLiteral("1999");
        record.Genre = QStringLiteral("Rock");
        record.Comment = QStringLiteral("first\nsecond line");
    });

    m_editor->show();
    EXPECT_EQ(m_editor->windowTitle(), QStringLiteral("ID3 Edit"));
    EXPECT_EQ(m_editor->size(), QSize(419, 288));
    EXPECT_EQ(m_editor->frameGeometry().center(), main->frameGeometry().center());
    EXPECT_EQ(captions(list()), (QStringList{QStringLiteral("Intro"), QStringLiteral("Café Müller"),
                                             QStringLiteral("Coda")}));
    EXPECT_TRUE(list()->topLevelItem(0)->isSelected());
    EXPECT_EQ(fields(),
              (QStringList{QStringLiteral("Intro"), QStringLiteral("Art/Pop"),
                           QStringLiteral("Live: Bootleg"), QStringLiteral("1999"),
                           QStringLiteral("Rock"), QStringLiteral("first\nsecond line")}));

    // The published order with the drop-down's own spellings, and not doubled by a second show.
    click("btn_cancel");
    m_editor->show();
    QComboBox* box = genre();
    ASSERT_EQ(box->count(), 148);
    // Both ends of both lists, and the shortened entries.
    const std::pair<int, const char*> entries[] = {{0, "Blues"},
                                                   {79, "Hard Rock"},
                                                   {80, "Folk"},
                                                   {123, "A capella"},
                                                   {64, "Native US"},
                                                   {136, "Christian Gangsta"},
                                                   {140, "Contemporary C"},
                                                   {146, "JPop"},
                                                   {147, "SynthPop"}};
    for (const auto& [index, name] : entries)
        EXPECT_EQ(box->itemText(index), QString::fromUtf8(name)) << index;
    // A name of one's own is kept as typed, not added to the list.
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box, QStringLiteral("Krautrock"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(m_editor->editTable()[0].Genre, QStringLiteral("Krautrock"));
    EXPECT_EQ(box->count(), 148);
    click("btn_cancel");
}

TEST_F(TagEditorTest, ClickAndKeyboardSelectionLoadTheRowThatEditsThenChange)
{
    auto main = started(textDisc());
    editRecord(*main, 2, [](CDFreedinfo& record) { record.Comment = QStringLiteral("last"); });
    m_editor->show();
    clickRow(2);
    EXPECT_EQ(fields()[0], QStringLiteral("Coda"));
    EXPECT_EQ(fields()[5], QStringLiteral("last"));

    // Focus moves, and leaves fields, only in the active window.
    m_editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_editor));

    // Up by keyboard: the fields show the second row, and typing changes only that row.
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Up);
    ASSERT_TRUE(list()->topLevelItem(1)->isSelected());
    EXPECT_EQ(fields()[0], QStringLiteral("Café Müller"));
    EXPECT_EQ(fields()[5], QString());
    edit("edt_art")->setFocus();
    edit("edt_art")->selectAll();
    QTest::keyClicks(edit("edt_art"), QStringLiteral("Pina Bausch"));
    EXPECT_EQ(m_editor->editTable()[1].Artist, QStringLiteral("Pina Bausch"));
    EXPECT_EQ(record(m_editor->editTable()[2]), record(main->trackTable()[2]));
    EXPECT_EQ(m_editor->editTable()[0].Artist, QStringLiteral("Art/Pop"));

    // Leaving the title field names the row after it.
    edit("edt_tatal")->setFocus();
    edit("edt_tatal")->setText(QStringLiteral("Café"));
    list()->setFocus();
    EXPECT_EQ(list()->topLevelItem(1)->text(0), QStringLiteral("Café"));

    // A click on the empty area below the rows leaves a row selected and shown.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      QPoint(20, list()->viewport()->height() - 5));
    ASSERT_EQ(list()->selectedItems().size(), 1);
    const int shown = list()->indexOfTopLevelItem(list()->selectedItems().front());
    EXPECT_EQ(fields()[0], m_editor->editTable()[shown].Title);
}

TEST_F(TagEditorTest, AllButtonsAndOkReachTheTableAndOnlyTheThreeTextColumns)
{
    auto main = started(textDisc());
    const QStringList before = mainRows(*main);
    m_editor->show();
    edit("edt_tatal")->setText(QStringLiteral("Same"));
    click("Button1");
    edit("edt_art")->setText(QStringLiteral("Ensemble"));
    click("Button2");
    edit("edt_year")->setText(QStringLiteral("2001"));
    click("Button4");
    genre()->setCurrentIndex(32);
    click("Button5");
    comment()->setPlainText(QStringLiteral("live"));
    click("Button6");
    clickRow(1);
    edit("edt_alb")->setText(QStringLiteral("Other Album"));
    // "All" leaves the captions of the editor's list as they were.
    EXPECT_EQ(captions(list())[2], QStringLiteral("Coda"));
    click("btn_ok");

    EXPECT_FALSE(m_editor->isVisible());
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    for (int i = 0; i < 3; ++i) {
        const QStringList cells = row(main->trackModel(), i);
        EXPECT_EQ(cells[0], QStringLiteral("Same"));
        EXPECT_EQ(cells[1], QStringLiteral("Ensemble"));
        EXPECT_EQ(cells[2],
                  i == 1 ? QStringLiteral("Other Album") : QStringLiteral("Live: Bootleg"));
        // Time and status stay; year, genre and comment live in the table only.
        EXPECT_EQ(cells.mid(3), before[i].split(u'|').mid(3));
        EXPECT_EQ(record(main->trackTable()[i]).mid(3),
                  (QStringList{QStringLiteral("2001"), QStringLiteral("Classical"),
                               QStringLiteral("live")}));
    }
}

TEST_F(TagEditorTest, CancelCloseBoxAndResetLeaveTableAndListAsTheyWere)
{
    auto main = started(textDisc());
    const QStringList rows = mainRows(*main);
    const QList<QStringList> table = records(*main);
    auto edits = [this] {
        edit("edt_tatal")->setText(QStringLiteral("Changed"));
        click("Button1");
        comment()->setPlainText(QStringLiteral("note"));
        click("Button6");
    };

    m_editor->show();
    edits();
    click("btn_cancel");
    EXPECT_FALSE(m_editor->isVisible());
    EXPECT_EQ(mainRows(*main), rows);
    EXPECT_EQ(records(*main), table);

    m_editor->show();
    edits();
    m_editor->close();
    EXPECT_FALSE(m_editor->isVisible());
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(records(*main), table);

    // Reset goes back to the main window's texts and the first row; Ok then changes nothing.
    m_editor->show();
    edits();
    clickRow(2);
    click("Button7");
    EXPECT_EQ(captions(list()), (QStringList{QStringLiteral("Intro"), QStringLiteral("Café Müller"),
                                             QStringLiteral("Coda")}));
    EXPECT_TRUE(list()->topLevelItem(0)->isSelected());
    EXPECT_EQ(fields()[0], QStringLiteral("Intro"));
    click("btn_ok");
    EXPECT_EQ(mainRows(*main), rows);
    EXPECT_EQ(records(*main), table);
}

TEST_F(TagEditorTest, EmptyListOpensEmptyAndOkOnlyCloses)
{
    auto main = window({path(QStringLiteral("nothing.cue"))});
    main->FormShow();
    m_editor = new Tfm_id3(main->tagEditorHost(), main.get());
    m_editor->show();
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(genre()->count(), 148);
    edit("edt_tatal")->setText(QStringLiteral("Nothing"));
    click("Button1");
    click("Button7");
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    click("btn_ok");
    EXPECT_FALSE(m_editor->isVisible());
    EXPECT_TRUE(main->trackTable().isEmpty());
    EXPECT_EQ(main->trackModel().rowCount(), 0);
    // The fields keep their texts for the next showing.
    m_editor->show();
    EXPECT_EQ(edit("edt_tatal")->text(), QStringLiteral("Nothing"));
    click("btn_cancel");
}

TEST_F(TagEditorTest, DiscChangeWhileOpenWaitsAndOkStaysOnTheFirstDisc)
{
    auto main = started(textDisc());
    m_editor->show();
    edit("edt_tatal")->setText(QStringLiteral("Edited"));

    QSignalSpy changes(&main->grabber(), &IAudioCDGrabber2::OnMediaChange);
    DiscFixture::writeDisc(m_cue.toStdString(), DiscFixture::audioDisc({75, 75}));
    ASSERT_TRUE(changes.wait(5000));
    main->Skin1Click(QStringLiteral("refresh"));
    // The list under the editor is still the first disc's.
    ASSERT_EQ(main->trackModel().rowCount(), 3);
    EXPECT_EQ(row(main->trackModel(), 1)[0], QStringLiteral("Café Müller"));

    // Ok writes onto the rows it was opened on; then the new disc is read.
    click("btn_ok");
    ASSERT_EQ(main->trackModel().rowCount(), 2);
    EXPECT_EQ(row(main->trackModel(), 0)[0], QStringLiteral("Track01"));
    ASSERT_EQ(main->trackTable().size(), 2);
    EXPECT_EQ(main->trackTable()[0].Title, QStringLiteral("Track01"));
    EXPECT_EQ(main->trackTable()[0].Artist, QStringLiteral("Unknown Artist"));
}

TEST_F(TagEditorTest, SkinCommandShowsItModallyAndTheEditedTextsReachTheFiles)
{
    DiscFixture::DiscLayout disc;
    disc.album = "Live: Bootleg";
    disc.performer = "Art/Pop";
    disc.tracks = {{2 * SectorsPerSecond, "Intro", {}}, {SectorsPerSecond, "Coda", {}}};
    auto main = started(disc);
    main->show();
    bool modal = false;
    QTimer::singleShot(0, main.get(), [&] {
        auto* shown = qobject_cast<Tfm_id3*>(QApplication::activeModalWidget());
        if (shown != m_editor) {
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        modal = shown->isModal();
        edit("edt_tatal")->setText(QStringLiteral("Ουβερτούρα"));
        edit("edt_art")->setText(QStringLiteral("Хор"));
        comment()->setPlainText(QStringLiteral("録音 1999"));
        clickRow(1);
        // A typed title goes through the file-name cleaning: the file stays in the folder.
        edit("edt_tatal")->setText(QStringLiteral("../../Coda"));
        click("btn_ok");
    });
    main->Skin1Click(QStringLiteral("id3"));
    EXPECT_TRUE(modal);
    EXPECT_EQ(row(main->trackModel(), 0)[0], QStringLiteral("Ουβερτούρα"));

    const std::pair<OutputFormatNumber, QString> formats[] = {
        {OutputFormatNumber::Wma, QStringLiteral(".wma")},
        {OutputFormatNumber::Mp3, QStringLiteral(".mp3")},
        {OutputFormatNumber::OggVorbis, QStringLiteral(".ogg")}};
    for (const auto& [format, extension] : formats) {
        main->convertTo(format);
        const QString file = path(QStringLiteral("out/Ουβερτούρα") + extension);
        ASSERT_TRUE(QFileInfo::exists(file)) << file.toStdString();
        const MediaProbe::TagList tags = MediaProbe::tags(file);
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("title")), QStringLiteral("Ουβερτούρα"));
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("artist")), QStringLiteral("Хор"));
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("comment")), QStringLiteral("録音 1999"))
            << extension.toStdString();
    }
    // Leading dots and the separators are cleaned away: every file is directly in the folder.
    EXPECT_EQ(filesBelow(path(QStringLiteral("out"))),
              (QStringList{QStringLiteral("Coda.mp3"), QStringLiteral("Coda.ogg"),
                           QStringLiteral("Coda.wma"), QStringLiteral("Ουβερτούρα.mp3"),
                           QStringLiteral("Ουβερτούρα.ogg"), QStringLiteral("Ουβερτούρα.wma")}));
}

} // namespace
