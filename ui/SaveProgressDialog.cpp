#include "SaveProgressDialog.h"

#include "SaveProgressState.h"
#include "WindowLook.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

namespace zintrel {

namespace {

constexpr int kPollMs = 100;
const QSize kClientSize{400, 129};
const QString kCaption = QStringLiteral("Saving listing");
const QString kReading = QStringLiteral("Reading:");
const QString kDrawing = QStringLiteral("Drawing the PDF:");
const QString kFinishing = QStringLiteral("Encrypting and writing the PDF:");
const QString kCountsText = QStringLiteral("Folders: %1    Files: %2");
const QString kPageText = QStringLiteral("Page %1");
const QString kLineText = QStringLiteral("Line %1 of %2");
const QString kPagesText = QStringLiteral("%1 pages drawn");
// A progress bar counts in int; long listings are shown in steps of this many lines.
constexpr std::int64_t kBarSteps = 10000;
const QString kCancelText = QStringLiteral("Cancel");

} // namespace

SaveProgressDialog::SaveProgressDialog(const SaveProgressState& state, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(kCaption);
    makeFixedDialogFrame(*this, kClientSize);
    applyWindowBackground(*this);
    setModal(true);

    m_caption = new QLabel(kReading, this);
    m_caption->setObjectName(QStringLiteral("lblReading"));
    m_caption->setGeometry(12, 12, 376, 16);
    m_folder = new QLabel(this);
    m_folder->setObjectName(QStringLiteral("lblFolder"));
    m_folder->setGeometry(12, 30, 376, 16);
    m_folder->setTextFormat(Qt::PlainText);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("lblCounts"));
    m_counts->setGeometry(12, 52, 376, 16);
    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("barBusy"));
    m_busy->setGeometry(12, 74, 376, 12);
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_cancel = new QPushButton(kCancelText, this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->setGeometry(313, 96, 75, 25);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    // The main window's style sheet, set after this dialog is made, would give these controls
    // the application's font, which a desktop theme may change later: they hold the dialog's.
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        control->setFont(font());

    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &SaveProgressDialog::refresh);
}

void SaveProgressDialog::startPolling()
{
    refresh();
    m_poll.start();
}

void SaveProgressDialog::showEvent(QShowEvent* event)
{
    startPolling();
    QDialog::showEvent(event);
}

void SaveProgressDialog::hideEvent(QHideEvent* event)
{
    m_poll.stop();
    QDialog::hideEvent(event);
}

void SaveProgressDialog::refresh()
{
    QLocale locale;
    auto number = [&locale](std::int64_t value) { return locale.toString(static_cast<qlonglong>(value)); };
    switch (m_state.phase()) {
    case SaveProgressState::Phase::Reading:
        m_caption->setText(kReading);
        // A deep path is shortened in its middle so both its start and the folder's name show.
        m_folder->setText(m_folder->fontMetrics().elidedText(m_state.folder(), Qt::ElideMiddle, m_folder->width()));
        m_counts->setText(kCountsText.arg(number(m_state.folders()), number(m_state.files())));
        m_busy->setRange(0, 0);
        break;
    case SaveProgressState::Phase::Drawing: {
        m_caption->setText(kDrawing);
        m_folder->setText(kPageText.arg(number(m_state.page())));
        const std::int64_t lines = std::max<std::int64_t>(1, m_state.lines());
        const std::int64_t line = std::min(m_state.line(), lines);
        m_counts->setText(kLineText.arg(number(line), number(lines)));
        m_busy->setRange(0, static_cast<int>(kBarSteps));
        m_busy->setValue(static_cast<int>(line * kBarSteps / lines));
        break;
    }
    case SaveProgressState::Phase::Finishing:
        m_caption->setText(kFinishing);
        m_folder->setText(kPagesText.arg(number(m_state.page())));
        m_counts->setText(kCountsText.arg(number(m_state.folders()), number(m_state.files())));
        m_busy->setRange(0, 0);
        break;
    }
}

} // namespace zintrel
