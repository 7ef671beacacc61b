#pragma once

#include "platform/ShellOpen.h"

#include <functional>

namespace zintrel {

// Passes files and addresses on to another ShellOpen and tells a window, by the name the
// user knows, each one that no program took. Both must outlive it.
class ReportingShellOpen : public ShellOpen {
public:
    using Report = std::function<void(const QString& fileOrAddress)>;
    ReportingShellOpen(ShellOpen& shell, Report noProgram);

    bool open(const QString& fileOrAddress) override;
    bool openFile(const QByteArray& path) override;

private:
    ShellOpen& m_shell;
    Report m_noProgram;
};

} // namespace zintrel
