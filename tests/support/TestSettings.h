#pragma once

#include <memory>

#include <QSettings>
#include <QTemporaryDir>

// A settings object in a fresh temporary folder, installed as the process's
// settings for the lifetime of the instance.
class TestSettings
{
public:
    TestSettings();
    ~TestSettings();

    QSettings* settings() const { return m_settings.get(); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
};
