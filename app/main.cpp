#include "appicon.h"
#include "configstore.h"
#include "desktopcommands.h"
#include "historydb.h"
#include "homefolder.h"
#include "maintexts.h"
#include "mainwindow.h"
#include "networkprober.h"
#include "runrecorder.h"
#include "singleinstance.h"
#include "widgettoolkit.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    HomeFolder::FillIn(); // before Qt or the settings ask for a folder
    QApplication app(argc, argv);
    QApplication::setApplicationName(MainText::appTitle());
    ApplyDesktopIdentity();
    if (!InstallQtChineseTexts(app)) {
        qWarning("Qt's Chinese translations (qtbase_zh_CN.qm) are not installed: standard buttons stay English");
    }
    WidgetToolkit toolkit;

    SingleInstance instance;
    if (!instance.acquire()) {
        toolkit.MsgBox(MainText::alreadyRunning(), MsgButtons::Ok, MsgIcon::Information, MainText::notice());
        return 0;
    }
    ConfigStore config;
    MainWindow window(toolkit, config, [] { return MakeNetworkProber(); });
    DesktopCommands commands(toolkit, window.store());
    window.setWebCommands(&commands);
    window.load();
    // Declared after the window: the recorder reads its store and must go first.
    HistoryDb history;
    RunRecorder recorder(history, window.store(), window.run());
    window.setHistory(&history, &recorder);
    window.show();
    return QApplication::exec();
}
