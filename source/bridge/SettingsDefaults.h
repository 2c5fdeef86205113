#pragma once

class QSettings;

// Every key of the tool's settings file with its default: each is read and
// written back at start, so that users find every key in the file.
class SettingsDefaults
{
public:
    static constexpr const char* kDefaultUpdateUrl = "http://update.vandrel.example/lumoran/";

    static void write(QSettings& _settings);
};
