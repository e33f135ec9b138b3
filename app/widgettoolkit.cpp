#include "widgettoolkit.h"

#include "savefilter.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTime>
#include <QTranslator>
#include <QUrl>

bool InstallQtChineseTexts(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

namespace {

QMessageBox::StandardButtons standardButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

MsgResult resultOf(int button)
{
    switch (button) {
    case QMessageBox::Ok:
        return MsgResult::Ok;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    default:
        return MsgResult::Cancel;
    }
}

} // namespace

void WidgetToolkit::DoEvents()
{
    events_.turn();
}

double WidgetToolkit::Timer() const
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

MsgResult WidgetToolkit::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title)
{
    QMessageBox box(boxIcon(icon), title, text, standardButtons(buttons), QApplication::activeWindow());
    return resultOf(box.exec());
}

QString WidgetToolkit::InputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok) {
        return QString();
    }
    // An empty entry is told apart from a cancel: it is an empty text, not a null one.
    return text.isNull() ? QStringLiteral("") : text;
}

QString WidgetToolkit::SaveFileName(const QString& title, const QString& filter, const QString& defaultExt,
                                    const QString& defaultName)
{
    // The filter comes as "description|pattern" pairs and the extension as "*.ext".
    QFileDialog dialog(QApplication::activeWindow(), title, QString(), QtNameFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(SuffixOf(defaultExt));
    if (!defaultName.isEmpty()) {
        dialog.selectFile(defaultName);
    }
    // Where several formats are offered, the one chosen gives a name typed without extension its own.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& nameFilter) {
        const QString pattern = nameFilter.section(u'(', -1).section(u')', 0, 0).section(u' ', 0, 0);
        dialog.setDefaultSuffix(SuffixOf(pattern));
    });
    // The callers ask their own overwrite question; the dialog must not ask it a second time.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    // A desktop's own dialog may hand the name back as typed.
    return WithDefaultExtension(dialog.selectedFiles().first(), defaultExt);
}

void WidgetToolkit::OpenUrl(const QString& address, const std::function<void()>& failed)
{
    // An address with a scheme ("https:", "file:") as it is; anything else is a path on this machine.
    // A one-letter scheme is a Windows drive.
    QUrl url(address);
    if (!url.isValid() || url.scheme().size() <= 1) {
        url = QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath());
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt hands the address to xdg-open and calls it done once xdg-open has started; only xdg-open's exit
    // tells whether any program took it (2: no such file, 3: no tool for it, 4: the program failed).
    if (const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open")); !opener.isEmpty()) {
        auto* process = new QProcess(qApp);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        QObject::connect(process, &QProcess::finished, process,
                         [process, failed](int code, QProcess::ExitStatus status) {
                             process->deleteLater();
                             if (status == QProcess::NormalExit && code >= 2 && code <= 4 && failed) {
                                 failed();
                             }
                         });
        QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                process->deleteLater();
                if (failed) {
                    failed();
                }
            }
        });
        process->start(opener, {url.toString(QUrl::FullyEncoded)});
        return;
    }
#endif
    if (!QDesktopServices::openUrl(url) && failed) {
        failed();
    }
}

void WidgetToolkit::RunCommand(const QString& program, const QStringList& arguments)
{
    QProcess::startDetached(program, arguments);
}

void WidgetToolkit::SetBusy(bool busy)
{
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}
