#include "SaveController.h"

#include "SaveProgressDialog.h"
#include "SaveTargetDialog.h"
#include "UserDialogs.h"
#include "platform/ShellOpen.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <thread>

namespace zintrel {

namespace {

const QString kReplaceQuestion = QStringLiteral("%1 already exists.\nDo you want to replace it?");
const QString kUnreadableFolders
    = QStringLiteral("The listing is saved, but %1 folder(s) in it could not be read, so what they hold is missing:");
const QString kMoreUnreadable = QStringLiteral("and %1 more.");

QString fromLocal(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

} // namespace

SaveController::SaveController(QWidget& mainWindow, UserDialogs& dialogs, ShellOpen& shell,
                               SaveTargetDialog& targetDialog, SaveEnvironment environment,
                               std::function<void(const QString&)> showTarget)
    : m_window(mainWindow)
    , m_dialogs(dialogs)
    , m_shell(shell)
    , m_targetDialog(targetDialog)
    , m_showTarget(std::move(showTarget))
    , m_environment(std::move(environment))
    , m_progress(std::make_unique<SaveProgressDialog>(m_progressState, &mainWindow))
{
}

SaveController::~SaveController() = default;

SaveOutcome SaveController::save(const ListingOptions& options, const std::string& folder)
{
    m_cancel.reset();
    std::optional<SavePlan> plan = ListingRun::prepare(options, folder, m_environment, *this);
    if (!plan)
        return SaveOutcome::Stopped;

    SaveOutcome outcome = SaveOutcome::Saved;
    std::string errorText;
    SaveResult result;
    m_progressState.reset();
    m_workerDone = false;
    std::thread worker([&] {
        outcome = outcomeOf(
            [&] { result = ListingRun::execute(*plan, m_environment, *this, &m_progressState, m_cancel); }, errorText);
        QMetaObject::invokeMethod(this, &SaveController::workerFinished, Qt::QueuedConnection);
    });
    waitForWorker();
    worker.join();

    switch (outcome) {
    case SaveOutcome::Saved:
        ListingRun::finish(*plan, result, *this);
        break;
    case SaveOutcome::Failed:
        showError(errorText);
        break;
    case SaveOutcome::Cancelled:
    case SaveOutcome::Stopped:
        break;
    }
    return outcome;
}

void SaveController::waitForWorker()
{
    // Until the progress window is up, the window's own input waits; posted calls from the
    // worker (its messages, its end) still run.
    QEventLoop loop;
    m_waitLoop = &loop;
    QTimer delay;
    delay.setSingleShot(true);
    connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(m_progressDelay);
    if (!m_workerDone)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!m_workerDone) {
        // Modal: input meant for the main window meanwhile is dropped, not replayed later.
        m_progress->exec();
        if (!m_workerDone) {
            m_cancel.cancel();
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
    }
    m_waitLoop = nullptr;
}

void SaveController::workerFinished()
{
    m_workerDone = true;
    if (m_progress->isVisible())
        m_progress->accept();
    if (m_waitLoop)
        m_waitLoop->quit();
}

std::optional<TargetChoice> SaveController::chooseTarget(const std::string& startFolder)
{
    return m_targetDialog.ask(QByteArray::fromStdString(startFolder));
}

bool SaveController::confirmReplace(const std::string& path)
{
    return m_dialogs.askYesNo(&m_window, kReplaceQuestion.arg(fromLocal(path)));
}

void SaveController::showMessage(const std::string& text)
{
    QString message = QString::fromStdString(text);
    if (QThread::currentThread() == thread()) {
        m_dialogs.showMessage(&m_window, message);
        return;
    }
    // From the worker: the box belongs to the window's thread, and the save waits for it.
    QMetaObject::invokeMethod(
        this, [this, message] { m_dialogs.showMessage(&m_window, message); }, Qt::BlockingQueuedConnection);
}

void SaveController::showError(const std::string& text)
{
    m_dialogs.showError(&m_window, QString::fromStdString(text));
}

void SaveController::showTarget(const std::string& path)
{
    if (m_showTarget)
        m_showTarget(fromLocal(path));
}

void SaveController::showUnreadableFolders(std::int64_t count, const std::vector<std::string>& firstFolders)
{
    QStringList lines;
    for (const std::string& folder : firstFolders)
        lines << fromLocal(folder);
    QString text = kUnreadableFolders.arg(count) + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    if (count > static_cast<std::int64_t>(firstFolders.size()))
        text += QLatin1Char('\n') + kMoreUnreadable.arg(count - static_cast<std::int64_t>(firstFolders.size()));
    m_dialogs.showMessage(&m_window, text);
}

void SaveController::openDocument(const std::string& path) { m_shell.openFile(QByteArray::fromStdString(path)); }

} // namespace zintrel
