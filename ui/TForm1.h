#pragma once

#include "listing/ListingOptions.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListView;
class QToolButton;
class QTreeView;

namespace zintrel {

class ElidedLabel;
class FileListModel;
class FolderTreeModel;
class FolderWatcher;
class MountWatcher;
class OutputMaker;
class ReportingShellOpen;
class SaveController;
class SaveTargetDialog;
class ShellOpen;
class TfrmAbout;
class TfrmOptions;
class UserDialogs;

// The main window: the volume list, the folder tree and the file list that follow one
// another, the two options of its own, the path of the folder a save lists and of the file
// last saved, and the button row (Settings, Save, Help, About, web site). It may be made
// larger (the tree and the file list grow with it), and the keyboard reaches everything:
// Tab, and Ctrl+S, Ctrl+comma, F1 and Ctrl+Q for Save, Settings, Help and quitting. When no
// program can open a file or an address, a note in the window says so.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    // pdfOutput: what PDF saves are written with; null refuses them. startFolder: the full
    // path of the folder the window starts on; empty for the current folder.
    TForm1(UserDialogs& dialogs, ShellOpen& shell, const OutputMaker* pdfOutput, const QByteArray& startFolder = {});
    ~TForm1() override;

    // The two dialogs, created after this window.
    void attachDialogs(TfrmOptions& options, TfrmAbout& about);

    // Every option as the windows hold it now.
    ListingOptions listingOptions() const;
    // The folder a save lists: the folder tree's selection, a full path in the file
    // system's bytes (where a link in the tree leads, for a folder reached through one).
    QByteArray selectedFolder() const;
    SaveController& saveController() { return *m_save; }

public slots:
    void DCB1Change(int index);
    void DO1Change();
    void cmdSettingsClick();
    void cmdSaveClick();
    void cmdHelpClick();
    void SpeedButton1Click();
    void SpeedButton2Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void buildButtonRow();
    void buildFolderPickers(const QByteArray& start);
    void buildShortcuts();
    void fillVolumeList(const QByteArray& startFolder);
    void refreshVolumeList();
    void showVolume(const QByteArray& root, const QByteArray& folder);
    void leaveRemovedFolders(const QModelIndex& parent, int first, int last);
    void refreshSelectedFolder();
    void keepSelectionInSight();
    void revealSelectedFolder();
    void showDialog(QWidget& dialog);
    void setFileLabel(const QString& path);
    void layOut(QSize size);
    void showNoProgramNote(const QString& fileOrAddress);
    void clearNote();
    void updateNote();

    UserDialogs& m_dialogs;
    std::unique_ptr<ReportingShellOpen> m_shell;
    TfrmOptions* m_options = nullptr;
    TfrmAbout* m_about = nullptr;

    QToolButton* cmdSettings;
    QToolButton* cmdSave;
    QToolButton* cmdHelp;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QFrame* Panel1;
    QComboBox* DCB1;
    QTreeView* DO1;
    QGroupBox* GroupBox1;
    QCheckBox* chkInclude;
    QCheckBox* chkOpenAfter;
    ElidedLabel* lblFile;
    QListView* FLB1;
    QLabel* lblCurPath;
    ElidedLabel* lblPath;
    QLabel* lblNote; // no program could open what was asked for

    QWidget* m_holder = this; // what holds the controls: this, or a scroll area's content
    QString m_noteTarget;

    bool m_scrollPending = false;
    FolderTreeModel* m_folderTree;
    FileListModel* m_fileModel;
    FolderWatcher* m_fileWatcher; // the file list follows its folder too
    MountWatcher* m_mountWatcher;
    std::unique_ptr<SaveTargetDialog> m_targetDialog;
    std::unique_ptr<SaveController> m_save;
};

} // namespace zintrel
