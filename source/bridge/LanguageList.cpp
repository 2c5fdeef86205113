#include "LanguageList.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStringListModel>
#include <QTranslator>

#include "common/log.h"

LanguageList::LanguageList(QObject* parent) : QObject(parent), m_model(new QStringListModel(this))
{}

LanguageList::~LanguageList()
{
    uninstall();
}

void LanguageList::load(const QString& _folder)
{
    const QDir folder(_folder);
    const QString folderPath = folder.absolutePath();
    LOG(lcBridge, folderPath);

    QStringList files;
    if (folder.exists())
        files = folder.entryList(QStringList{"*.qm"}, QDir::Files | QDir::NoSymLinks, QDir::NoSort);
    for (const QString& file : files) {
        auto* translator = new QTranslator(this);
        if (translator->load(file, folderPath)) {
            m_files.append(file);
            m_translators.insert(file, translator);
            m_names.append(file.split('_').first());
        } else {
            LOG(lcBridge, QString("translator error on '%1'").arg(file));
            delete translator;
        }
    }
    m_model->setStringList(m_names);
}

namespace {
// "<name>_<language>_<COUNTRY>.qm" gives "<language>_<COUNTRY>"; empty for other names.
QString fileShortCut(const QString& _file)
{
    const QStringList parts = _file.split('_');
    if (parts.size() < 3)
        return QString();
    QString last = parts.last();
    const int suffix = last.indexOf(".qm");
    if (suffix >= 0)
        last.truncate(suffix);
    return parts.at(parts.size() - 2) + "_" + last;
}
} // namespace

QString LanguageList::shortCut(const QString& _name) const
{
    for (const QString& file : m_files) {
        if (file.split('_').first() == _name && file.split('_').size() >= 3)
            return fileShortCut(file);
    }
    return QString();
}

QString LanguageList::nameForLocale(const QLocale& _locale) const
{
    int sameLanguage = -1;
    int english = -1;
    for (int i = 0; i < m_names.size(); ++i) {
        const QString cut = fileShortCut(m_files.at(i));
        if (cut.isEmpty())
            continue;
        const QLocale locale(cut);
        if (locale.language() == _locale.language()) {
            if (locale.country() == _locale.country())
                return m_names.at(i);
            if (sameLanguage < 0)
                sameLanguage = i;
        }
        if (locale.language() == QLocale::English && english < 0)
            english = i;
    }
    if (sameLanguage >= 0)
        return m_names.at(sameLanguage);
    return m_names.value(english >= 0 ? english : 0);
}

bool LanguageList::install(const QString& _name)
{
    uninstall();
    const int index = m_names.indexOf(_name);
    if (index < 0)
        return false;
    // With two files of one name, the first one found wins.
    if (QTranslator* translator = m_translators.value(m_files.at(index))) {
        QCoreApplication::installTranslator(translator);
        m_active = translator;
    }
    return true;
}

void LanguageList::uninstall()
{
    if (m_active && QCoreApplication::instance())
        QCoreApplication::removeTranslator(m_active);
    m_active = nullptr;
}
