#pragma once

#include <QObject>

class CProg2Gui;
class FirmwareUpdateFileModel;
class QQuickItem;
class WindowHarness;

// The real window on its real bridge: what it shows follows the bridge, and
// what the user does reaches the bridge.
class tst_Window : public QObject
{
    Q_OBJECT
private slots:
    void loadsCleanWithEveryNamedControl_data();
    void loadsCleanWithEveryNamedControl();
    void buttonsFollowTheBridge();
    void pendingToolUpdateBlinksFromTheStart();
    void allFilesBox_data();
    void allFilesBox();
    void rowSelectionPicture_data();
    void rowSelectionPicture();
    void languageBox_data();
    void languageBox();
    void switchingToGermanChangesTheTexts();
    void deviceProgressTimerStopsWhenTheRunEnds();
    void stickUpdateProgress();
    void programInformationAndErrorDialogs();
    void keyboardWorksTheWindow();
    void portHeldByAnotherProgram();
    void screenReaderReadsTheWindow_data();
    void screenReaderReadsTheWindow();

private:
    // Two firmware rows with a pending update (types 1 and 4) and one without (type 2).
    static void addFirmwareRows(CProg2Gui* _bridge);
    static int selectedCount(CProg2Gui* _bridge);
    static int rowOf(FirmwareUpdateFileModel* _model, quint16 _devType);
    static QQuickItem* selectionCell(const WindowHarness& _harness, int _row);
};
