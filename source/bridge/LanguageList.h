#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocale;
class QStringListModel;
class QTranslator;

// The languages of the language box: every "<name>_<language>_<COUNTRY>.qm"
// in the translation folder next to the executable, with its translator,
// and the one translator installed in the application.
class LanguageList : public QObject
{
    Q_OBJECT
public:
    explicit LanguageList(QObject* parent = nullptr);
    ~LanguageList() override;

    // Loads every translation of _folder; a file that does not load is logged and left out.
    void load(const QString& _folder);
    // The display names, in the order found; a name may appear twice.
    const QStringList& names() const { return m_names; }
    QStringListModel* model() const { return m_model; }
    // The short cut (such as de_DE) of a display name; empty when unknown.
    QString shortCut(const QString& _name) const;
    // The language for a locale: the first whose short cut has the locale's
    // language, preferring one that has its country too; else the first
    // English one; else the first found. Empty without languages.
    QString nameForLocale(const QLocale& _locale) const;
    // Installs the translator of _name in place of the current one. False,
    // with none installed, when _name is not in the list.
    bool install(const QString& _name);

private:
    void uninstall();

    QStringList m_files;
    QStringList m_names;
    QMap<QString, QTranslator*> m_translators;
    QTranslator* m_active = nullptr;
    QStringListModel* m_model = nullptr;
};
