#include "ReportingShellOpen.h"

#include "FolderReading.h"

namespace zintrel {

ReportingShellOpen::ReportingShellOpen(ShellOpen& shell, Report noProgram)
    : m_shell(shell)
    , m_noProgram(std::move(noProgram))
{
}

bool ReportingShellOpen::open(const QString& fileOrAddress)
{
    bool taken = m_shell.open(fileOrAddress);
    if (!taken)
        m_noProgram(fileOrAddress);
    return taken;
}

bool ReportingShellOpen::openFile(const QByteArray& path)
{
    bool taken = m_shell.openFile(path);
    if (!taken)
        m_noProgram(shownName(path));
    return taken;
}

} // namespace zintrel
