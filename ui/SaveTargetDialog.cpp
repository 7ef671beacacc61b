#include "SaveTargetDialog.h"

#include "UserDialogs.h"
#include "listing/OutputFormats.h"
#include "platform/FileDescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <fcntl.h>

namespace zintrel {

namespace {

const QString kFirstName = QStringLiteral("Zintrel1");
const QString kCaption = QStringLiteral("Save As");

// The file types, in the order of the formats.
QStringList fileTypes()
{
    QStringList types;
    for (const OutputFormat& format : outputFormats())
        types << QString::fromLatin1(format.dialogFilter);
    return types;
}

} // namespace

SaveTargetDialog::SaveTargetDialog(UserDialogs& dialogs, QWidget* parent)
    : m_dialogs(dialogs)
    , m_parent(parent)
    , m_lastName(kFirstName)
{
}

SaveTargetDialog::~SaveTargetDialog() = default;

std::optional<TargetChoice> SaveTargetDialog::ask(const QByteArray& startFolder)
{
    if (!m_dialog) {
        m_dialog = std::make_unique<QFileDialog>(m_parent, kCaption);
        m_dialog->setObjectName(QStringLiteral("SaveDialog1"));
        // Qt's own dialog looks and behaves the same on every desktop and under test.
        m_dialog->setOption(QFileDialog::DontUseNativeDialog);
        m_dialog->setAcceptMode(QFileDialog::AcceptSave);
        m_dialog->setFileMode(QFileDialog::AnyFile);
        m_dialog->setNameFilters(fileTypes());
    }
    QFileDialog& dialog = *m_dialog;
    // The dialog knows folders only as text. A folder whose bytes are no UTF-8 has no text
    // that names it, so the dialog is shown it through the name the kernel keeps for an
    // open folder, and a file chosen there is given the folder's own bytes.
    QString shownFolder = QFile::decodeName(startFolder);
    FileDescriptor alias;
    if (QFile::encodeName(shownFolder) != startFolder) {
        alias.reset(::open(startFolder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (alias)
            shownFolder = QStringLiteral("/proc/self/fd/%1").arg(alias.get());
    }
    dialog.setDirectory(shownFolder);
    const QStringList types = fileTypes();
    dialog.selectNameFilter(types.value(m_lastType));
    dialog.selectFile(m_lastName);
    if (!m_dialogs.runSaveDialog(dialog))
        return std::nullopt;

    QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return std::nullopt;
    int type = static_cast<int>(std::max<qsizetype>(0, types.indexOf(dialog.selectedNameFilter())));
    m_lastType = type;
    m_lastName = QFileInfo(files.first()).fileName();
    QFileInfo chosen(files.first());
    QByteArray path = QFile::encodeName(files.first());
    if (chosen.absolutePath() == QDir::cleanPath(shownFolder))
        path = startFolder + (startFolder.endsWith('/') ? "" : "/") + QFile::encodeName(chosen.fileName());
    return TargetChoice{path.toStdString(), outputFormats()[static_cast<std::size_t>(type)].type};
}

} // namespace zintrel
