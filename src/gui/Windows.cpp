#include "gui/Windows.h"

#include "gui/About.h"
#include "gui/TagEditor.h"

Windows::Windows(MainWindowParts parts) : m_main(std::make_unique<Tfm_main>(std::move(parts)))
{
    m_main->setAboutWindow(new Tfm_about(m_main.get()));
    new Tfm_id3(m_main->tagEditorHost(), m_main.get());
}
