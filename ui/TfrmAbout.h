#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace zintrel {

class LinkLabel;
class ShellOpen;

// The About dialog: product name and version, the links to the product's pages, and Help.
// Created once at start; OK and the close box hide it and enable the main window again.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(QWidget& mainWindow, ShellOpen& shell);

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

    QWidget& m_mainWindow;
    ShellOpen& m_shell;

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
};

} // namespace zintrel
