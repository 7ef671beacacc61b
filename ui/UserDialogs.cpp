#include "UserDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace zintrel {

namespace {

const QString kBoxTitle = QStringLiteral("Zintrel");

} // namespace

bool WidgetDialogs::runSaveDialog(QFileDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

bool WidgetDialogs::askYesNo(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, kBoxTitle, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void WidgetDialogs::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, kBoxTitle, text);
}

void WidgetDialogs::showError(QWidget* parent, const QString& text) { QMessageBox::critical(parent, kBoxTitle, text); }

std::optional<QColor> WidgetDialogs::chooseColor(QWidget* parent, const QColor& initial)
{
    QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

std::optional<QFont> WidgetDialogs::chooseFont(QWidget* parent, const QFont& initial)
{
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return chosen;
}

} // namespace zintrel
