#pragma once

#include "SaveProgressState.h"
#include "listing/ListingRun.h"
#include "listing/ListingUi.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QEventLoop;
class QWidget;

namespace zintrel {

class SaveProgressDialog;
class SaveTargetDialog;
class ShellOpen;
class UserDialogs;

// Runs the saves of the main window. The questions come first, on the window's thread; the
// listing itself is written on a worker thread while the window keeps painting, and a modal
// progress window with Cancel appears when a save takes longer than a moment. Errors and
// messages are modal boxes on the main window.
class SaveController : public QObject, public ListingUi {
    Q_OBJECT
public:
    // environment says what the saves write with (the PDF output among it); showTarget
    // receives the completed name for the main window's label.
    SaveController(QWidget& mainWindow, UserDialogs& dialogs, ShellOpen& shell, SaveTargetDialog& targetDialog,
                   SaveEnvironment environment, std::function<void(const QString&)> showTarget);
    ~SaveController() override;

    // One save of folder with options; returns when it is over and reported.
    SaveOutcome save(const ListingOptions& options, const std::string& folder);

    // Asks a running save to stop at its next entry.
    void cancel() { m_cancel.cancel(); }

    // What the saves write with; tests put their own clock or PDF output here.
    SaveEnvironment& environment() { return m_environment; }
    // How long a save runs before the progress window shows.
    void setProgressDelay(std::chrono::milliseconds delay) { m_progressDelay = delay; }
    SaveProgressDialog& progressDialog() { return *m_progress; }

    // ListingUi
    std::optional<TargetChoice> chooseTarget(const std::string& startFolder) override;
    bool confirmReplace(const std::string& path) override;
    void showMessage(const std::string& text) override;
    void showError(const std::string& text) override;
    void showTarget(const std::string& path) override;
    void openDocument(const std::string& path) override;
    void showUnreadableFolders(std::int64_t count, const std::vector<std::string>& firstFolders) override;

private:
    void waitForWorker();
    void workerFinished();

    QWidget& m_window;
    UserDialogs& m_dialogs;
    ShellOpen& m_shell;
    SaveTargetDialog& m_targetDialog;
    std::function<void(const QString&)> m_showTarget;

    SaveEnvironment m_environment;
    SaveProgressState m_progressState;
    std::unique_ptr<SaveProgressDialog> m_progress;
    std::chrono::milliseconds m_progressDelay{400};

    CancelToken m_cancel;
    bool m_workerDone = false;
    QEventLoop* m_waitLoop = nullptr;
};

} // namespace zintrel
