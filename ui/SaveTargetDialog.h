#pragma once

#include "listing/ListingUi.h"

#include <QString>

#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

namespace zintrel {

class UserDialogs;

// The file-save dialog of a save (SaveDialog1): offers "Text File" and "PDF File", proposes
// "Zintrel1" the first time and then the last chosen name and type, starts in the folder
// being listed, and asks before an existing file is chosen.
class SaveTargetDialog {
public:
    SaveTargetDialog(UserDialogs& dialogs, QWidget* parent);
    ~SaveTargetDialog();

    // nullopt: cancelled. The name is the full path as chosen, not yet completed, in the
    // file system's bytes: a name chosen in a start folder whose bytes are no UTF-8 lies
    // in that very folder.
    std::optional<TargetChoice> ask(const QByteArray& startFolder);

private:
    UserDialogs& m_dialogs;
    QWidget* m_parent;
    std::unique_ptr<QFileDialog> m_dialog; // made at the first save
    QString m_lastName;
    int m_lastType = 0;
};

} // namespace zintrel
