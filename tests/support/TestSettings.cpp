#include "TestSettings.h"

#include "common/settings.h"

TestSettings::TestSettings()
{
    m_settings = std::make_unique<QSettings>(m_dir.path() + "/Vandrel/Vandrel Lumoran Tool.ini", QSettings::IniFormat);
    setSettings(m_settings.get());
}

TestSettings::~TestSettings()
{
    if (getSettings() == m_settings.get())
        setSettings(nullptr);
}
