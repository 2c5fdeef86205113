#include "TestSettings.h"

#include "common/settings.h"
#include "link/CSerialPortHandler.h"

const char* const TestSettings::kUnansweredUpdateUrl = "http://127.0.0.1:0/";

TestSettings::TestSettings()
{
    m_settings = std::make_unique<QSettings>(m_dir.path() + "/Vandrel/Vandrel Lumoran Tool.ini", QSettings::IniFormat);
    setSettings(m_settings.get());
    m_settings->setValue("update/UpdateUrl", kUnansweredUpdateUrl);
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
}

TestSettings::~TestSettings()
{
    CSerialPortHandler::setPortListFunction(nullptr);
    if (getSettings() == m_settings.get())
        setSettings(nullptr);
}
