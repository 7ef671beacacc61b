// Zintrel: writes a listing of a folder tree as a text file or a PDF.

#include "Resources.h"
#include "StartFolder.h"
#include "TForm1.h"
#include "TfrmAbout.h"
#include "TfrmOptions.h"
#include "UserDialogs.h"
#include "WindowLook.h"
#include "pdf/ListingPdfOutput.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFont>
#include <QIcon>
#include <QStyleFactory>
#include <QTimer>

#include <clocale>

using namespace zintrel;

namespace {

// The folder argument as the file system spells it: Qt decodes arguments with the locale,
// which cannot hold every name, so it is found again among the raw ones.
QByteArray rawArgument(const QString& decoded, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (QFile::decodeName(argv[i]) == decoded)
            return argv[i];
    return QFile::encodeName(decoded);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt takes the whole locale from the environment; dates in listings follow the user's
    // LC_TIME, while numbers stay in the classic form whatever LC_NUMERIC says.
    std::setlocale(LC_TIME, "");
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Zintrel"));
    QApplication::setApplicationVersion(QStringLiteral(ZINTREL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("zintrel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a listing of a folder tree."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("The folder to start on (a path or a file:// address); "
                                                "the current folder when none is given."),
                                 QStringLiteral("[folder]"));
    parser.process(app);
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1)
        parser.showHelp(2);
    StartFolder start;
    if (!folders.isEmpty())
        start = resolveStartFolder(rawArgument(folders.front(), argc, argv));
    loadResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zintrel.svg")));
    // One look on every desktop: the windows are laid out to the pixel.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    registerFontSubstitutes();
    QApplication::setFont(QFont(QString::fromLatin1(kWindowFontFace), kWindowFontPoints));

    WidgetDialogs dialogs;
    DesktopShellOpen shell;
    ListingPdfMaker pdfOutput;
    TForm1 Form1(dialogs, shell, &pdfOutput, start.folder);
    TfrmOptions frmOptions(Form1, dialogs);
    TfrmAbout frmAbout(Form1, shell);
    Form1.attachDialogs(frmOptions, frmAbout);
    Form1.show();
    if (!start.problem.isEmpty())
        QTimer::singleShot(0, &Form1, [&] { dialogs.showError(&Form1, start.problem); });
    return app.exec();
}
