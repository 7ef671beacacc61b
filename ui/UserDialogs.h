#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

class QFileDialog;
class QWidget;

namespace zintrel {

// The modal dialogs and message boxes the windows show. The program answers with Qt's
// dialogs; tests answer on their own, so none of them blocks in exec().
class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // Runs the prepared file-save dialog; true when the user chose a file.
    virtual bool runSaveDialog(QFileDialog& dialog) = 0;
    // A yes/no question; true for yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // nullopt: cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
};

class WidgetDialogs : public UserDialogs {
public:
    bool runSaveDialog(QFileDialog& dialog) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    void showMessage(QWidget* parent, const QString& text) override;
    void showError(QWidget* parent, const QString& text) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
};

} // namespace zintrel
