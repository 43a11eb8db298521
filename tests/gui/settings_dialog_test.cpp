#include "gui/DirDialog.h"
#include "gui/MainWindowTestSupport.h"
#include "gui/SettingsDialog.h"
#include "settings/Locations.h"
#include "settings/SettingsFile.h"
#include "support/MediaProbe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace {

// The settings dialog of a main window over real image drives, with a temporary settings file.
class SettingsDialogTest : public MainWindowTest
{
protected:
    QString settingsPath() const { return path(QStringLiteral("settings.ini")); }

    QString stored(const char* section, const char* key) const
    {
        return SettingsFile(settingsPath())
            .readString(QLatin1StringView(section), QLatin1StringView(key),
                        QStringLiteral("<missing>"));
    }

    void store(const char* section, const char* key, const QString& value)
    {
        SettingsFile(settingsPath())
            .writeString(QLatin1StringView(section), QLatin1StringView(key), value);
    }

    QString disc(const QString& name, int tracks)
    {
        DiscFixture::DiscLayout layout;
        for (int i = 0; i < tracks; ++i)
            layout.tracks.push_back({SectorsPerSecond, "Track", {}});
        return makeDisc(name, layout);
    }

    std::unique_ptr<Tfm_main> started(const QStringList& drives)
    {
        auto main = window(drives);
        main->FormShow();
        m_set = main->settingsDialog();
        return main;
    }

    std::unique_ptr<Tfm_main> started() { return started({disc(QStringLiteral("disc"), 2)}); }

    // Opens the dialog through the window's settings command; action runs while it is open
    // (modal), and the dialog is cancelled afterwards if action left it open.
    void whileOpen(Tfm_main& main, const std::function<void()>& action)
    {
        bool ran = false;
        QTimer::singleShot(0, m_set, [&] {
            ran = true;
            action();
            if (m_set->isVisible())
                m_set->reject();
        });
        main.Skin1Click(QStringLiteral("settings"));
        EXPECT_TRUE(ran);
    }

    template <typename W> W* find(const char* name) const
    {
        W* widget = m_set->findChild<W*>(QLatin1StringView(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // A click on the button's caption: a check box takes clicks on its box and caption only.
    void click(const char* name)
    {
        auto* button = find<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }

    // The chosen entry of a radio group, -1 for none.
    int radioIndex(const char* group) const
    {
        const QList<QRadioButton*> buttons = find<QWidget>(group)->findChildren<QRadioButton*>();
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked())
                return i;
        return -1;
    }

    bool enabled(const char* name) const { return find<QWidget>(name)->isEnabled(); }

    // The user picks an entry of a list.
    void choose(const char* name, int index)
    {
        auto* box = find<QComboBox>(name);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    Tfm_set* m_set = nullptr;
};

TEST_F(SettingsDialogTest, TheDriveListDescribesEveryDriveWithoutChangingTheCurrentOne)
{
    const QString first = disc(QStringLiteral("first"), 3);
    const QString second = disc(QStringLiteral("second"), 2);
    auto main = started({first, second});
    ASSERT_EQ(main->grabber().currentDevice(), 2);
    for (int showing = 0; showing < 3; ++showing) {
        m_set->FormShow();
        auto* drives = find<QComboBox>("cb_driver");
        ASSERT_EQ(drives->count(), 2);
        EXPECT_EQ(drives->itemText(0),
                  u'[' + first + QStringLiteral("]  Disc Image  first.cue  CUE"));
        EXPECT_TRUE(drives->itemText(1).startsWith(u'[' + second + QStringLiteral("]  ")));
        EXPECT_EQ(drives->currentIndex(), 0);
    }
    EXPECT_EQ(main->grabber().currentDevice(), 2);

    // A stored drive past the last one is brought back to it.
    store("Main", "Driver", QStringLiteral("5"));
    m_set->FormShow();
    EXPECT_EQ(stored("Main", "Driver"), QStringLiteral("1"));
    EXPECT_EQ(find<QComboBox>("cb_driver")->currentIndex(), 1);
}

TEST_F(SettingsDialogTest, OkOnAnotherDriveSelectsAndRereadsItOnceOnly)
{
    auto main = started({disc(QStringLiteral("first"), 3), disc(QStringLiteral("second"), 2)});
    store("Main", "Driver", QStringLiteral("1"));
    ASSERT_EQ(main->trackModel().rowCount(), 2);
    const int generation = main->listGeneration();
    whileOpen(*main, [&] {
        EXPECT_EQ(find<QComboBox>("cb_driver")->currentIndex(), 1);
        find<QComboBox>("cb_driver")->setCurrentIndex(0);
        click("Ok");
        EXPECT_FALSE(m_set->isVisible());
    });
    EXPECT_EQ(stored("Main", "Driver"), QStringLiteral("0"));
    EXPECT_EQ(main->grabber().currentDevice(), 1);
    EXPECT_EQ(main->listGeneration(), generation + 1);
    EXPECT_EQ(main->trackModel().rowCount(), 3);

    whileOpen(*main, [&] { click("Ok"); });
    EXPECT_EQ(main->listGeneration(), generation + 1);
    EXPECT_EQ(main->grabber().currentDevice(), 1);
}

TEST_F(SettingsDialogTest, TheFolderSchemeChangesAtOnceAndStaysAfterCancel)
{
    auto main = started();
    main->setOutputScheme(2);
    whileOpen(*main, [&] {
        EXPECT_TRUE(find<QRadioButton>("rb_album")->isChecked());
        click("rb_artist");
        EXPECT_EQ(main->outputScheme(), 1);
        click("Cancel");
    });
    EXPECT_EQ(main->outputScheme(), 1);
    EXPECT_EQ(stored("Main", "Output"), QStringLiteral("<missing>"));
    main->close();
    EXPECT_EQ(stored("Main", "Output"), QStringLiteral("1"));
}

TEST_F(SettingsDialogTest, DigitFieldsTurnOtherKeysIntoBackspaces)
{
    auto main = started();
    m_set->FormShow();
    m_set->show();
    auto* port = find<QLineEdit>("edt_port");
    port->clear();
    QTest::keyClicks(port, QStringLiteral("8a0"));
    EXPECT_EQ(port->text(), QStringLiteral("0"));
    auto* timeout = find<QLineEdit>("edt_timeout");
    timeout->clear();
    QTest::keyClicks(timeout, QStringLiteral("12-3"));
    EXPECT_EQ(timeout->text(), QStringLiteral("13"));

    m_set->showPage(10);
    click("ck_oggquality");
    auto* quality = find<QSpinBox>("ud_ogg_quality");
    find<QLineEdit>("edt_ogg_quality")->clear();
    QTest::keyClicks(quality, QStringLiteral("75x4"));
    EXPECT_EQ(find<QLineEdit>("edt_ogg_quality")->text(), QStringLiteral("74"));
    m_set->hide();
}

TEST_F(SettingsDialogTest, RulesKeepTheEnabledStatesInStep)
{
    auto main = started();
    m_set->FormShow();
    m_set->show();

    // Preset and Alt-Preset exclude each other.
    m_set->showPage(8);
    EXPECT_FALSE(enabled("rg_prest"));
    click("ck_preset");
    EXPECT_TRUE(enabled("rg_prest"));
    EXPECT_FALSE(enabled("ck_alt"));
    click("ck_preset");
    EXPECT_FALSE(enabled("rg_prest"));
    EXPECT_TRUE(enabled("ck_alt"));
    click("ck_alt");
    EXPECT_TRUE(enabled("rg_alt"));
    EXPECT_FALSE(enabled("ck_preset"));
    click("ck_alt");

    // So do VBR and Quality of Ogg Vorbis.
    m_set->showPage(10);
    EXPECT_FALSE(enabled("cb_ogg_minbit"));
    click("ck_oggvbr");
    EXPECT_FALSE(enabled("ck_oggquality"));
    EXPECT_TRUE(enabled("cb_ogg_minbit"));
    EXPECT_TRUE(enabled("cb_ogg_maxbit"));
    click("ck_oggvbr");
    click("ck_oggquality");
    EXPECT_FALSE(enabled("ck_oggvbr"));
    EXPECT_TRUE(enabled("edt_ogg_quality"));
    EXPECT_FALSE(enabled("cb_ogg_minbit"));

    m_set->showPage(5);
    // Coding method None disables the VBR values; the shown method set them up already.
    for (const char* vbr : {"cb_mp3_vbr", "edt_mp3_vbr", "ck_mp3_VBR", "ck_mp3_semb"})
        EXPECT_FALSE(enabled(vbr)) << vbr;
    choose("cb_mp3vbrcm", 3);
    for (const char* vbr : {"cb_mp3_vbr", "edt_mp3_vbr", "ck_mp3_VBR", "ck_mp3_semb"})
        EXPECT_TRUE(enabled(vbr)) << vbr;
    choose("cb_mp3vbrcm", 0);
    EXPECT_FALSE(enabled("ck_mp3_semb"));

    m_set->showPage(6);
    // The highpass check box enables its frequency, width and label; the lowpass stays off.
    click("chHFilt");
    for (const char* high : {"udHFiltF", "udHFiltW", "Label15"})
        EXPECT_TRUE(enabled(high)) << high;
    EXPECT_FALSE(enabled("udLFiltF"));

    // The WAV format's lists are for the custom format only.
    m_set->showPage(11);
    EXPECT_FALSE(enabled("cb_wav_frequency"));
    QRadioButton* custom = find<QWidget>("rb_cdmode")->findChildren<QRadioButton*>()[2];
    QTest::mouseClick(custom, Qt::LeftButton, {}, QPoint(6, custom->height() / 2));
    EXPECT_TRUE(enabled("cb_wav_frequency"));
    m_set->hide();
}

TEST_F(SettingsDialogTest, DefaultWritesNothingUntilOk)
{
    auto main = started();
    store("wma", "format", QStringLiteral("25"));
    store("mp3", "bitrate", QStringLiteral("3"));
    store("opus", "bitrate", QStringLiteral("4"));
    store("aac", "bitrate", QStringLiteral("14"));
    const QByteArray before = readAll(settingsPath());
    whileOpen(*main, [&] {
        const QString folder = find<QLineEdit>("edt_dir")->text();
        EXPECT_EQ(find<QComboBox>("cb_opus_bitrate")->currentText(), QStringLiteral("48 Kbps"));
        click("Button2");
        EXPECT_EQ(find<QComboBox>("cb_wma")->currentIndex(), 9);
        EXPECT_EQ(find<QComboBox>("cb_wav_frequency")->currentIndex(), 8);
        EXPECT_EQ(find<QComboBox>("cb_opus_bitrate")->currentText(), QStringLiteral("160 Kbps"));
        EXPECT_EQ(find<QComboBox>("cb_aac_bitrate")->currentText(), QStringLiteral("192 Kbps"));
        EXPECT_TRUE(find<QRadioButton>("cd_g0")->isChecked());
        EXPECT_EQ(find<QSpinBox>("ud_retries")->value(), 5);
        EXPECT_EQ(find<QLineEdit>("edt_dir")->text(), folder);
        click("Cancel");
    });
    EXPECT_EQ(readAll(settingsPath()), before);

    whileOpen(*main, [&] {
        EXPECT_EQ(find<QComboBox>("cb_wav_frequency")->currentIndex(), 7);
        click("Button2");
        click("Ok");
    });
    EXPECT_EQ(stored("wav", "frequency"), QStringLiteral("8"));
    EXPECT_EQ(stored("wma", "format"), QStringLiteral("9"));
    EXPECT_EQ(stored("mp3", "bitrate"), QStringLiteral("9"));
}

TEST_F(SettingsDialogTest, TheTreeShowsOnePageAtATimeWithItsCaption)
{
    auto main = started();
    EXPECT_EQ(m_set->windowTitle(), QStringLiteral("Settings"));
    auto* tree = find<QTreeWidget>("TreeView1");
    ASSERT_EQ(tree->topLevelItemCount(), 16);
    whileOpen(*main, [&] {
        EXPECT_EQ(m_set->windowTitle(), QStringLiteral("Set CD General"));
        EXPECT_TRUE(find<QWidget>("gb_cdgeneral")->isVisible());
        QTreeWidgetItem* cd = tree->topLevelItem(2);
        EXPECT_EQ(cd->text(0), QStringLiteral("CD Setings"));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(cd).center());
        EXPECT_EQ(m_set->windowTitle(), QStringLiteral("Set CD"));
        EXPECT_TRUE(find<QWidget>("gb_cdset")->isVisible());
        EXPECT_FALSE(find<QWidget>("gb_cdgeneral")->isVisible());
    });
    // The page last viewed comes back; an index outside the tree changes nothing.
    whileOpen(*main, [&] {
        EXPECT_EQ(m_set->windowTitle(), QStringLiteral("Set CD"));
        m_set->showPage(16);
        EXPECT_TRUE(find<QWidget>("gb_cdset")->isVisible());
        const std::pair<const char*, const char*> extra[] = {{"gb_mp3general", "Set MP3 General"},
                                                             {"gb_mp3vbr", "Set MP3 VBR"},
                                                             {"gb_filter", "Set MP3 Filter"},
                                                             {"gb_expert", "Set MP3 Expert"},
                                                             {"gb_presets", "Set MP3 Presets"},
                                                             {"gb_command", "Set MP3 Command Line"},
                                                             {"gb_ogg", "Set Ogg Vorbis"},
                                                             {"gb_wav", "Set WAV"},
                                                             {"gb_flac", "Set FLAC"},
                                                             {"gb_opus", "Set Opus"},
                                                             {"gb_aac", "Set AAC"},
                                                             {"gb_musicbrainz", "Set MusicBrainz"}};
        for (int i = 0; i < 12; ++i) {
            tree->setCurrentItem(tree->topLevelItem(4 + i));
            EXPECT_EQ(m_set->windowTitle(), QLatin1StringView(extra[i].second));
            EXPECT_TRUE(find<QWidget>(extra[i].first)->isVisible());
            const QList<QGroupBox*> pages = m_set->findChildren<QGroupBox*>(
                QRegularExpression(QStringLiteral("^gb_")), Qt::FindDirectChildrenOnly);
            EXPECT_EQ(std::count_if(pages.begin(), pages.end(),
                                    [](const QGroupBox* page) { return page->isVisible(); }),
                      1);
        }
    });
}

TEST_F(SettingsDialogTest, TheFirstOkWithoutASettingsFileWritesEveryKey)
{
    ASSERT_TRUE(QFile::remove(settingsPath()));
    auto main = started();
    whileOpen(*main, [&] {
        EXPECT_EQ(find<QLineEdit>("edt_dir")->text(), Locations::defaultOutputPath());
        EXPECT_EQ(find<QComboBox>("cb_wma")->currentText(),
                  QStringLiteral("WMA9 44KHz, 128Kbps, Stereo, CBR"));
        // Unset, the grab mode and retries show what rips read with: Synch, 1 retry.
        EXPECT_EQ(find<QSpinBox>("ud_retries")->value(), 1);
        EXPECT_TRUE(find<QRadioButton>("cd_g1")->isChecked());
        EXPECT_EQ(radioIndex("rg_freedbserver"), 1);
        EXPECT_EQ(find<QLineEdit>("edt_port")->text(), QStringLiteral("80"));
        click("Ok");
    });
    const std::map<const char*, std::vector<const char*>> keys{
        {"Main", {"Path", "Log", "FileTemplate", "ReplayGain", "Playlist", "RemoveEmphasis"}},
        {"flac", {"compression", "verify"}},
        {"opus", {"bitrate"}},
        {"aac", {"bitrate"}},
        {"Format", {"mode", "retries", "stop"}},
        {"mp3", {"bitrate", "channel", "frequency", "quality"}},
        {"MP3VBR", {"Coding Method", "vbr bitrate", "vbr quality", "vbrck", "semb"}},
        {"MP3Filt", {"chHFilt", "chLFilt", "udHFiltF", "udHFiltW", "udLFiltF", "udLFiltW"}},
        {"MP3Expert", {"Bit", "short", "allow", "comply", "crc", "ath", "de"}},
        {"MP3Prest", {"preset", "alt", "rg_prest", "rg_alt"}},
        {"wav", {"mode", "bit", "channel", "frequency"}},
        {"wma", {"format"}},
        {"ogg",
         {"channel", "frequency", "bitrate", "max bitrate", "min bitrate", "quality", "oggvbr",
          "oggquality"}},
        {"Freedb", {"site", "toserver", "port", "timeout", "proxy", "email"}}};
    for (const auto& [section, names] : keys)
        for (const char* key : names)
            EXPECT_NE(stored(section, key), QStringLiteral("<missing>")) << section << '/' << key;
    EXPECT_EQ(stored("Main", "Path"), Locations::defaultOutputPath());
    EXPECT_EQ(stored("MP3VBR", "vbrck"), QStringLiteral("1"));
    EXPECT_EQ(stored("wav", "frequency"), QStringLiteral("7"));
    EXPECT_EQ(stored("Format", "mode"), QStringLiteral("1"));
    EXPECT_EQ(stored("Format", "retries"), QStringLiteral("1"));
    EXPECT_EQ(stored("ogg", "quality"), QStringLiteral("300"));
    EXPECT_EQ(stored("opus", "bitrate"), QStringLiteral("10"));
    EXPECT_EQ(stored("aac", "bitrate"), QStringLiteral("11"));
    EXPECT_EQ(stored("Main", "Playlist"), QStringLiteral("1"));
    EXPECT_EQ(stored("Main", "ReplayGain"), QStringLiteral("0"));
    EXPECT_EQ(stored("Freedb", "timeout"), QStringLiteral("10000"));
    EXPECT_EQ(stored("Main", "Log"), QStringLiteral("1"));
    EXPECT_EQ(stored("flac", "compression"), QStringLiteral("5"));
    EXPECT_EQ(stored("flac", "verify"), QStringLiteral("0"));
    EXPECT_EQ(stored("Main", "Driver"), QStringLiteral("<missing>"));
    EXPECT_EQ(stored("Main", "Output"), QStringLiteral("<missing>"));
}

TEST_F(SettingsDialogTest, HandEditedValuesShowAndWriteBackSensibly)
{
    writeAll(settingsPath(),
             "[Main]\nPath=" + path(QStringLiteral("out")).toUtf8() +
                 "\n[mp3]\nbitrate=0x0A\nchannel=7\nquality=$3\n"
                 "[MP3Prest]\nrg_prest=20\nrg_alt=-5\n"
                 "[Format]\nmode=9\nstop=0x2\nretries=99\n"
                 "[wma]\nformat=99\n[ogg]\nquality=5000\n"
                 "[MP3Filt]\nudLFiltF=-4\n[Freedb]\ntoserver=word\nemail=me@x.org\n");
    auto main = started();
    whileOpen(*main, [&] {
        EXPECT_EQ(find<QComboBox>("cb_mp3_bitrate")->currentText(), QStringLiteral("160 Kbps"));
        EXPECT_EQ(find<QComboBox>("cb_mp3_channel")->currentIndex(), -1);
        EXPECT_EQ(find<QSpinBox>("ud_mp3_quality")->value(), 3);
        EXPECT_EQ(radioIndex("rg_prest"), 10);
        EXPECT_EQ(radioIndex("rg_alt"), -1);
        EXPECT_TRUE(find<QRadioButton>("cd_a3")->isChecked());
        EXPECT_EQ(find<QComboBox>("cb_wma")->currentIndex(), -1);
        EXPECT_EQ(radioIndex("rg_freedbserver"), 1);
        EXPECT_EQ(find<QLineEdit>("edt_email")->text(), QStringLiteral("me@x.org"));
        click("Ok");
    });
    EXPECT_EQ(stored("mp3", "bitrate"), QStringLiteral("10"));
    EXPECT_EQ(stored("mp3", "channel"), QStringLiteral("-1"));
    EXPECT_EQ(stored("mp3", "quality"), QStringLiteral("3"));
    EXPECT_EQ(stored("MP3Prest", "rg_prest"), QStringLiteral("10"));
    EXPECT_EQ(stored("MP3Prest", "rg_alt"), QStringLiteral("-1"));
    // A grab mode without a button keeps its value; numbers are clamped to their ranges.
    EXPECT_EQ(stored("Format", "mode"), QStringLiteral("9"));
    EXPECT_EQ(stored("Format", "stop"), QStringLiteral("2"));
    EXPECT_EQ(stored("Format", "retries"), QStringLiteral("32"));
    EXPECT_EQ(stored("ogg", "quality"), QStringLiteral("1000"));
    EXPECT_EQ(stored("MP3Filt", "udLFiltF"), QStringLiteral("0"));
    EXPECT_EQ(stored("Freedb", "email"), QStringLiteral("me@x.org"));
    // The WMA format left without a selection is not overwritten with -1.
    EXPECT_EQ(stored("wma", "format"), QStringLiteral("99"));
}

TEST_F(SettingsDialogTest, TheWmaListTakesTypedTextAndKeepsTheFormatWhenNothingMatches)
{
    auto main = started();
    store("wma", "format", QStringLiteral("3"));
    whileOpen(*main, [&] {
        find<QComboBox>("cb_wma")->setEditText(QStringLiteral("no such format"));
        click("Ok");
    });
    EXPECT_EQ(stored("wma", "format"), QStringLiteral("3"));
    whileOpen(*main, [&] {
        find<QComboBox>("cb_wma")->setEditText(QStringLiteral("WMA9 22KHz, 20Kbps, Mono, CBR"));
        click("Ok");
    });
    EXPECT_EQ(stored("wma", "format"), QStringLiteral("25"));
}

TEST_F(SettingsDialogTest, AFailedWriteIsReportedAndKeepsTheDialogOpen)
{
    auto main = started();
    const QByteArray before = readAll(settingsPath());
    ASSERT_TRUE(QFile::setPermissions(settingsPath(), QFileDevice::ReadOwner));
    whileOpen(*main, [&] {
        find<QComboBox>("cb_mp3_bitrate")->setCurrentIndex(2);
        click("Ok");
        EXPECT_TRUE(m_set->isVisible());
        EXPECT_EQ(find<QComboBox>("cb_mp3_bitrate")->currentIndex(), 2);
    });
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("Unable to write to ") + settingsPath()});
    QFile::setPermissions(settingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(readAll(settingsPath()), before);
}

TEST_F(SettingsDialogTest, TheFolderButtonTakesWhatTheFolderDialogYields)
{
    auto main = started();
    QDir(root()).mkpath(QStringLiteral("music"));
    const QString music = path(QStringLiteral("music"));
    Tfm_dir* folders = main->dirDialog();
    // Runs the folder dialog from the "..." button; action runs while it is open.
    const auto browse = [&](const std::function<void()>& action) {
        QTimer::singleShot(0, folders, [&] {
            action();
            if (folders->isVisible())
                folders->close();
        });
        click("bt_dir");
    };
    auto* edit = find<QLineEdit>("edt_dir");
    whileOpen(*main, [&] {
        browse([&] {
            folders->selectFolder(music);
            QTest::mouseClick(folders->findChild<QPushButton*>(QStringLiteral("btn_ok")),
                              Qt::LeftButton);
        });
        EXPECT_EQ(edit->text(), music);
        click("Cancel");
    });
    whileOpen(*main, [&] {
        EXPECT_EQ(edit->text(), path(QStringLiteral("out")));
        // The title bar's close button leaves the chosen folder as it was.
        browse([] {});
        EXPECT_EQ(edit->text(), music);
        edit->setText(path(QStringLiteral("out")));
        browse([&] {
            QTest::mouseClick(folders->findChild<QPushButton*>(QStringLiteral("btn_cancel")),
                              Qt::LeftButton);
        });
        EXPECT_EQ(edit->text(), path(QStringLiteral("out")));
        click("Ok");
    });
    EXPECT_EQ(stored("Main", "Path"), path(QStringLiteral("out")));
}

// End to end: what the dialog sets reaches the next run's files.
TEST_F(SettingsDialogTest, ChosenFormatsReachTheNextRun)
{
    auto main = started({disc(QStringLiteral("disc"), 1)});
    whileOpen(*main, [&] {
        choose("cb_wma", 25); // "WMA9 22KHz, 20Kbps, Mono, CBR"
        m_set->findChild<QPlainTextEdit*>(QStringLiteral("txtCommLine"))
            ->setPlainText(QStringLiteral("--resample 16"));
        click("Ok");
    });
    main->Skin1Click(QStringLiteral("converter"));
    const auto wma = MediaProbe::probe(path(QStringLiteral("out/Track.wma")));
    ASSERT_TRUE(wma);
    EXPECT_EQ(wma->sampleRate, 22050);
    EXPECT_EQ(wma->channels, 1);

    // The MP3 command line is not stored, but the next MP3 run encodes with it.
    EXPECT_EQ(stored("MP3VBR", "vbrck"), QStringLiteral("1"));
    main->convertTo(OutputFormatNumber::Mp3);
    const auto mp3 = MediaProbe::probe(path(QStringLiteral("out/Track.mp3")));
    ASSERT_TRUE(mp3);
    EXPECT_EQ(mp3->sampleRate, 16000);

    // FLAC's page, and the rip log with the cue sheet turned on from the general page.
    whileOpen(*main, [&] {
        EXPECT_FALSE(find<QCheckBox>("ck_log")->isChecked());
        EXPECT_EQ(find<QComboBox>("cb_flac_compression")->currentIndex(), 5);
        choose("cb_flac_compression", 8);
        click("ck_flac_verify");
        click("ck_log");
        click("Ok");
    });
    EXPECT_EQ(stored("flac", "compression"), QStringLiteral("8"));
    EXPECT_EQ(stored("flac", "verify"), QStringLiteral("1"));
    EXPECT_EQ(stored("Main", "Log"), QStringLiteral("1"));
    main->convertTo(OutputFormatNumber::Flac);
    const auto flac = MediaProbe::probe(path(QStringLiteral("out/Track.flac")));
    ASSERT_TRUE(flac);
    EXPECT_EQ(flac->codecName, QStringLiteral("flac"));
    const QString log = QString::fromUtf8(readAll(path(QStringLiteral("out/Unknown Album.log"))));
    EXPECT_TRUE(log.contains(QStringLiteral("Output format: FLAC, compression level 8, verify on")))
        << log.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("out/Unknown Album.cue"))));
}

// The drive's read offset and the verified burst reads on the general page; Default leaves them.
TEST_F(SettingsDialogTest, ReadOffsetAndVerifyAreKeptFromTheGeneralPage)
{
    auto main = started({disc(QStringLiteral("disc"), 1)});
    whileOpen(*main, [&] {
        EXPECT_EQ(find<QSpinBox>("ud_readoffset")->value(), 0);
        EXPECT_EQ(find<QSpinBox>("ud_readoffset")->minimum(), -3000);
        EXPECT_EQ(find<QSpinBox>("ud_readoffset")->maximum(), 3000);
        EXPECT_FALSE(find<QCheckBox>("ck_verify")->isChecked());
        find<QSpinBox>("ud_readoffset")->setValue(-30);
        click("ck_verify");
        click("ck_log");
        click("Ok");
    });
    EXPECT_EQ(stored("Main", "ReadOffset"), QStringLiteral("-30"));
    EXPECT_EQ(stored("Main", "Verify"), QStringLiteral("1"));
    whileOpen(*main, [&] {
        click("Button2"); // Default
        EXPECT_EQ(find<QSpinBox>("ud_readoffset")->value(), -30);
        EXPECT_TRUE(find<QCheckBox>("ck_verify")->isChecked());
    });
    // The grabber reads with the offset at once; the run's log says so.
    SettingsFile(path(QStringLiteral("settings.ini")))
        .writeInteger(QStringLiteral("Main"), QStringLiteral("Verify"), 0);
    main->convertTo(OutputFormatNumber::Flac);
    const QString log = QString::fromUtf8(readAll(path(QStringLiteral("out/Unknown Album.log"))));
    EXPECT_TRUE(log.contains(QStringLiteral("Read offset: -30\n"))) << log.toStdString();
}

// Enter presses Ok, but adds a line in the MP3 command line; Escape cancels. Ok writes
// Format/mode.
TEST_F(SettingsDialogTest, EnterPressesOkExceptInTheCommandLineAndEscapeCancels)
{
    auto main = started();
    for (const auto& [page, field, key, staysOpen, mode] :
         {std::tuple{3, "edt_port", Qt::Key_Escape, false, "<missing>"},
          std::tuple{9, "txtCommLine", Qt::Key_Return, true, "<missing>"},
          std::tuple{3, "edt_port", Qt::Key_Return, false, "1"}}) {
        bool open = false;
        whileOpen(*main, [&] {
            m_set->showPage(page);
            QTest::keyClick(find<QWidget>(field), key);
            open = m_set->isVisible();
        });
        EXPECT_EQ(open, staysOpen) << field << ' ' << key;
        EXPECT_EQ(stored("Format", "mode"), QLatin1StringView(mode)) << field;
    }
    EXPECT_EQ(m_set->commandLine(), QStringLiteral("\n"));
}

// The two long grab mode captions are cut at their buttons' edges, where their labels go on, under
// the captions' text.
TEST_F(SettingsDialogTest, LongGrabModeCaptionsGoOnInTheirLabelsWithoutRepeats)
{
    auto main = started();
    m_set->show();
    for (const auto& [name, labelName, firstLine] :
         {std::tuple{"cd_g2", "Label24", "Secure Mode (Double Precision Error"},
          std::tuple{"cd_g3", "Label25", "Paranoid Mode (Small Blocks Read,"}}) {
        auto* button = find<QRadioButton>(name);
        QStyleOptionButton option;
        option.initFrom(button);
        const int textLeft =
            button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button).left();
        const int lineEnd = textLeft + button->fontMetrics().horizontalAdvance(
                                           QLatin1StringView(firstLine) + QStringLiteral(" "));
        EXPECT_GE(button->width(), lineEnd - button->fontMetrics().horizontalAdvance(u' ')) << name;
        EXPECT_LE(button->width(), lineEnd) << name;
        auto* secondLine = find<QLabel>(labelName);
        EXPECT_EQ(secondLine->x() + secondLine->indent(), button->x() + textLeft) << labelName;
    }
    m_set->hide();
}

// The file-name template's live example.
TEST_F(SettingsDialogTest, TheTemplateShowsTheNameItGives)
{
    auto main = started();
    for (const auto& [pattern, example] :
         {std::pair{"%N %T", "01 Morning Light.flac"},
          std::pair{"%B/%L/%n. %T (%Y)", "Ann Rivers/Quiet Hours/1. Morning Light (2021).flac"},
          std::pair{"", "Morning Light.flac"}}) {
        find<QLineEdit>("edt_template")->setText(QLatin1StringView(pattern));
        EXPECT_EQ(find<QLabel>("lb_template_example")->text(), QLatin1StringView(example));
    }
}

} // namespace
