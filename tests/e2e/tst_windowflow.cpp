#include <QQuickWindow>
#include <QtTest>

#include "EndToEndRig.h"
#include "StickSimulator.h"
#include "WindowDriver.h"
#include "bridge/CProg2Gui.h"
#include "link/StickInterface.h"
#include "version.h"

namespace {
constexpr int kConnectMs = 10000;
} // namespace

// The real window, offscreen, with its bridge against the simulated stick
// and the update server.
class tst_WindowFlow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowFindsTheStick();

private:
    std::unique_ptr<EndToEndRig> m_rig;
    std::unique_ptr<WindowDriver> m_driver;
};

void tst_WindowFlow::initTestCase()
{
    // As the entry point names the application; the window keeps its
    // geometry under these names.
    QCoreApplication::setOrganizationName(LUMORAN_ORGANISATION_NAME);
    QCoreApplication::setApplicationName(LUMORAN_APPLICATION_NAME);
}

void tst_WindowFlow::init()
{
    if (!EndToEndRig::canVerifyDevelopmentContent())
        QSKIP("this build embeds a release key; content signed with the development key cannot verify");
    m_rig = std::make_unique<EndToEndRig>();
    QVERIFY2(m_rig->error().isEmpty(), qPrintable(m_rig->error()));
    m_driver = std::make_unique<WindowDriver>();
}

void tst_WindowFlow::cleanup()
{
    // The window owns the bridge, which must go before the simulator.
    m_driver.reset();
    m_rig.reset();
}

void tst_WindowFlow::windowFindsTheStick()
{
    EndToEndRig& rig = *m_rig;
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario({EndToEndRig::device(0x1a2b, 1, "1.0.0")})),
             qPrintable(rig.error()));
    QString error;
    QVERIFY2(m_driver->load(&error), qPrintable(error));
    QVERIFY(m_driver->bridge());
    rig.adoptTool(m_driver->bridge());

    QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kConnectMs);
    QCOMPARE(rig.simulator()->counters().connects, 1);
    const QString picture = QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath("window.png");
    QVERIFY(m_driver->grab(picture));
    QVERIFY(QFile::remove(picture));
}

QTEST_MAIN(tst_WindowFlow)
#include "tst_windowflow.moc"
