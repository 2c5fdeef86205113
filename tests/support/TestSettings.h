#pragma once

#include <memory>

#include <QSettings>
#include <QTemporaryDir>

// A settings object in a fresh temporary folder, installed as the process's
// settings for the lifetime of the instance. Its one preset key points the
// update index of every bridge at loopback, where nobody answers at once, so
// that no test reaches out to the real update server; tests that serve an
// index set their own URL, and a test of the defaults removes the key. In the
// same way the serial port list is empty meanwhile, so that no test opens a
// serial port of the machine (a test's own lines are pinned in the settings
// or given as its own port list).
class TestSettings
{
public:
    // Port 0: no server can listen there, so the connection is refused.
    static const char* const kUnansweredUpdateUrl;

    TestSettings();
    ~TestSettings();

    QSettings* settings() const { return m_settings.get(); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
};
