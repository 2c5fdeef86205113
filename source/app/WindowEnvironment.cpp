#include "WindowEnvironment.h"

#include <QGuiApplication>
#include <QIcon>
#include <QQmlEngine>

#include "QuickItemAccessible.h"
#include "bridge/CProg2Gui.h"

void WindowEnvironment::prepareProcess()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
}

void WindowEnvironment::prepareApplication()
{
    // Every size the icon file holds, for the title bar and the task switcher.
    QGuiApplication::setWindowIcon(QIcon(":/pic/tarn_icon.ico"));
    QuickItemAccessible::install();
    qmlRegisterType<CProg2Gui>("cpp.qml.interface", 1, 0, "CppQmlIf");
}
