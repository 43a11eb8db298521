#pragma once

#include "settings/SettingsKeys.h"

#include <QDialog>

#include <functional>
#include <vector>

class IAudioCDGrabber2;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTreeWidget;
class SettingsFile;
class Tfm_dir;
class RadioGroup;

/// What the settings dialog works on besides the settings file's keys: the main window's values,
/// its grabber and its disc.
struct SettingsDialogHost
{
    /// The open settings file; null while the main window has not opened it.
    std::function<SettingsFile*()> settings;
    IAudioCDGrabber2* grabber = nullptr;
    std::function<int()> outputScheme;
    std::function<void(int)> setOutputScheme;
    /// Reads the disc of the newly chosen drive into the track list and looks it up, without
    /// the lookup's information window.
    std::function<void()> readChangedDrive;
    /// Shows an error message (a settings write that failed).
    std::function<void(const QString&)> showError;
    /// Hands an error that ended Ok (a component call that failed) to the exception handler.
    std::function<void(const QString&)> reportException;
};

/// The settings dialog: a page tree and one panel per page. Each showing loads every control
/// from the settings file; Ok writes them all back and applies the grab options and a changed
/// drive; Cancel writes nothing; Default resets every page but the drive and folder page.
class Tfm_set final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_set)
public:
    Tfm_set(SettingsDialogHost host, Tfm_dir* dir, QWidget* parent = nullptr);
    ~Tfm_set() override;

    /// Loads the controls and runs the dialog modally.
    void showModal();
    /// Loads every control from the settings file (and the drive list from the grabber).
    void FormShow();
    /// Writes every control, applies the grab options and a changed drive, and closes. A write
    /// that fails is reported and leaves the dialog open; component errors propagate.
    void OkClick();
    /// Default values into every page but the drive and folder page; nothing is written.
    void Button2Click();
    /// Shows the page of a tree entry; an index outside the tree changes nothing.
    void showPage(int index);

    /// The MP3 command line (not stored); empty hands nothing to the encoder.
    QString commandLine() const;

    /// How one control is loaded from, written to and reset to its key.
    struct Binding
    {
        std::function<void(const SettingsFile&)> load;
        std::function<void(SettingsFile&)> save;
        std::function<void()> reset;
    };

private:
    void buildWindow();
    QWidget* buildCdGeneral();
    QWidget* buildWma();
    QWidget* buildCdSet();
    QWidget* buildFreedb();
    QWidget* buildMp3General();
    QWidget* buildMp3Vbr();
    QWidget* buildFilter();
    QWidget* buildExpert();
    QWidget* buildPresets();
    QWidget* buildCommand();
    QWidget* buildOgg();
    QWidget* buildWav();
    QWidget* buildFlac();
    /// A format whose one setting is a bitrate: a group with the list and a note below it.
    struct BitrateFormat
    {
        const char* panel;
        const char* group;
        const char* groupCaption;
        const char* label;
        const char* list;
        const char* noteLabel;
        const char* note;
        Keys::IntKey key;
    };
    QWidget* buildBitrateFormat(const BitrateFormat& format);
    QWidget* buildMusicBrainz();
    QWidget* panel(const char* name);

    void fillDriveList(SettingsFile& settings);
    void writeAll(SettingsFile& settings);
    bool writeReported(const std::function<void()>& writes);

    // Rules that keep the enabled states in step with the check boxes and lists.
    void codingMethodRule();
    void presetRule();
    void altRule();
    void oggVbrRule();
    void oggQualityRule();
    void wavModeRule();
    void bt_dirClick();
    void okClicked();

    SettingsDialogHost m_host;
    Tfm_dir* m_dir;
    QTreeWidget* m_tree = nullptr;
    std::vector<QWidget*> m_pages;
    std::vector<Binding> m_bindings; // in the order of the writes
    int m_grabMode = 0;
    int m_errorAction = 0;

    QComboBox* m_driver = nullptr;
    QLineEdit* m_dirEdit = nullptr;
    std::vector<QRadioButton*> m_schemeButtons;
    std::vector<QRadioButton*> m_grabButtons;
    std::vector<QRadioButton*> m_errorButtons;
    QComboBox* m_codingMethod = nullptr;
    std::vector<QWidget*> m_vbrControls;
    QCheckBox* m_preset = nullptr;
    QCheckBox* m_alt = nullptr;
    RadioGroup* m_presetGroup = nullptr;
    RadioGroup* m_altGroup = nullptr;
    QCheckBox* m_oggVbr = nullptr;
    QCheckBox* m_oggQuality = nullptr;
    std::vector<QWidget*> m_oggVbrControls;
    std::vector<QWidget*> m_oggQualityControls;
    RadioGroup* m_wavMode = nullptr;
    std::vector<QWidget*> m_wavCustomControls;
    QPlainTextEdit* m_commandLine = nullptr;
};
