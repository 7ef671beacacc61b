#pragma once

#include "UserDialogs.h"
#include "platform/ShellOpen.h"

#include <QColor>
#include <QFont>
#include <QStringList>
#include <QThread>

#include <deque>
#include <functional>
#include <optional>

class QFileDialog;

namespace zintrel::test {

// Answers the windows' dialogs from queues and records every question.
class FakeDialogs : public UserDialogs {
public:
    bool runSaveDialog(QFileDialog& dialog) override
    {
        ++saveDialogRuns;
        return onSaveDialog ? onSaveDialog(dialog) : false;
    }
    bool askYesNo(QWidget*, const QString& text) override
    {
        questions << text;
        return yesAnswer;
    }
    void showMessage(QWidget*, const QString& text) override
    {
        messages << text;
        messageThreads << QThread::currentThread();
    }
    void showError(QWidget*, const QString& text) override { errors << text; }
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial) override
    {
        colorDialogOpenedOn << initial;
        if (colorAnswers.empty())
            return std::nullopt;
        std::optional<QColor> answer = colorAnswers.front();
        colorAnswers.pop_front();
        return answer;
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial) override
    {
        fontDialogOpenedOn << initial;
        if (fontAnswers.empty())
            return std::nullopt;
        std::optional<QFont> answer = fontAnswers.front();
        fontAnswers.pop_front();
        return answer;
    }

    std::function<bool(QFileDialog&)> onSaveDialog;
    int saveDialogRuns = 0;
    bool yesAnswer = true;
    QStringList questions;
    QStringList messages;
    QList<QThread*> messageThreads;
    QStringList errors;
    std::deque<std::optional<QColor>> colorAnswers;
    QList<QColor> colorDialogOpenedOn;
    std::deque<std::optional<QFont>> fontAnswers;
    QList<QFont> fontDialogOpenedOn;
};

// Records what would have been handed to the desktop, and answers as a desktop with or
// without programs to open it.
class FakeShell : public ShellOpen {
public:
    bool open(const QString& fileOrAddress) override
    {
        opened << fileOrAddress;
        return hasPrograms;
    }
    bool openFile(const QByteArray& path) override
    {
        opened << QString::fromUtf8(path);
        openedFiles << path;
        return hasPrograms;
    }
    bool hasPrograms = true;
    QStringList opened;
    QList<QByteArray> openedFiles;
};

} // namespace zintrel::test
