#include "TfrmAbout.h"

#include "HelpFile.h"
#include "LinkLabel.h"
#include "Resources.h"
#include "WindowLook.h"
#include "platform/ShellOpen.h"
#include "platform/WebAddresses.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

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
const QColor kLinkColor{0, 0, 128};
const QRect kBannerRect{77, 3, 246, 41};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    placeAutoSizeLabel(*label, x, y);
    return label;
}

LinkLabel* makeLink(QWidget* parent, const char* name, const char* address, int x, int y)
{
    auto* link = new LinkLabel(QString::fromLatin1(address), parent);
    link->setObjectName(QString::fromLatin1(name));
    QFont font = link->font();
    font.setBold(true);
    link->setFont(font);
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, kLinkColor);
    link->setPalette(palette);
    link->setToolTip(kLinkHint);
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
    , m_shell(shell)
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
    Label1 = makeLabel(this, "Label1", kProductText, 156, 47);
    Label2 = makeLabel(this, "Label2", kNoticeLine1, 123, 63);
    Label3 = makeLabel(this, "Label3", kNoticeLine2, 152, 79);
    Label4 = makeLabel(this, "Label4", kWebsiteCaption, 38, 96);
    Label6 = makeLink(this, "Label6", kProductHomePage, 91, 96);
    Label5 = makeLabel(this, "Label5", kSupportCaption, 38, 112);
    Label8 = makeLink(this, "Label8", kProductSupportPage, 91, 112);
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

    widenCutCaptions(*this);
    FormCreate();
}

void TfrmAbout::FormCreate()
{
    centreOnScreen(*this);
    applyWindowBackground(*this);
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    cmdOk->setFocus();
}

void TfrmAbout::cmdOkClick()
{
    m_mainWindow.setEnabled(true);
    hide();
}

void TfrmAbout::FormClose() { m_mainWindow.setEnabled(true); }

void TfrmAbout::reject()
{
    FormClose();
    QDialog::reject();
}

void TfrmAbout::cmdHelpClick() { m_shell.open(helpFilePath()); }

void TfrmAbout::Label6Click() { m_shell.open(QString::fromLatin1(kProductHomePage)); }

void TfrmAbout::Label8Click() { m_shell.open(QString::fromLatin1(kProductSupportPage)); }

} // namespace zintrel
