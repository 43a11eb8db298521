#include "gui/DirDialog.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>

namespace {

// The output folder dialog on real folders of a temporary tree.
class DirDialogTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(root()).mkpath(QStringLiteral("first")));
        ASSERT_TRUE(QDir(root()).mkpath(QStringLiteral("second/inner")));
    }

    // Runs the directory mode; action runs once the modal dialog is open.
    void runDirectoryMode(const std::function<void()>& action)
    {
        QTimer::singleShot(0, &m_dialog, [this, action] {
            EXPECT_TRUE(m_dialog.isVisible());
            action();
            // Whatever the action did, the dialog must not stay open and hang the test.
            if (m_dialog.isVisible())
                m_dialog.reject();
        });
        m_dialog.runDirectoryMode(nullptr);
    }

    void click(const char* button)
    {
        auto* b = m_dialog.findChild<QPushButton*>(QLatin1StringView(button));
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    bool visible(const char* name) const
    {
        auto* widget = m_dialog.findChild<QWidget*>(QLatin1StringView(name));
        return widget && widget->isVisibleTo(&m_dialog);
    }

    QString cancelCaption() const
    {
        return m_dialog.findChild<QPushButton*>(QStringLiteral("btn_cancel"))->text();
    }

    Tfm_dir m_dialog;
};

TEST_F(DirDialogTest, OkTakesTheSelectedFolderCancelEmptiesItTheCloseButtonKeepsIt)
{
    EXPECT_EQ(m_dialog.chosenDirectory(), QString());
    const QString inner = path(QStringLiteral("second/inner"));
    runDirectoryMode([&] {
        m_dialog.selectFolder(inner);
        click("btn_ok");
    });
    EXPECT_EQ(m_dialog.chosenDirectory(), inner);

    // The tree keeps its selection between showings; the title bar's close button changes
    // nothing.
    runDirectoryMode([&] {
        EXPECT_EQ(m_dialog.selectedFolder(), inner);
        m_dialog.close();
    });
    EXPECT_EQ(m_dialog.chosenDirectory(), inner);

    runDirectoryMode([&] {
        m_dialog.selectFolder(path(QStringLiteral("first")));
        click("btn_cancel");
    });
    EXPECT_EQ(m_dialog.chosenDirectory(), QString());
}

TEST_F(DirDialogTest, OkWithoutASelectedFolderYieldsAnEmptyPath)
{
    runDirectoryMode([&] {
        m_dialog.findChild<QTreeView*>(QStringLiteral("ShellTreeView1"))->clearSelection();
        click("btn_ok");
    });
    EXPECT_EQ(m_dialog.chosenDirectory(), QString());
}

TEST_F(DirDialogTest, TheTreeShowsFoldersOnlyAndOpensAtTheHomeFolder)
{
    Tfm_dir fresh;
    EXPECT_EQ(fresh.selectedFolder(), QDir::homePath());

    writeAll(path(QStringLiteral("file.txt")), "x");
    auto* tree = fresh.findChild<QTreeView*>(QStringLiteral("ShellTreeView1"));
    fresh.selectFolder(root());
    const QModelIndex folder = tree->currentIndex();
    tree->expand(folder);
    QStringList shown;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        shown.clear();
        for (int row = 0; row < tree->model()->rowCount(folder); ++row)
            shown << tree->model()->index(row, 0, folder).data().toString();
        shown.sort();
        return shown.size() == 2;
    }));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    // A file is no folder to choose.
    fresh.selectFolder(path(QStringLiteral("file.txt")));
    EXPECT_EQ(fresh.selectedFolder(), root());
}

TEST_F(DirDialogTest, TheLookupModeAndTheDirectoryModeEachShowTheirOwnControls)
{
    QWidget caller;
    caller.setGeometry(100, 80, 611, 452);
    m_dialog.showFreeDBInfo(&caller, true);
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_FALSE(m_dialog.isModal());
    EXPECT_EQ(m_dialog.windowTitle(), QStringLiteral("FreeDB info"));
    EXPECT_TRUE(visible("Memo1"));
    EXPECT_TRUE(visible("edt_retry"));
    EXPECT_FALSE(visible("ShellTreeView1"));
    EXPECT_FALSE(visible("btn_ok"));
    EXPECT_EQ(cancelCaption(), QStringLiteral("Close"));
    EXPECT_EQ(m_dialog.pos(), Tfm_dir::centredOver(caller.geometry(), m_dialog.size()));

    m_dialog.appendLog(QStringLiteral("first line"));
    QSignalSpy retries(&m_dialog, &Tfm_dir::retryClicked);
    click("edt_retry");
    EXPECT_EQ(retries.count(), 1);
    m_dialog.appendLog(QStringLiteral("second line"));
    EXPECT_EQ(m_dialog.logText(), QStringLiteral("first line\nsecond line"));

    // "Close" empties the chosen directory, like Cancel.
    runDirectoryMode([&] { click("btn_ok"); });
    ASSERT_FALSE(m_dialog.chosenDirectory().isEmpty());
    m_dialog.showFreeDBInfo(&caller, false);
    click("btn_cancel");
    EXPECT_FALSE(m_dialog.isVisible());
    EXPECT_EQ(m_dialog.chosenDirectory(), QString());

    runDirectoryMode([&] {
        EXPECT_EQ(m_dialog.windowTitle(), QStringLiteral("Output Directory"));
        EXPECT_TRUE(visible("ShellTreeView1"));
        EXPECT_TRUE(visible("btn_ok"));
        EXPECT_FALSE(visible("Memo1"));
        EXPECT_FALSE(visible("edt_retry"));
        EXPECT_EQ(cancelCaption(), QStringLiteral("Cancel"));
        EXPECT_TRUE(m_dialog.isModal());
    });

    // The log keeps its text until a showing asks for it to be emptied.
    m_dialog.showFreeDBInfo(&caller, false);
    EXPECT_EQ(m_dialog.logText(), QStringLiteral("first line\nsecond line"));
    m_dialog.showFreeDBInfo(&caller, true);
    EXPECT_EQ(m_dialog.logText(), QString());
}

TEST_F(DirDialogTest, CentringDividesTowardZero)
{
    // (100 - 287) / 2 is -93, not -94; (51 - 254) / 2 is -101, not -102.
    EXPECT_EQ(Tfm_dir::centredOver(QRect(10, 20, 100, 51), QSize(287, 254)), QPoint(-83, -81));
    EXPECT_EQ(Tfm_dir::centredOver(QRect(0, 0, 400, 339), QSize(287, 254)), QPoint(56, 42));
}

// Enter presses Ok in the folder mode and nothing in the lookup mode, where Ok is hidden.
TEST_F(DirDialogTest, EnterPressesOkOnlyWhereOkIsShown)
{
    const QString first = path(QStringLiteral("first"));
    runDirectoryMode([&] {
        m_dialog.selectFolder(first);
        QTest::keyClick(m_dialog.findChild<QTreeView*>(QStringLiteral("ShellTreeView1")),
                        Qt::Key_Return);
        EXPECT_FALSE(m_dialog.isVisible());
    });
    EXPECT_EQ(m_dialog.chosenDirectory(), first);

    m_dialog.showFreeDBInfo(nullptr, true);
    QSignalSpy retries(&m_dialog, &Tfm_dir::retryClicked);
    for (const char* focus : {"Memo1", "edt_retry"})
        QTest::keyClick(m_dialog.findChild<QWidget*>(QLatin1StringView(focus)), Qt::Key_Return);
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_EQ(retries.count(), 0);
    EXPECT_EQ(m_dialog.chosenDirectory(), first);
    m_dialog.hide();
}

// No settings line can hold a path with a line break: such a folder is refused, by name.
TEST_F(DirDialogTest, AFolderWithALineBreakIsRefused)
{
    QStringList shown;
    std::deque<bool> answers;
    RecordingPrompter prompter(shown, answers);
    m_dialog.setPrompter(&prompter);
    ASSERT_TRUE(QDir(root()).mkpath(QStringLiteral("two\nlines")));
    runDirectoryMode([&] {
        m_dialog.selectFolder(path(QStringLiteral("two\nlines")));
        click("btn_ok");
        EXPECT_TRUE(m_dialog.isVisible());
    });
    EXPECT_EQ(m_dialog.chosenDirectory(), QString());
    EXPECT_EQ(shown,
              QStringList{QStringLiteral("The folder \"%1/two\\nlines\" cannot be the output "
                                         "folder: its name holds a line break.")
                              .arg(root())});
}

} // namespace
