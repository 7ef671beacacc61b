#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace zintrel {

class LinkLabel;
class ReportingShellOpen;
class ShellOpen;

// The About dialog: product name and version, the links to the product's pages, and Help
// (also F1). Created once at start; OK (Enter), Escape and the close box hide it and enable
// the main window again. When no program can open a page, a note in the dialog says so.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(QWidget& mainWindow, ShellOpen& shell);
    ~TfrmAbout() override;

public slots:
    void cmdOkClick();
    void FormClose();
    void cmdHelpClick();
    void Label6Click();
    void Label8Click();

protected:
    void reject() override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void openPage(const QString& fileOrAddress);
    void showNoProgramNote(const QString& fileOrAddress);

    QWidget& m_mainWindow;
    std::unique_ptr<ReportingShellOpen> m_shell;

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    LinkLabel* Label6;
    QLabel* Label5;
    LinkLabel* Label8;
    QPushButton* cmdHelp;
    QPushButton* cmdOk;
    QLabel* lblNote;
};

} // namespace zintrel
