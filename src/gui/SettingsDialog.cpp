#include "gui/SettingsDialog.h"

#include "base/IAudioCDGrabber2.h"
#include "components/audiofile/LamePresets.h"
#include "components/audiofile/WmaFormats.h"
#include "gui/DirDialog.h"
#include "rip/EncoderConfiguration.h"
#include "rip/EncoderTables.h"
#include "rip/OutputNaming.h"
#include "settings/FreedbSites.h"
#include "settings/Locations.h"
#include "settings/SettingsFile.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <limits>

/// A titled group of radio buttons of which at most one is chosen, by index.
class RadioGroup final : public QGroupBox
{
public:
    RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
        : QGroupBox(title, parent), m_buttons(new QButtonGroup(this))
    {
        auto* grid = new QGridLayout(this);
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setSpacing(2);
        const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
        for (int i = 0; i < items.size(); ++i) {
            auto* button = new QRadioButton(items[i], this);
            m_buttons->addButton(button, i);
            // Filled column by column.
            grid->addWidget(button, i % rows, i / rows);
        }
    }

    int count() const { return static_cast<int>(m_buttons->buttons().size()); }
    /// -1 when no entry is chosen.
    int itemIndex() const { return m_buttons->checkedId(); }
    /// An index past the last entry chooses the last; a negative one chooses none.
    void setItemIndex(int index)
    {
        if (index >= count())
            index = count() - 1;
        if (index >= 0) {
            m_buttons->button(index)->setChecked(true);
        } else if (QAbstractButton* checked = m_buttons->checkedButton()) {
            m_buttons->setExclusive(false);
            checked->setChecked(false);
            m_buttons->setExclusive(true);
        }
    }
    QButtonGroup* buttons() const { return m_buttons; }

private:
    QButtonGroup* m_buttons;
};

namespace {

// Client area: the page tree on the left, the page panels to its right, the buttons below.
// The panels grow where the platform's font needs more room than this.
constexpr int Margin = 8;
constexpr QSize TreeSize{129, 230};
constexpr QSize PanelSize{244, 235};
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonGap = 9;

// The grab mode and retries the Default button sets: Burst with 5 retries. Unset, they show
// what rips read with (storedGrabOptions).
constexpr Keys::IntKey DefaultGrabMode{Keys::Format::Section, Keys::Format::Mode, 0};
constexpr Keys::IntKey DefaultRetries{Keys::Format::Section, Keys::Format::Retries, 5};
// The Default button's WAV rate: 48000 Hz, where a missing key reads as 44100 Hz.
constexpr int DefaultWavFrequency = 8;

struct Page
{
    const char* entry;
    const char* caption;
};

// The first four are the original pages and keep their positions.
constexpr std::array<Page, 16> Pages{{
    {"CD General", "Set CD General"},
    {"WMA Settings", "Set WMA Format"},
    {"CD Setings", "Set CD"},
    {"FreeDB", "Set Freedb"},
    {"MP3 General", "Set MP3 General"},
    {"MP3 VBR", "Set MP3 VBR"},
    {"MP3 Filter", "Set MP3 Filter"},
    {"MP3 Expert", "Set MP3 Expert"},
    {"MP3 Presets", "Set MP3 Presets"},
    {"MP3 Command Line", "Set MP3 Command Line"},
    {"Ogg Vorbis", "Set Ogg Vorbis"},
    {"WAV", "Set WAV"},
    {"FLAC", "Set FLAC"},
    {"Opus", "Set Opus"},
    {"AAC", "Set AAC"},
    {"MusicBrainz", "Set MusicBrainz"},
}};

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

QStringList texts(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list << text(item);
    return list;
}

template <std::size_t N> QStringList numbered(const std::array<int, N>& values, const char* unit)
{
    QStringList list;
    for (int value : values)
        list << QString::number(value) + QLatin1StringView(unit);
    return list;
}

QStringList frequencyTexts()
{
    return numbered(EncoderTables::Frequencies, " Hz");
}

QStringList bitrateTexts()
{
    return numbered(EncoderTables::Bitrates, " Kbps");
}

QStringList wmaTexts()
{
    QStringList list;
    for (const WmaFormats::Format& format : WmaFormats::All)
        list << text(format.text);
    return list;
}

// The captions of the presets, in the encoder's order; "Extrene" is the caption as it stands.
constexpr std::array<const char*, 11> PresetCaptions{
    "Phone", "SW", "AM", "FM", "Voice", "Radio", "Type", "HiFi", "CD", "Studio", "R3Mix"};
constexpr std::array<const char*, 5> AltPresetCaptions{"Fast Standard", "Standard", "Fast Extreme",
                                                       "Extrene", "Insane"};
static_assert(PresetCaptions.size() == LamePresets::Basic.size());
static_assert(AltPresetCaptions.size() == LamePresets::Alternative.size());
static_assert(WmaFormats::All.size() == EncoderTables::WmaFormatCount);

template <std::size_t N> QStringList captions(const std::array<const char*, N>& items)
{
    QStringList list;
    for (const char* item : items)
        list << text(item);
    return list;
}

QStringList siteCaptions()
{
    QStringList list;
    for (const FreedbSite& site : FreedbSites)
        list << text(site.host);
    return list;
}

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const char* caption)
{
    return named(new QLabel(text(caption), parent), name);
}

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items)
{
    auto* box = named(new QComboBox(parent), name);
    box->addItems(items);
    return box;
}

QCheckBox* check(QWidget* parent, const char* name, const char* caption)
{
    return named(new QCheckBox(text(caption), parent), name);
}

QGroupBox* group(QWidget* parent, const char* name, const char* caption)
{
    return named(new QGroupBox(text(caption), parent), name);
}

// An up-down with its number field: the spin box carries the up-down's name, its edit the
// field's.
QSpinBox* upDown(QWidget* parent, const char* name, const char* editName, int low, int high)
{
    auto* spin = named(new QSpinBox(parent), name);
    spin->setRange(low, high);
    named(spin->findChild<QLineEdit*>(), editName);
    return spin;
}

QLineEdit* spinEdit(QSpinBox* spin)
{
    return spin->findChild<QLineEdit*>();
}

QGridLayout* grid(QWidget* parent)
{
    auto* layout = new QGridLayout(parent);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    return layout;
}

// A caption in the first column, its field in the second.
void addRow(QGridLayout* layout, int row, QLabel* caption, QWidget* field)
{
    layout->addWidget(caption, row, 0);
    layout->addWidget(field, row, 1);
}

// Makes button as wide as its caption up to the words that secondLine repeats, so the caption
// is cut at the button's edge, and sets secondLine under the caption's text: it reads as the
// caption's second line. The label may close with punctuation the caption lacks.
void cutBeforeSecondLine(QRadioButton* button, QLabel* secondLine)
{
    const QString caption = button->text();
    QString repeated = secondLine->text().trimmed();
    while (!repeated.isEmpty() && !caption.endsWith(repeated))
        repeated.chop(1);
    const QString firstLine = caption.left(caption.size() - repeated.size()).trimmed();
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = caption;
    const int textLeft =
        button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button).left();
    // Half a blank after the last word: the next one starts beyond the edge.
    const QFontMetrics metrics = button->fontMetrics();
    button->setFixedWidth(textLeft + metrics.horizontalAdvance(firstLine) +
                          metrics.horizontalAdvance(u' ') / 2);
    secondLine->setIndent(textLeft);
}

// The name a file-name template gives a sample track, as the general page shows it.
QString templateExample(const QString& pattern)
{
    TemplateFields sample;
    sample.number = 1;
    sample.title = QStringLiteral("Morning Light");
    sample.artist = sample.albumArtist = QStringLiteral("Ann Rivers");
    sample.album = QStringLiteral("Quiet Hours");
    sample.year = QStringLiteral("2021");
    sample.genre = QStringLiteral("Folk");
    sample.discNumber = 1;
    const TemplateName name = applyFileTemplate(pattern, sample);
    QStringList parts = name.folders;
    parts << name.stem + QStringLiteral(".flac");
    return parts.join(u'/');
}

void enable(const std::vector<QWidget*>& widgets, bool on)
{
    for (QWidget* widget : widgets)
        widget->setEnabled(on);
}

// Digits pass; every other typed character, backspace included, acts as a backspace. Keys
// that move the focus or press a button, and shortcuts, are left alone.
class DigitKeyFilter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString typed = key->text();
        if (typed.isEmpty() || key->modifiers().testFlag(Qt::ControlModifier))
            return false;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            return false;
        default:
            break;
        }
        if (typed.size() == 1 && typed[0] >= u'0' && typed[0] <= u'9')
            return false;
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (!edit)
            edit = watched->findChild<QLineEdit*>();
        if (edit)
            edit->backspace();
        return true;
    }
};

void digitsOnly(QWidget* edit, DigitKeyFilter* filter)
{
    edit->installEventFilter(filter);
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        line->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), line));
}

using Binding = Tfm_set::Binding;

// How a control maps onto its key: a list stores its chosen position (-1 for none), a check
// box its state, a spin box its number, an edit its text.
Binding bind(QComboBox* box, const Keys::IntKey& key, int resetTo)
{
    return {[=](const SettingsFile& s) { box->setCurrentIndex(s.read(key)); },
            [=](SettingsFile& s) { s.write(key, box->currentIndex()); },
            [=] { box->setCurrentIndex(resetTo); }};
}

Binding bind(QComboBox* box, const Keys::IntKey& key)
{
    return bind(box, key, key.def);
}

Binding bind(QSpinBox* spin, const Keys::IntKey& key)
{
    return {[=](const SettingsFile& s) { spin->setValue(s.read(key)); },
            [=](SettingsFile& s) { s.write(key, spin->value()); },
            [=] { spin->setValue(key.def); }};
}

Binding bind(QCheckBox* box, const Keys::BoolKey& key)
{
    return {[=](const SettingsFile& s) { box->setChecked(s.read(key)); },
            [=](SettingsFile& s) { s.write(key, box->isChecked()); },
            [=] { box->setChecked(key.def); }};
}

Binding bind(RadioGroup* group, const Keys::IntKey& key)
{
    return {[=](const SettingsFile& s) { group->setItemIndex(s.read(key)); },
            [=](SettingsFile& s) { s.write(key, group->itemIndex()); },
            [=] { group->setItemIndex(key.def); }};
}

Binding bind(QLineEdit* edit, const Keys::StringKey& key)
{
    return {[=](const SettingsFile& s) { edit->setText(s.read(key)); },
            [=](SettingsFile& s) { s.write(key, edit->text()); },
            [=] { edit->setText(text(key.def)); }};
}

// A choice kept apart from its buttons: a stored value outside the buttons' range changes no
// button and is written back as it was. read gives the value to show; Default shows key's.
Binding bind(int& choice, const std::vector<QRadioButton*>& buttons, const Keys::IntKey& key,
             const std::function<int(const SettingsFile&)>& read)
{
    const auto show = [&choice, buttons](int value) {
        choice = value;
        if (value >= 0 && value < static_cast<int>(buttons.size()))
            buttons[static_cast<std::size_t>(value)]->setChecked(true);
    };
    return {[=](const SettingsFile& s) { show(read(s)); },
            [&choice, key](SettingsFile& s) { s.write(key, choice); }, [=] { show(key.def); }};
}

Binding bind(int& choice, const std::vector<QRadioButton*>& buttons, const Keys::IntKey& key)
{
    return bind(choice, buttons, key, [key](const SettingsFile& s) { return s.read(key); });
}

// The number stored at key, or fallback where the file holds none (or no number) there.
int storedOr(const SettingsFile& settings, const Keys::IntKey& key, int fallback)
{
    constexpr int Missing = std::numeric_limits<int>::min();
    const int stored =
        settings.readInteger(QLatin1StringView(key.section), QLatin1StringView(key.key), Missing);
    return stored == Missing ? fallback : stored;
}

// The position of the WMA list's text among its entries; the list also takes typed text.
int chosenWmaFormat(const QComboBox* box)
{
    if (box->currentIndex() >= 0 && box->itemText(box->currentIndex()) == box->currentText())
        return box->currentIndex();
    return box->findText(box->currentText(), Qt::MatchExactly);
}

// Nothing chosen leaves the stored format alone: a -1 would make every later WMA rip fail.
Binding bindWma(QComboBox* box, const Keys::IntKey& key)
{
    Binding binding = bind(box, key);
    binding.save = [=](SettingsFile& s) {
        const int chosen = chosenWmaFormat(box);
        if (chosen >= 0)
            s.write(key, chosen);
    };
    return binding;
}

} // namespace

Tfm_set::Tfm_set(SettingsDialogHost host, Tfm_dir* dir, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      m_host(std::move(host)), m_dir(dir)
{
    setObjectName(QStringLiteral("fm_set"));
    setWindowTitle(QStringLiteral("Settings"));
    buildWindow();
}

Tfm_set::~Tfm_set() = default;

void Tfm_set::buildWindow()
{
    m_tree = named(new QTreeWidget(this), "TreeView1");
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const Page& page : Pages)
        new QTreeWidgetItem(m_tree, QStringList{text(page.entry)});
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current)
            showPage(m_tree->indexOfTopLevelItem(current));
    });

    // Each panel adds the bindings of its keys as it is built, so the panels are built in the
    // order of the writes and then put in the order of the tree.
    QWidget* mp3General = buildMp3General();
    QWidget* mp3Vbr = buildMp3Vbr();
    QWidget* filter = buildFilter();
    QWidget* expert = buildExpert();
    QWidget* presets = buildPresets();
    QWidget* wav = buildWav();
    QWidget* wma = buildWma();
    QWidget* ogg = buildOgg();
    QWidget* flac = buildFlac();
    QWidget* opus = buildBitrateFormat({"gb_opus", "GroupBox15", "Opus Options:", "Label41",
                                        "cb_opus_bitrate", "Label43",
                                        "Ogg Opus (.opus) at 48000 Hz, a variable bitrate around "
                                        "the one chosen.",
                                        Keys::Opus::Bitrate});
    QWidget* aac = buildBitrateFormat({"gb_aac", "GroupBox16", "AAC Options:", "Label42",
                                       "cb_aac_bitrate", "Label44",
                                       "AAC-LC in an MP4 file (.m4a) at 44100 Hz, with the "
                                       "gapless playback information.",
                                       Keys::Aac::Bitrate});
    QWidget* cdSet = buildCdSet();
    QWidget* freedb = buildFreedb();
    m_pages = {buildCdGeneral(),
               wma,
               cdSet,
               freedb,
               mp3General,
               mp3Vbr,
               filter,
               expert,
               presets,
               buildCommand(),
               ogg,
               wav,
               flac,
               opus,
               aac,
               buildMusicBrainz()};

    auto* ok = named(new QPushButton(QStringLiteral("Ok"), this), "Ok");
    auto* defaults = named(new QPushButton(QStringLiteral("Default"), this), "Button2");
    auto* cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "Cancel");
    QSize panelSize = PanelSize;
    for (QWidget* page : m_pages)
        panelSize = panelSize.expandedTo(page->minimumSizeHint());
    const int panelLeft = Margin + TreeSize.width() + Margin;
    m_tree->setGeometry(Margin, Margin, TreeSize.width(),
                        std::max(TreeSize.height(), panelSize.height()));
    for (QWidget* page : m_pages) {
        page->setGeometry(QRect(QPoint(panelLeft, Margin), panelSize));
        page->hide();
    }
    const int buttonY = Margin + std::max(TreeSize.height(), panelSize.height()) + 2 * Margin;
    int x = panelLeft;
    for (QPushButton* button : {ok, defaults, cancel}) {
        button->setGeometry(x, buttonY, ButtonWidth, ButtonHeight);
        button->setAutoDefault(true);
        x += ButtonWidth + ButtonGap;
    }
    // Enter presses Ok, unless a button has the focus (it presses that one) or the MP3 command
    // line (a new line there); Escape cancels.
    ok->setDefault(true);
    setFixedSize(panelLeft + panelSize.width() + Margin, buttonY + ButtonHeight + Margin);
    connect(ok, &QPushButton::clicked, this, &Tfm_set::okClicked);
    connect(defaults, &QPushButton::clicked, this, &Tfm_set::Button2Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* Tfm_set::panel(const char* name)
{
    return named(new QGroupBox(this), name);
}

QWidget* Tfm_set::buildCdGeneral()
{
    QWidget* page = panel("gb_cdgeneral");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);

    QGroupBox* drives = group(page, "GroupBox7", "Choose  Driver: ");
    auto* drivesLayout = new QVBoxLayout(drives);
    drivesLayout->addWidget(label(drives, "Label32", "Driver Name:  "));
    m_driver = combo(drives, "cb_driver", {});
    drivesLayout->addWidget(m_driver);
    layout->addWidget(drives);

    QGroupBox* output = group(page, "GroupBox8", "Output Path:");
    auto* outputLayout = grid(output);
    m_dirEdit = named(new QLineEdit(Locations::defaultOutputPath(), output), "edt_dir");
    m_dirEdit->setReadOnly(true);
    auto* browse = named(new QPushButton(QStringLiteral("..."), output), "bt_dir");
    browse->setFixedWidth(28);
    browse->setAutoDefault(true);
    connect(browse, &QPushButton::clicked, this, &Tfm_set::bt_dirClick);
    outputLayout->addWidget(m_dirEdit, 0, 0, 1, 3);
    outputLayout->addWidget(browse, 0, 3);
    const std::array<std::pair<const char*, const char*>, 4> schemes{{{"rb_none", "None"},
                                                                      {"rb_artist", "Artist"},
                                                                      {"rb_album", "Album"},
                                                                      {"rb_mix", "Artist/Album"}}};
    for (std::size_t i = 0; i < schemes.size(); ++i) {
        auto* button = named(new QRadioButton(text(schemes[i].second), output), schemes[i].first);
        m_schemeButtons.push_back(button);
        outputLayout->addWidget(button, 1 + static_cast<int>(i) / 2, static_cast<int>(i) % 2 * 2, 1,
                                2);
        // The main window's scheme changes at once, whether the dialog ends with Ok or not.
        connect(button, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && m_host.setOutputScheme)
                m_host.setOutputScheme(static_cast<int>(i));
        });
    }
    m_schemeButtons.front()->setChecked(true);
    layout->addWidget(output);

    QGroupBox* files = group(page, "GroupBox9", "Files:");
    auto* filesLayout = grid(files);
    auto* pattern = named(new QLineEdit(files), "edt_template");
    pattern->setPlaceholderText(QStringLiteral("%N %T"));
    pattern->setToolTip(
        QStringLiteral("How each track's file is named, without its extension: %N number (01), "
                       "%n number (1), %T title, %A artist, %B album artist, %L album, %Y year, "
                       "%G genre, %D disc number, %% a percent sign; / makes a folder. Empty: "
                       "the title alone."));
    // A template is one line of printable text.
    pattern->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^\\x00-\\x1f\\x7f]*")), pattern));
    QLabel* example = label(files, "lb_template_example", "");
    const auto showExample = [example](const QString& text) {
        example->setText(templateExample(text));
    };
    connect(pattern, &QLineEdit::textChanged, this, showExample);
    showExample(QString());
    addRow(filesLayout, 0, label(files, "lb_template", "File name: "), pattern);
    addRow(filesLayout, 1, label(files, "lb_template_shows", "Example: "), example);
    QCheckBox* log = check(files, "ck_log", "Write a rip log and cue sheet");
    QCheckBox* playlist = check(files, "ck_playlist", "Write a playlist");
    playlist->setToolTip(QStringLiteral("A playlist (.m3u8) of the tracks, beside them."));
    QCheckBox* replayGain = check(files, "ck_replaygain", "ReplayGain");
    replayGain->setToolTip(
        QStringLiteral("Track and album gain and peak (ReplayGain 2.0) in the files' tags."));
    QCheckBox* deEmphasis = check(files, "ck_deemphasis", "Remove pre-emphasis");
    deEmphasis->setToolTip(QStringLiteral("The standard 50/15 \u00b5s de-emphasis for the tracks "
                                          "the disc flags as pre-emphasised."));
    auto* switches = new QGridLayout;
    switches->addWidget(log, 0, 0);
    switches->addWidget(playlist, 0, 1);
    switches->addWidget(replayGain, 1, 0);
    switches->addWidget(deEmphasis, 1, 1);
    filesLayout->addLayout(switches, 2, 0, 1, 2);
    layout->addWidget(files);

    auto* offsetRow = new QHBoxLayout;
    offsetRow->addWidget(label(page, "lb_readoffset", "Read offset (samples): "));
    QSpinBox* offset = upDown(page, "ud_readoffset", "edt_readoffset", -3000, 3000);
    offsetRow->addWidget(offset);
    offsetRow->addStretch();
    layout->addLayout(offsetRow);
    QCheckBox* verify = check(page, "ck_verify",
                              "Read at full speed; again securely only where AccurateRip does "
                              "not confirm");
    layout->addWidget(verify);
    layout->addStretch();
    // Default leaves this page alone: the files' name and companions, the drive's offset and
    // the verification.
    for (Binding binding :
         {bind(pattern, Keys::Main::FileTemplate), bind(log, Keys::Main::Log),
          bind(playlist, Keys::Main::Playlist), bind(replayGain, Keys::Main::ReplayGain),
          bind(deEmphasis, Keys::Main::RemoveEmphasis), bind(offset, Keys::Main::ReadOffset),
          bind(verify, Keys::Main::Verify)}) {
        binding.reset = [] {};
        m_bindings.push_back(binding);
    }
    return page;
}

QWidget* Tfm_set::buildWma()
{
    QWidget* page = panel("gb_wma");
    auto* layout = new QVBoxLayout(page);
    QGroupBox* box = group(page, "GroupBox2", "WMA Format");
    auto* boxLayout = new QVBoxLayout(box);
    QComboBox* formats = combo(box, "cb_wma", wmaTexts());
    formats->setEditable(true);
    formats->setInsertPolicy(QComboBox::NoInsert);
    boxLayout->addWidget(formats);
    layout->addWidget(box);
    layout->addStretch();
    m_bindings.push_back(bindWma(formats, Keys::Wma::Format));
    return page;
}

QWidget* Tfm_set::buildCdSet()
{
    QWidget* page = panel("gb_cdset");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);

    QGroupBox* modes = group(page, "GroupBox5", "Grab Mode");
    auto* modesLayout = new QVBoxLayout(modes);
    modesLayout->setContentsMargins(6, 2, 6, 2);
    modesLayout->setSpacing(0);
    const std::array<const char*, 4> modeCaptions{
        "Burst Mode", "Synch mode(Correct Jitter Errors)",
        "Secure Mode (Double Precision Error Correction)",
        "Paranoid Mode (Small Blocks Read, drive cache disable)"};
    // The two long captions go on in the labels below them.
    const std::array<std::pair<const char*, const char*>, 4> secondLines{
        {{}, {}, {"Label24", "Correction).   "}, {"Label25", "drive cache disable).   "}}};
    for (std::size_t i = 0; i < modeCaptions.size(); ++i) {
        const QByteArray name = "cd_g" + QByteArray::number(static_cast<int>(i));
        auto* button = named(new QRadioButton(text(modeCaptions[i]), modes), name.constData());
        m_grabButtons.push_back(button);
        modesLayout->addWidget(button, 0, Qt::AlignLeft);
        if (const auto [labelName, caption] = secondLines[i]; labelName) {
            QLabel* secondLine = label(modes, labelName, caption);
            cutBeforeSecondLine(button, secondLine);
            modesLayout->addWidget(secondLine);
        }
        connect(button, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                m_grabMode = static_cast<int>(i);
        });
    }
    layout->addWidget(modes);

    auto* retriesRow = new QHBoxLayout;
    retriesRow->addWidget(label(page, "Label26", "Retries on Read or Synch Error: "));
    QSpinBox* retries = upDown(page, "ud_retries", "edt_retries", 1, 32);
    spinEdit(retries)->setReadOnly(true);
    retriesRow->addWidget(retries);
    layout->addLayout(retriesRow);

    QGroupBox* actions = group(page, "GroupBox6", "Action On UnRecovery Read or Synch Error");
    auto* actionsLayout = new QHBoxLayout(actions);
    actionsLayout->setContentsMargins(6, 2, 6, 2);
    const std::array<std::pair<const char*, const char*>, 3> actionCaptions{
        {{"cd_a1", "Stop"}, {"cd_a2", "Silence"}, {"cd_a3", "Cut"}}};
    for (std::size_t i = 0; i < actionCaptions.size(); ++i) {
        auto* button = named(new QRadioButton(text(actionCaptions[i].second), actions),
                             actionCaptions[i].first);
        m_errorButtons.push_back(button);
        actionsLayout->addWidget(button);
        connect(button, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                m_errorAction = static_cast<int>(i);
        });
    }
    layout->addWidget(actions);
    layout->addStretch();

    // Unset, the mode and the retries show what rips read with; Default sets Burst and 5.
    m_bindings.push_back(
        bind(m_grabMode, m_grabButtons, DefaultGrabMode, [](const SettingsFile& s) {
            return storedOr(s, DefaultGrabMode, readModeValue(storedGrabOptions(s).mode));
        }));
    Binding retriesBinding = bind(retries, DefaultRetries);
    retriesBinding.load = [retries](const SettingsFile& s) {
        retries->setValue(storedOr(s, DefaultRetries, storedGrabOptions(s).retries));
    };
    m_bindings.push_back(retriesBinding);
    m_bindings.push_back(bind(m_errorAction, m_errorButtons, Keys::Format::Stop));
    return page;
}

QWidget* Tfm_set::buildFreedb()
{
    QWidget* page = panel("gb_freedb");
    auto* layout = grid(page);
    auto* keys = new DigitKeyFilter(page);

    QComboBox* site = combo(page, "cb_freedbsite", siteCaptions());
    auto* port = named(new QLineEdit(QStringLiteral("80"), page), "edt_port");
    auto* timeout = named(new QLineEdit(QStringLiteral("10000"), page), "edt_timeout");
    auto* proxy = named(new QLineEdit(page), "edt_proxy");
    auto* email = named(new QLineEdit(page), "edt_email");
    digitsOnly(port, keys);
    digitsOnly(timeout, keys);
    auto* source = named(new RadioGroup(QStringLiteral("Album Information source:"),
                                        texts({"Any available source", "FreeDB Server only",
                                               "From 'CDFreeDB.ini' file."}),
                                        1, page),
                         "rg_freedbserver");

    layout->addWidget(label(page, "Label27", "Site URL:  "), 0, 0);
    layout->addWidget(site, 0, 1, 1, 2);
    addRow(layout, 1, label(page, "Label28", "Port:  "), port);
    addRow(layout, 2, label(page, "Label29", "Timeout:  "), timeout);
    layout->addWidget(label(page, "Label31", "MS "), 2, 2);
    layout->addWidget(label(page, "Label30", "Proxy:"), 3, 0);
    layout->addWidget(proxy, 3, 1, 1, 2);
    layout->addWidget(label(page, "Label33", "E-mail:"), 4, 0);
    layout->addWidget(email, 4, 1, 1, 2);
    layout->addWidget(source, 5, 0, 1, 3);
    layout->setRowStretch(6, 1);

    using namespace Keys::Freedb;
    m_bindings.push_back(bind(site, Site));
    m_bindings.push_back(bind(source, ToServer));
    m_bindings.push_back(bind(port, Port));
    m_bindings.push_back(bind(timeout, Timeout));
    m_bindings.push_back(bind(proxy, Proxy));
    // The address is the user's own: Default leaves it as it is.
    Binding address = bind(email, Email);
    address.reset = [] {};
    m_bindings.push_back(address);
    return page;
}

QWidget* Tfm_set::buildMusicBrainz()
{
    QWidget* page = panel("gb_musicbrainz");
    auto* layout = grid(page);
    QCheckBox* enabled =
        check(page, "ck_mbenabled", "Look the disc up in MusicBrainz when FreeDB has nothing");
    auto* server = named(new QLineEdit(page), "edt_mbserver");
    QCheckBox* coverArt = check(page, "ck_coverart", "Fetch the front cover (cover.jpg)");
    QCheckBox* embed = check(page, "ck_embedcover", "Embed the cover in the files");
    auto* coverServer = named(new QLineEdit(page), "edt_coverserver");

    layout->addWidget(enabled, 0, 0, 1, 2);
    addRow(layout, 1, label(page, "Label_mbserver", "Server:  "), server);
    layout->addWidget(coverArt, 2, 0, 1, 2);
    layout->addWidget(embed, 3, 0, 1, 2);
    addRow(layout, 4, label(page, "Label_coverserver", "Cover server:  "), coverServer);
    layout->setRowStretch(5, 1);

    using namespace Keys::MusicBrainz;
    m_bindings.push_back(bind(enabled, Enabled));
    m_bindings.push_back(bind(server, Server));
    m_bindings.push_back(bind(coverArt, CoverArt));
    m_bindings.push_back(bind(embed, EmbedCover));
    m_bindings.push_back(bind(coverServer, CoverServer));
    return page;
}

QWidget* Tfm_set::buildMp3General()
{
    QWidget* page = panel("gb_mp3general");
    auto* layout = grid(page);
    QComboBox* frequency = combo(page, "cb_mp3_frequency", frequencyTexts());
    QComboBox* bitrate = combo(page, "cb_mp3_bitrate", bitrateTexts());
    QSpinBox* quality = upDown(page, "ud_mp3_quality", "edt_mp3_quality", 0, 9);
    spinEdit(quality)->setReadOnly(true);
    spinEdit(quality)->setMaxLength(1);
    QComboBox* channel =
        combo(page, "cb_mp3_channel",
              texts({"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels"}));
    addRow(layout, 0, label(page, "Label7", "Frequency: "), frequency);
    addRow(layout, 1, label(page, "Label8", "Bitrate: "), bitrate);
    addRow(layout, 2, label(page, "Label10", "Quality: "), quality);
    addRow(layout, 3, label(page, "Label9", "Channel: "), channel);
    QGroupBox* comment = group(page, "GroupBox12", "Comment:  ");
    auto* commentLayout = new QVBoxLayout(comment);
    commentLayout->addWidget(
        label(comment, "Label11", "8000Hz or 8Kbps - poor quality, small file."));
    commentLayout->addWidget(
        label(comment, "Label2", "48000Hz or 320Kbps - good quality, big file."));
    commentLayout->addWidget(
        label(comment, "Label3", "Quality: 0 - best quality, low convert speed."));
    commentLayout->addWidget(
        label(comment, "Label4", "Quality: 9 - low quality, fast convert speed. "));
    layout->addWidget(comment, 4, 0, 1, 2);
    layout->setRowStretch(5, 1);

    using namespace Keys::Mp3;
    m_bindings.push_back(bind(bitrate, Bitrate));
    m_bindings.push_back(bind(channel, Channel));
    m_bindings.push_back(bind(frequency, Frequency));
    m_bindings.push_back(bind(quality, Quality));
    return page;
}

QWidget* Tfm_set::buildMp3Vbr()
{
    QWidget* page = panel("gb_mp3vbr");
    auto* layout = grid(page);
    m_codingMethod = combo(page, "cb_mp3vbrcm", texts({"None", "Default", "Old", "New", "MTRH"}));
    connect(m_codingMethod, &QComboBox::activated, this, &Tfm_set::codingMethodRule);
    addRow(layout, 0, label(page, "Label12", "Coding Method:"), m_codingMethod);

    QGroupBox* values = group(page, "Frame6", "VBR Bitrate/Quality: ");
    auto* valuesLayout = grid(values);
    QComboBox* bitrate = combo(values, "cb_mp3_vbr", bitrateTexts());
    bitrate->setCurrentIndex(9);
    QSpinBox* quality = upDown(values, "ud_mp3_vbr", "edt_mp3_vbr", 0, 9);
    spinEdit(quality)->setReadOnly(true);
    spinEdit(quality)->setMaxLength(1);
    addRow(valuesLayout, 0, label(values, "Label13", "VBR Bitrate: "), bitrate);
    addRow(valuesLayout, 1, label(values, "Label14", "VBR Quality: "), quality);
    layout->addWidget(values, 1, 0, 1, 2);

    QGroupBox* advanced = group(page, "Frame3", "Advanced");
    auto* advancedLayout = new QVBoxLayout(advanced);
    QCheckBox* header = check(advanced, "ck_mp3_VBR", "Write VBR Header");
    QCheckBox* enforce = check(advanced, "ck_mp3_semb", "Strictly enforce minimum bitrate");
    advancedLayout->addWidget(header);
    advancedLayout->addWidget(enforce);
    layout->addWidget(advanced, 2, 0, 1, 2);
    layout->setRowStretch(3, 1);
    m_vbrControls = {bitrate, spinEdit(quality), quality, header, enforce};

    using namespace Keys::Mp3Vbr;
    m_bindings.push_back(bind(m_codingMethod, CodingMethod));
    m_bindings.push_back(bind(bitrate, VbrBitrate));
    m_bindings.push_back(bind(quality, VbrQuality));
    m_bindings.push_back(bind(header, VbrHeader));
    m_bindings.push_back(bind(enforce, EnforceMin));
    return page;
}

QWidget* Tfm_set::buildFilter()
{
    QWidget* page = panel("gb_filter");
    auto* layout = new QVBoxLayout(page);
    using namespace Keys::Mp3Filt;
    // One group per filter: its check box enables its frequency, width and width label.
    const auto filterGroup = [&](const char* groupName, const char* groupCaption,
                                 const char* checkName, const char* checkCaption,
                                 const char* labelName, const char* labelCaption,
                                 const char* frequencyName, const char* widthName,
                                 const Keys::BoolKey& on, const Keys::IntKey& frequencyKey,
                                 const Keys::IntKey& widthKey) {
        QGroupBox* box = group(page, groupName, groupCaption);
        auto* boxLayout = grid(box);
        QCheckBox* toggle = check(box, checkName, checkCaption);
        QLabel* widthLabel = label(box, labelName, labelCaption);
        auto* frequency = named(new QSpinBox(box), frequencyName);
        auto* width = named(new QSpinBox(box), widthName);
        for (QSpinBox* spin : {frequency, width})
            spin->setRange(0, 48000);
        frequency->setValue(frequencyKey.def);
        width->setValue(widthKey.def);
        const std::vector<QWidget*> controls{frequency, width, widthLabel};
        enable(controls, false);
        connect(toggle, &QCheckBox::toggled, this, [controls](bool on) { enable(controls, on); });
        boxLayout->addWidget(toggle, 0, 0);
        boxLayout->addWidget(frequency, 0, 1);
        boxLayout->addWidget(widthLabel, 1, 0);
        boxLayout->addWidget(width, 1, 1);
        layout->addWidget(box);
        return std::array<Binding, 3>{bind(toggle, on), bind(frequency, frequencyKey),
                                      bind(width, widthKey)};
    };
    const auto high = filterGroup("GroupBox3", "HighPass Filter", "chHFilt",
                                  "Highpass filtering frequency (in Hz):", "Label15",
                                  "Width of Highpass filter (in Hz):", "udHFiltF", "udHFiltW",
                                  HighpassOn, HighpassFreq, HighpassWidth);
    const auto low = filterGroup("GroupBox4", "LowPass Filter", "chLFilt",
                                 "Lowpass filtering frequency (in Hz):", "Label20",
                                 "Width of Lowpass filter (in Hz):", "udLFiltF", "udLFiltW",
                                 LowpassOn, LowpassFreq, LowpassWidth);
    layout->addStretch();
    // Written as chHFilt, chLFilt, then the four numbers.
    for (const Binding& binding : {high[0], low[0], high[1], high[2], low[1], low[2]})
        m_bindings.push_back(binding);
    return page;
}

QWidget* Tfm_set::buildExpert()
{
    QWidget* page = panel("gb_expert");
    auto* layout = grid(page);
    QCheckBox* crc = check(page, "ck_crc", "include CRC -Checksums");
    QCheckBox* comply = check(page, "ck_comply", "comply as much as possible to ISO MPEG spec");
    QCheckBox* allow = check(page, "ck_allow", "allow block types to differ between channels");
    QCheckBox* shortBlocks = check(page, "ck_short", "short blocks");
    QCheckBox* reservoir = check(page, "ck_bit", "bit reservoir");
    QComboBox* ath =
        combo(page, "cb_ath", texts({"default", "only", "disabled", "only for short blocks"}));
    QComboBox* deEmphasis =
        combo(page, "cb_de", texts({"default", "0/15 microseconds", "citt j.17"}));
    layout->addWidget(crc, 0, 0, 1, 2);
    layout->addWidget(comply, 1, 0, 1, 2);
    layout->addWidget(label(page, "spec", "spec"), 2, 0, 1, 2);
    layout->addWidget(allow, 3, 0, 1, 2);
    layout->addWidget(shortBlocks, 4, 0, 1, 2);
    layout->addWidget(reservoir, 5, 0, 1, 2);
    addRow(layout, 6, label(page, "Label23", "ATH Control:"), ath);
    addRow(layout, 7, label(page, "Label151", "De-emphasis :"), deEmphasis);
    layout->setRowStretch(8, 1);

    using namespace Keys::Mp3Expert;
    m_bindings.push_back(bind(reservoir, BitReservoir));
    m_bindings.push_back(bind(shortBlocks, ShortBlocks));
    m_bindings.push_back(bind(allow, AllowDiff));
    m_bindings.push_back(bind(comply, Comply));
    m_bindings.push_back(bind(crc, Crc));
    m_bindings.push_back(bind(ath, Ath));
    m_bindings.push_back(bind(deEmphasis, DeEmphasis));
    return page;
}

QWidget* Tfm_set::buildPresets()
{
    QWidget* page = panel("gb_presets");
    auto* layout = new QVBoxLayout(page);
    m_preset = check(page, "ck_preset", "Preset");
    m_presetGroup = named(new RadioGroup(QString(), captions(PresetCaptions), 4, page), "rg_prest");
    m_alt = check(page, "ck_alt", "Alt-Preset");
    m_altGroup = named(new RadioGroup(QString(), captions(AltPresetCaptions), 2, page), "rg_alt");
    for (RadioGroup* group : {m_presetGroup, m_altGroup}) {
        group->setItemIndex(0);
        group->setEnabled(false);
    }
    layout->addWidget(m_preset);
    layout->addWidget(m_presetGroup);
    layout->addWidget(m_alt);
    layout->addWidget(m_altGroup);
    layout->addStretch();
    connect(m_preset, &QCheckBox::toggled, this, &Tfm_set::presetRule);
    connect(m_alt, &QCheckBox::toggled, this, &Tfm_set::altRule);

    using namespace Keys::Mp3Prest;
    m_bindings.push_back(bind(m_preset, Preset));
    m_bindings.push_back(bind(m_alt, Alt));
    m_bindings.push_back(bind(m_presetGroup, PresetIndex));
    m_bindings.push_back(bind(m_altGroup, AltIndex));
    return page;
}

QWidget* Tfm_set::buildCommand()
{
    QWidget* page = panel("gb_command");
    auto* layout = new QVBoxLayout(page);
    m_commandLine = named(new QPlainTextEdit(page), "txtCommLine");
    layout->addWidget(m_commandLine);
    return page;
}

QWidget* Tfm_set::buildOgg()
{
    QWidget* page = panel("gb_ogg");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);

    QGroupBox* general = group(page, "GroupBox1", "General");
    auto* generalLayout = grid(general);
    QComboBox* frequency = combo(general, "cb_ogg_fre", frequencyTexts());
    QComboBox* channel = combo(general, "cb_ogg_channel", texts({"Mono", "Stereo"}));
    QComboBox* bitrate = combo(general, "cb_ogg_bitrate", bitrateTexts());
    m_oggVbr = check(general, "ck_oggvbr", "VBR");
    m_oggQuality = check(general, "ck_oggquality", "Quality");
    addRow(generalLayout, 0, label(general, "Label16", "Frequency: "), frequency);
    addRow(generalLayout, 1, label(general, "Label18", "Channel: "), channel);
    addRow(generalLayout, 2, label(general, "Label17", "Bitrate: "), bitrate);
    generalLayout->addWidget(m_oggVbr, 3, 0);
    generalLayout->addWidget(m_oggQuality, 3, 1);
    layout->addWidget(general);

    QGroupBox* bounds = group(page, "GroupBox13", "VBR/Quality:");
    auto* boundsLayout = grid(bounds);
    QComboBox* minimum = combo(bounds, "cb_ogg_minbit", bitrateTexts());
    QComboBox* maximum = combo(bounds, "cb_ogg_maxbit", bitrateTexts());
    QSpinBox* quality = upDown(bounds, "ud_ogg_quality", "edt_ogg_quality", 0, 1000);
    spinEdit(quality)->setMaxLength(5);
    quality->installEventFilter(new DigitKeyFilter(bounds));
    addRow(boundsLayout, 0, label(bounds, "Label19", "Min Bitrate: "), minimum);
    addRow(boundsLayout, 1, label(bounds, "Label21", "Max Bitrate: "), maximum);
    addRow(boundsLayout, 2, label(bounds, "Label22", "Quality: "), quality);
    layout->addWidget(bounds);
    m_oggVbrControls = {minimum, maximum};
    m_oggQualityControls = {quality, spinEdit(quality)};
    connect(m_oggVbr, &QCheckBox::toggled, this, &Tfm_set::oggVbrRule);
    connect(m_oggQuality, &QCheckBox::toggled, this, &Tfm_set::oggQualityRule);

    using namespace Keys::Ogg;
    m_bindings.push_back(bind(channel, Channel));
    m_bindings.push_back(bind(frequency, Frequency));
    m_bindings.push_back(bind(bitrate, Bitrate));
    m_bindings.push_back(bind(maximum, MaxBitrate));
    m_bindings.push_back(bind(minimum, MinBitrate));
    m_bindings.push_back(bind(quality, Quality));
    m_bindings.push_back(bind(m_oggVbr, Vbr));
    m_bindings.push_back(bind(m_oggQuality, QualityMode));
    return page;
}

QWidget* Tfm_set::buildFlac()
{
    QWidget* page = panel("gb_flac");
    auto* layout = new QVBoxLayout(page);
    QGroupBox* options = group(page, "GroupBox14", "FLAC Options:");
    auto* optionsLayout = grid(options);
    QComboBox* level =
        combo(options, "cb_flac_compression",
              texts({"0 (fastest)", "1", "2", "3", "4", "5 (default)", "6", "7", "8 (smallest)"}));
    QCheckBox* verify = check(options, "ck_flac_verify", "Verify the encoded audio");
    addRow(optionsLayout, 0, label(options, "Label40", "Compression level:"), level);
    optionsLayout->addWidget(verify, 1, 0, 1, 2);
    layout->addWidget(options);
    layout->addStretch();

    using namespace Keys::Flac;
    m_bindings.push_back(bind(level, Compression));
    m_bindings.push_back(bind(verify, Verify));
    return page;
}

QWidget* Tfm_set::buildBitrateFormat(const BitrateFormat& format)
{
    QWidget* page = panel(format.panel);
    auto* layout = new QVBoxLayout(page);
    QGroupBox* options = group(page, format.group, format.groupCaption);
    auto* optionsLayout = grid(options);
    QComboBox* bitrate = combo(options, format.list, bitrateTexts());
    addRow(optionsLayout, 0, label(options, format.label, "Bitrate: "), bitrate);
    QLabel* note = label(options, format.noteLabel, format.note);
    note->setWordWrap(true);
    optionsLayout->addWidget(note, 1, 0, 1, 2);
    layout->addWidget(options);
    layout->addStretch();
    m_bindings.push_back(bind(bitrate, format.key));
    return page;
}

QWidget* Tfm_set::buildWav()
{
    QWidget* page = panel("gb_wav");
    auto* layout = new QVBoxLayout(page);
    m_wavMode = named(new RadioGroup(QStringLiteral("Mode:"),
                                     texts({"CD quality WAV format.",
                                            "Best good quality WAV format.", "Custom WAV format."}),
                                     1, page),
                      "rb_cdmode");
    connect(m_wavMode->buttons(), &QButtonGroup::idToggled, this, &Tfm_set::wavModeRule);
    layout->addWidget(m_wavMode);

    QGroupBox* options = group(page, "GroupBox11", "General Options:");
    auto* optionsLayout = grid(options);
    QComboBox* frequency = combo(options, "cb_wav_frequency", frequencyTexts());
    QComboBox* bits = combo(options, "cb_wav_bit", numbered(EncoderTables::Bits, " bps"));
    QComboBox* channel = combo(options, "cb_wav_channel", texts({"Mono", "Stereo"}));
    addRow(optionsLayout, 0, label(options, "Label1", "Frequency:"), frequency);
    addRow(optionsLayout, 1, label(options, "Label5", "Bit Per Sample"), bits);
    addRow(optionsLayout, 2, label(options, "Label6", "Channel"), channel);
    layout->addWidget(options);
    layout->addStretch();
    m_wavCustomControls = {frequency, bits, channel};

    using namespace Keys::Wav;
    m_bindings.push_back(bind(m_wavMode, Mode));
    m_bindings.push_back(bind(bits, Bit));
    m_bindings.push_back(bind(channel, Channel));
    m_bindings.push_back(bind(frequency, Frequency, DefaultWavFrequency));
    return page;
}

void Tfm_set::showPage(int index)
{
    if (index < 0 || index >= static_cast<int>(m_pages.size()))
        return;
    for (QWidget* page : m_pages)
        page->hide();
    m_pages[static_cast<std::size_t>(index)]->show();
    // The tree marks the page shown, which the next showing opens again.
    m_tree->setCurrentItem(m_tree->topLevelItem(index));
    setWindowTitle(text(Pages[static_cast<std::size_t>(index)].caption));
}

QString Tfm_set::commandLine() const
{
    return m_commandLine->toPlainText();
}

void Tfm_set::showModal()
{
    if (!m_host.settings())
        return;
    FormShow();
    exec();
}

bool Tfm_set::writeReported(const std::function<void()>& writes)
{
    // The writes made before a failing one stay; the dialog stays open with what the user set,
    // so nothing is lost.
    try {
        writes();
        return true;
    } catch (const SettingsWriteError& e) {
        if (m_host.showError)
            m_host.showError(QString::fromUtf8(e.what()));
        return false;
    }
}

void Tfm_set::fillDriveList(SettingsFile& settings)
{
    m_driver->clear();
    const int count = m_host.grabber->DeviceCount();
    for (int number = 1; number <= count; ++number) {
        // Described without selecting the drive: the current one stays as it is.
        const DriveDescription drive = m_host.grabber->describeDrive(number);
        m_driver->addItem(u'[' + drive.tag + QStringLiteral("]  ") + drive.text1 +
                          QStringLiteral("  ") + drive.text2 + QStringLiteral("  ") + drive.text3);
    }
    if (settings.read(Keys::Main::Driver) > count - 1)
        writeReported([&] { settings.write(Keys::Main::Driver, count - 1); });
    m_driver->setCurrentIndex(settings.read(Keys::Main::Driver));
}

void Tfm_set::FormShow()
{
    SettingsFile* settings = m_host.settings();
    if (!settings)
        return;
    fillDriveList(*settings);
    const int scheme = m_host.outputScheme ? m_host.outputScheme() : 0;
    if (scheme >= 0 && scheme < static_cast<int>(m_schemeButtons.size()))
        m_schemeButtons[static_cast<std::size_t>(scheme)]->setChecked(true);
    m_dirEdit->setText(storedOutputPath(*settings));
    for (const Binding& binding : m_bindings)
        binding.load(*settings);
    codingMethodRule();
    wavModeRule();
    enable(m_oggVbrControls, m_oggVbr->isChecked());
    enable(m_oggQualityControls, m_oggQuality->isChecked());
    if (!m_tree->currentItem())
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    showPage(m_tree->indexOfTopLevelItem(m_tree->currentItem()));
}

void Tfm_set::writeAll(SettingsFile& settings)
{
    settings.writeString(QLatin1StringView(Keys::Main::Section),
                         QLatin1StringView(Keys::Main::Path), m_dirEdit->text());
    for (const Binding& binding : m_bindings)
        binding.save(settings);
}

void Tfm_set::OkClick()
{
    SettingsFile* settings = m_host.settings();
    if (!settings)
        return;
    if (!writeReported([&] { writeAll(*settings); }))
        return;
    applyGrabOptions(*settings, *m_host.grabber);
    // A drive change takes effect at once: the new drive's disc is read and looked up. With no
    // drive listed there is nothing to change to.
    const int chosen = m_driver->currentIndex();
    if (chosen >= 0 && chosen != settings->read(Keys::Main::Driver)) {
        if (!writeReported([&] { settings->write(Keys::Main::Driver, chosen); }))
            return;
        m_host.grabber->CurrentDevice(chosen + 1);
        if (m_host.readChangedDrive)
            m_host.readChangedDrive();
    }
    accept();
}

void Tfm_set::okClicked()
{
    // A component error must not unwind through the button's signal: it goes to the program's
    // exception handler, and the dialog closes with the Ok it ended.
    try {
        OkClick();
    } catch (const std::exception& e) {
        reject();
        if (m_host.reportException)
            m_host.reportException(QString::fromUtf8(e.what()));
        else
            throw;
    }
}

void Tfm_set::Button2Click()
{
    for (const Binding& binding : m_bindings)
        binding.reset();
    // The list's rule runs on a change by the user only; run it here too, so the VBR controls
    // match the method Default chose.
    codingMethodRule();
}

void Tfm_set::codingMethodRule()
{
    // No choice counts as a method other than None.
    enable(m_vbrControls, m_codingMethod->currentIndex() != 0);
}

void Tfm_set::presetRule()
{
    m_presetGroup->setEnabled(m_preset->isChecked());
    m_altGroup->setEnabled(m_alt->isChecked() && !m_preset->isChecked());
    m_alt->setEnabled(!m_preset->isChecked());
}

void Tfm_set::altRule()
{
    m_altGroup->setEnabled(m_alt->isChecked());
    m_presetGroup->setEnabled(m_preset->isChecked() && !m_alt->isChecked());
    m_preset->setEnabled(!m_alt->isChecked());
}

void Tfm_set::oggVbrRule()
{
    m_oggQuality->setEnabled(!m_oggVbr->isChecked());
    enable(m_oggVbrControls, m_oggVbr->isChecked());
}

void Tfm_set::oggQualityRule()
{
    m_oggVbr->setEnabled(!m_oggQuality->isChecked());
    enable(m_oggQualityControls, m_oggQuality->isChecked());
}

void Tfm_set::wavModeRule()
{
    constexpr int Custom = 2;
    enable(m_wavCustomControls, m_wavMode->itemIndex() == Custom);
}

void Tfm_set::bt_dirClick()
{
    if (!m_dir)
        return;
    m_dir->runDirectoryMode(this);
    if (!m_dir->chosenDirectory().isEmpty())
        m_dirEdit->setText(m_dir->chosenDirectory());
}
