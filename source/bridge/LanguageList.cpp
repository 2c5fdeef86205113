#include "LanguageList.h"

#include <QCoreApplication>
#include <QDir>
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

QString LanguageList::shortCut(const QString& _name) const
{
    for (const QString& file : m_files) {
        const QStringList parts = file.split('_');
        if (parts.size() < 3 || parts.first() != _name)
            continue;
        QString last = parts.last();
        const int suffix = last.indexOf(".qm");
        if (suffix >= 0)
            last.truncate(suffix);
        return parts.at(parts.size() - 2) + "_" + last;
    }
    return QString();
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
