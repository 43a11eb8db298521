#include "base/ComponentError.h"
#include "gui/SkinLocation.h"
#include "gui/TSkin.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <sys/stat.h>

namespace {

const QString form = QStringLiteral("TunecrestRipper");

const QStringList commands = {
    QStringLiteral("file"),  QStringLiteral("settings"),      QStringLiteral("help"),
    QStringLiteral("help1"), QStringLiteral("freedb"),        QStringLiteral("refresh"),
    QStringLiteral("play"),  QStringLiteral("pause"),         QStringLiteral("playstop"),
    QStringLiteral("id3"),   QStringLiteral("stopconverter"), QStringLiteral("converter")};

// A plain skin: blue face, green "play", red "pb" over a black track; the objects may sit in
// a moved group and the view box may be scaled, as drawing programs write them.
QByteArray plainSkin(bool withBar, const QString& viewBox = QStringLiteral("0 0 611 452"))
{
    const QString bar = withBar ? QStringLiteral(R"(<rect id="pb" x="13" y="398" width="584" )"
                                                 R"(height="14" fill="#ff0000"/>)")
                                : QString();
    return QStringLiteral(R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="611" height="452"
 viewBox="%1"><g id="TunecrestRipper"><rect width="611" height="452" fill="#0000ff"/>
 <g transform="translate(100 50)"><rect id="play" width="40" height="30" fill="#00ff00"/></g>
 <rect id="stopconverter" x="200" y="50" width="40" height="30" fill="#00ff00"/>
 <rect x="13" y="398" width="584" height="14" fill="#000000"/>%2</g></svg>)svg")
        .arg(viewBox, bar)
        .toUtf8();
}

class SkinTest : public TempDirTest
{
protected:
    void SetUp() override { m_window.resize(611, 452); }

    // The copy the build puts beside the program.
    static QString realSkin()
    {
        return qEnvironmentVariable("TUNECREST_TEST_BIN") + QStringLiteral("/src/mp3enc.dll");
    }

    void skin(const QString& path)
    {
        m_skin.LoadSkin(path);
        m_skin.ApplySkin(&m_window);
        m_skin.ApplySkinForm(&m_window, form);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    void plain(bool withBar, const QString& viewBox = QStringLiteral("0 0 611 452"))
    {
        writeAll(path(QStringLiteral("plain.svg")), plainSkin(withBar, viewBox));
        skin(path(QStringLiteral("plain.svg")));
    }

    QAbstractButton* button(const QString& name)
    {
        return m_window.findChild<QAbstractButton*>(name);
    }

    QRgb pixel(int x, int y) { return m_window.grab().toImage().pixel(x, y) & 0xffffff; }

    QWidget m_window;
    TSkin m_skin;
};

TEST_F(SkinTest, DefaultSkinHasEveryCommandClearOfTheListAndABarAtFullWidth)
{
    skin(realSkin());
    ASSERT_NE(m_skin.GetSkinForm(&m_window), nullptr);
    EXPECT_EQ(m_skin.GetSkinForm(&m_window)->Name(), form);

    const QRect list(13, 122, 575, 264);
    QList<QRect> taken;
    for (const QString& name : commands) {
        ISkinObject* object = m_skin.GetObjectByName(&m_window, name);
        ASSERT_NE(object, nullptr) << name.toStdString();
        EXPECT_EQ(object->Name(), name);
        const QRect r = object->GetRect();
        EXPECT_TRUE(QRect(0, 0, 611, 452).contains(r)) << name.toStdString();
        EXPECT_GE(r.width(), 24) << name.toStdString();
        EXPECT_GE(r.height(), 18) << name.toStdString();
        EXPECT_FALSE(r.intersects(list)) << name.toStdString();
        for (const QRect& other : taken)
            EXPECT_FALSE(r.intersects(other)) << name.toStdString();
        taken.append(r);

        QAbstractButton* b = button(name);
        ASSERT_NE(b, nullptr) << name.toStdString();
        EXPECT_FALSE(b->accessibleName().isEmpty()) << name.toStdString();
        EXPECT_EQ(b->toolTip(), b->accessibleName());
    }
    EXPECT_EQ(button(QStringLiteral("playstop"))->accessibleName(), QStringLiteral("Stop play"));
    EXPECT_EQ(button(QStringLiteral("stopconverter"))->accessibleName(),
              QStringLiteral("Stop rip"));

    ISkinObject* bar = m_skin.GetObjectByName(&m_window, QStringLiteral("pb"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetRect().width(), 584);
    EXPECT_NEAR(bar->GetRect().left(), 13, 1);
    EXPECT_GE(bar->GetRect().top(), list.bottom());
    EXPECT_EQ(m_skin.GetObjectByName(&m_window, QStringLiteral("Play")), nullptr);
}

TEST_F(SkinTest, FilesThatAreNoSkinAreRefusedNamingThePath)
{
    const QString svgWithoutForm = path(QStringLiteral("other.svg"));
    writeAll(svgWithoutForm, R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">)"
                             R"(<rect id="play" width="5" height="5"/></svg>)");
    const QString text = path(QStringLiteral("notes.txt"));
    writeAll(text, "just some words\n");
    const QString fifo = path(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    for (const QString& bad :
         {path(QStringLiteral("absent/mp3enc.dll")), root(), fifo, text, svgWithoutForm}) {
        try {
            m_skin.LoadSkin(bad);
            ADD_FAILURE() << "loaded " << bad.toStdString();
        } catch (const ComponentError& e) {
            EXPECT_TRUE(e.message().contains(bad)) << e.what();
        }
    }
    EXPECT_THROW(m_skin.ApplySkin(&m_window), ComponentError); // nothing loaded yet

    // A refused file leaves the skin loaded before it in place.
    writeAll(path(QStringLiteral("plain.svg")), plainSkin(true));
    m_skin.LoadSkin(path(QStringLiteral("plain.svg")));
    EXPECT_THROW(m_skin.LoadSkin(text), ComponentError);
    m_skin.ApplySkin(&m_window);
    m_skin.ApplySkinForm(&m_window, form);
    EXPECT_NE(m_skin.GetObjectByName(&m_window, QStringLiteral("play")), nullptr);
    EXPECT_THROW(m_skin.ApplySkinForm(&m_window, QStringLiteral("OtherForm")), ComponentError);
}

TEST_F(SkinTest, MouseAndKeyboardReportTheObjectByName)
{
    skin(realSkin());
    QSignalSpy clicks(&m_skin, &ISkin::Click);
    const auto lastName = [&clicks] {
        return clicks.isEmpty()
                   ? std::string()
                   : clicks.takeLast().at(0).value<ISkinObject*>()->Name().toStdString();
    };

    QTest::mouseClick(button(QStringLiteral("converter")), Qt::LeftButton);
    EXPECT_EQ(lastName(), "converter");
    // Through the window, as a user clicks: the face between the buttons reports nothing.
    QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, QPoint(300, 430));
    EXPECT_TRUE(clicks.isEmpty());

    QApplication::setActiveWindow(&m_window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    button(QStringLiteral("refresh"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), button(QStringLiteral("freedb")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(lastName(), "freedb");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(lastName(), "play");
}

TEST_F(SkinTest, ProgressBarPaintsItsRectangle)
{
    plain(true);
    ISkinObject* bar = m_skin.GetObjectByName(&m_window, QStringLiteral("pb"));
    ASSERT_NE(bar, nullptr);
    const QRect full = bar->GetRect();
    EXPECT_EQ(full, QRect(13, 398, 584, 14));
    EXPECT_EQ(pixel(590, 405), 0xff0000u);

    for (int width : {0, 100, 583}) {
        bar->SetRect(QRect(full.left(), full.top(), width, full.height()));
        bar->Repaint();
        EXPECT_EQ(bar->GetRect().width(), width);
        EXPECT_EQ(bar->GetRect().topLeft(), full.topLeft());
        const QRgb inside = pixel(13 + std::max(width - 1, 0), 405);
        EXPECT_EQ(inside, width == 0 ? 0x000000u : 0xff0000u) << width;
        EXPECT_EQ(pixel(13 + width, 405), 0x000000u) << width;
    }
}

TEST_F(SkinTest, SkinWithoutBarOrWithMovedAndScaledObjects)
{
    plain(false);
    EXPECT_EQ(m_skin.GetObjectByName(&m_window, QStringLiteral("pb")), nullptr);
    EXPECT_EQ(m_skin.GetObjectByName(&m_window, QStringLiteral("play"))->GetRect(),
              QRect(100, 50, 40, 30));
    QSignalSpy clicks(&m_skin, &ISkin::Click);
    QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, QPoint(220, 65));
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks.at(0).at(0).value<ISkinObject*>()->Name(), QStringLiteral("stopconverter"));

    // A view box twice the size halves every object; loading again reskins the window.
    plain(true, QStringLiteral("0 0 1222 904"));
    EXPECT_EQ(m_skin.GetObjectByName(&m_window, QStringLiteral("play"))->GetRect(),
              QRect(50, 25, 20, 15));
    EXPECT_NEAR(m_skin.GetObjectByName(&m_window, QStringLiteral("pb"))->GetRect().width(), 292, 1);
}

TEST_F(SkinTest, LookupTriesBesideTheProgramThenTheDataFolder)
{
    const QString bin = path(QStringLiteral("bin"));
    const QString data = path(QStringLiteral("share/tunecrest"));
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(data));
    const QString beside = bin + QStringLiteral("/mp3enc.dll");
    const QString installed = data + QStringLiteral("/mp3enc.dll");

    QStringList tried;
    EXPECT_TRUE(findSkinFile(&tried, bin).isEmpty());
    EXPECT_EQ(tried, QStringList({beside, installed}));
    writeAll(installed, plainSkin(true));
    EXPECT_EQ(findSkinFile(&tried, bin), installed);
    writeAll(beside, plainSkin(true));
    EXPECT_EQ(findSkinFile(&tried, bin), beside);
    EXPECT_EQ(tried, QStringList({beside}));
}

// A command that opens a pop-up takes the pointer away from its button, and on X11 the button
// stays marked as under the mouse after an item is picked. The hover look follows the pointer.
TEST_F(SkinTest, TheHoverLookFollowsThePointerNotAStaleMark)
{
    plain(true);
    QAbstractButton* play = button(QStringLiteral("play"));
    QMenu menu(&m_window);
    menu.addAction(QStringLiteral("Item"));
    for (const auto& [pointer, popupOpen, washed] :
         {std::tuple{QPoint(120, 65), false, true}, std::tuple{QPoint(300, 300), false, false},
          std::tuple{QPoint(120, 65), true, false}}) {
        if (popupOpen)
            menu.popup(m_window.mapToGlobal(QPoint(300, 200)));
        QCursor::setPos(m_window.mapToGlobal(pointer));
        play->setAttribute(Qt::WA_UnderMouse, true);
        EXPECT_EQ(pixel(120, 65) != 0x00ff00u, washed) << pointer.x() << ' ' << popupOpen;
        menu.hide();
    }
}

} // namespace
