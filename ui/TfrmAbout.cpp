#include "TfrmAbout.h"

#include "HelpFile.h"
#include "LinkLabel.h"
#include "ReportingShellOpen.h"
#include "Resources.h"
#include "WindowLook.h"
#include "platform/ShellOpen.h"
#include "platform/WebAddresses.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

namespace zintrel {

namespace {

const QSize kClientSize{400, 273};
const QString kCaption = QStringLiteral("About Zintrel");
const QString kProductText = QStringLiteral("Zintrel v2.0");
const QString kNoticeLine1 = QStringLiteral("Copyright (c) The Zintrel authors");
const QString kNoticeLine2 = QStringLiteral("Free to use and share");
const QString kWebsiteCaption = QStringLiteral("Website:");
const QString kSupportCaption = QStringLiteral("Support:");
const QString kLinkHint = QStringLiteral("Click to open !");
const QString kHelpText = QStringLiteral("Help");
const QString kOkText = QStringLiteral("OK");
const QString kNoProgramNote = QStringLiteral("No program could open %1");
const QColor kLinkColor{0, 0, 128};
const QColor kNoteColor{128, 0, 0};
const QRect kBannerRect{77, 3, 246, 41};
const QRect kNoteRect{38, 136, 324, 40};
// A link ends this far from the dialog's right edge at most; a longer one is shortened.
constexpr int kLinkRightMargin = 8;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    placeAutoSizeLabel(*label, x, y);
    return label;
}

// A line under the banner, centred on the dialog: the label keeps its left edge and is as
// wide again to the right of the middle as it stands to the left, where its text fits that.
QLabel* makeCentredLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    QLabel* label = makeLabel(parent, name, text, x, y);
    int symmetric = 2 * (parent->width() / 2 - x);
    if (label->width() <= symmetric) {
        label->resize(symmetric, label->height());
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    return label;
}

LinkLabel* makeLink(QWidget* parent, const char* name, const QString& address, int x, int y)
{
    auto* link = new LinkLabel(address, parent);
    link->setObjectName(QString::fromLatin1(name));
    QFont font = link->font();
    font.setBold(true);
    link->setFont(font);
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, kLinkColor);
    link->setPalette(palette);
    link->setToolTip(kLinkHint);
    link->setAccessibleDescription(address);
    link->setRightMargin(kLinkRightMargin);
    placeAutoSizeLabel(*link, x, y);
    return link;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect rect)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    return button;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget& mainWindow, ShellOpen& shell)
    : QDialog(nullptr)
    , m_mainWindow(mainWindow)
    , m_shell(std::make_unique<ReportingShellOpen>(
          shell, [this](const QString& fileOrAddress) { showNoProgramNote(fileOrAddress); }))
{
    loadResources();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(kCaption);
    makeFixedDialogFrame(*this, kClientSize);
    setModal(false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(kBannerRect);
    Image1->setPixmap(QIcon(QStringLiteral(":/icons/banner.svg")).pixmap(kBannerRect.size()));
    Label1 = makeCentredLabel(this, "Label1", kProductText, 156, 47);
    Label2 = makeCentredLabel(this, "Label2", kNoticeLine1, 123, 63);
    Label3 = makeCentredLabel(this, "Label3", kNoticeLine2, 152, 79);
    Label4 = makeLabel(this, "Label4", kWebsiteCaption, 38, 96);
    Label6 = makeLink(this, "Label6", helpPageAddress(kProgramSection), 91, 96);
    Label5 = makeLabel(this, "Label5", kSupportCaption, 38, 112);
    Label8 = makeLink(this, "Label8", helpPageAddress(kSupportSection), 91, 112);
    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setTextFormat(Qt::PlainText);
    lblNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblNote->setWordWrap(true);
    lblNote->setGeometry(kNoteRect);
    QPalette notePalette = lblNote->palette();
    notePalette.setColor(QPalette::WindowText, kNoteColor);
    lblNote->setPalette(notePalette);
    lblNote->hide();
    // OK first in the tab order, and the button Enter presses.
    cmdOk = makeButton(this, "cmdOk", kOkText, {288, 232, 75, 25});
    cmdHelp = makeButton(this, "cmdHelp", kHelpText, {32, 232, 75, 25});
    cmdOk->setDefault(true);
    cmdHelp->setAutoDefault(false);
    setTabOrder(cmdOk, cmdHelp);

    connect(cmdOk, &QPushButton::clicked, this, &TfrmAbout::cmdOkClick);
    connect(cmdHelp, &QPushButton::clicked, this, &TfrmAbout::cmdHelpClick);
    connect(Label6, &LinkLabel::clicked, this, &TfrmAbout::Label6Click);
    connect(Label8, &LinkLabel::clicked, this, &TfrmAbout::Label8Click);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &TfrmAbout::cmdHelpClick);

    widenCutCaptions(*this);
    FormCreate();
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::FormCreate()
{
    centreOnScreen(*this);
    applyWindowBackground(*this);
    fitOnScreen(*this, availableClientSize());
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    cmdOk->setFocus();
}

void TfrmAbout::cmdOkClick()
{
    m_mainWindow.setEnabled(true);
    lblNote->hide();
    hide();
}

void TfrmAbout::FormClose()
{
    m_mainWindow.setEnabled(true);
    lblNote->hide();
}

void TfrmAbout::reject()
{
    FormClose();
    QDialog::reject();
}

void TfrmAbout::openPage(const QString& fileOrAddress)
{
    lblNote->hide();
    m_shell->open(fileOrAddress);
}

void TfrmAbout::showNoProgramNote(const QString& fileOrAddress)
{
    // Here, where it was asked for: the main window behind waits until the dialog closes.
    lblNote->setText(kNoProgramNote.arg(fileOrAddress));
    lblNote->setToolTip(fileOrAddress);
    lblNote->show();
}

void TfrmAbout::cmdHelpClick() { openPage(helpFilePath()); }

void TfrmAbout::Label6Click() { openPage(helpPageAddress(kProgramSection)); }

void TfrmAbout::Label8Click() { openPage(helpPageAddress(kSupportSection)); }

} // namespace zintrel
