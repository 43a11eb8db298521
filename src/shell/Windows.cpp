#include "shell/Windows.h"

#include "settings/SettingsDialog.h"
#include "shell/About.h"
#include "tags/TagEditor.h"

Windows::Windows(MainWindowParts parts) : m_main(std::make_unique<Tfm_main>(std::move(parts)))
{
    new Tfm_set(m_main.get());
    m_main->setAboutWindow(new Tfm_about(m_main.get()));
    new Tfm_id3(m_main.get());
}
