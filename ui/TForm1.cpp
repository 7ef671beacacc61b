#include "TForm1.h"

#include "ElidedLabel.h"
#include "FileListModel.h"
#include "FixedRowDelegate.h"
#include "FolderTreeModel.h"
#include "FolderTreeView.h"
#include "FolderWatcher.h"
#include "HelpFile.h"
#include "MountWatcher.h"
#include "ReportingShellOpen.h"
#include "Resources.h"
#include "SaveController.h"
#include "SaveTargetDialog.h"
#include "TfrmAbout.h"
#include "TfrmOptions.h"
#include "UserDialogs.h"
#include "WindowLook.h"
#include "platform/IoError.h"
#include "platform/ShellOpen.h"
#include "platform/Volumes.h"
#include "platform/WebAddresses.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace zintrel {

namespace {

const QSize kClientSize{442, 363};
const QString kCaption = QStringLiteral("Zintrel");
const QString kSettingsHint = QStringLiteral("Settings");
const QString kSaveHint = QStringLiteral("Save");
const QString kHelpHint = QStringLiteral("Help");
const QString kAboutHint = QStringLiteral("About");
const QString kVisitHint = QStringLiteral("Visit %1");
const QString kIncludeCaption = QStringLiteral("Include subfolders");
const QString kOpenAfterCaption = QStringLiteral("Open TXT / PDF after creation");
const QString kCurrentPathCaption = QStringLiteral("Current path:");
const QString kNoProgramNote = QStringLiteral("No program could open\n%1");
const QColor kNoteColor{128, 0, 0};

const QSize kButtonIconSize{40, 40};
const QSize kVolumeIconSize{16, 16};
constexpr int kTreeFontPoints = 10;
constexpr int kTreeRowHeight = 16;
constexpr int kFileRowHeight = 13;
constexpr int kFileLabelWidth = 240;
constexpr int kPathLabelWidth = 522;
// Paths are shortened in the middle to end where the file list ends, this far from the
// window's right edge.
constexpr int kRightMargin = 9;

// The places of the controls at the window's described size, and how each follows a larger
// window: the tree and the file list share the extra width and both take the extra height.
enum class Share { None, Half, Rest, Whole };
struct Place {
    QRect rect;
    Share moveX = Share::None;
    Share growX = Share::None;
    bool moveY = false;
    bool growY = false;
};
const Place kPanelPlace{{-1, 56, 443, 3}, Share::None, Share::Whole};
const Place kVolumesPlace{{8, 70, 225, 19}, Share::None, Share::Half};
const Place kTreePlace{{8, 95, 226, 232}, Share::None, Share::Half, false, true};
const Place kOptionsPlace{{240, 64, 193, 73}, Share::Half};
const Place kNotePlace{{240, 141, 193, 30}, Share::Half, Share::Rest};
const Place kFileLabelPlace{{240, 175, kFileLabelWidth, 0}, Share::Half};
const Place kFilesPlace{{240, 197, 193, 129}, Share::Half, Share::Rest, false, true};
const Place kCurPathPlace{{7, 329, 0, 0}, Share::None, Share::None, true};
const Place kPathPlace{{7, 345, kPathLabelWidth, 0}, Share::None, Share::None, true};

int share(Share part, int extra)
{
    switch (part) {
    case Share::Half:
        return extra / 2;
    case Share::Rest:
        return extra - extra / 2;
    case Share::Whole:
        return extra;
    case Share::None:
        break;
    }
    return 0;
}

QRect placed(const Place& place, QSize extra)
{
    QRect rect = place.rect;
    rect.translate(share(place.moveX, extra.width()), place.moveY ? extra.height() : 0);
    rect.setWidth(rect.width() + share(place.growX, extra.width()));
    if (place.growY)
        rect.setHeight(rect.height() + extra.height());
    return rect;
}

QString volumeIcon(VolumeKind kind)
{
    switch (kind) {
    case VolumeKind::Removable:
        return QStringLiteral(":/icons/volume-removable.svg");
    case VolumeKind::Network:
        return QStringLiteral(":/icons/volume-network.svg");
    case VolumeKind::Optical:
        return QStringLiteral(":/icons/volume-optical.svg");
    case VolumeKind::Ram:
        return QStringLiteral(":/icons/volume-ram.svg");
    case VolumeKind::Fixed:
        break;
    }
    return QStringLiteral(":/icons/volume-fixed.svg");
}

// The folder the program was started in, as the file system spells it.
QByteArray currentFolder()
{
    QByteArray path(PATH_MAX, '\0');
    if (!::getcwd(path.data(), static_cast<std::size_t>(path.size())))
        return QFile::encodeName(QDir::currentPath());
    path.truncate(static_cast<qsizetype>(std::strlen(path.constData())));
    return path;
}

// Whether a folder can be read; otherwise the text for the error box.
QString folderReadError(const QByteArray& path)
{
    DIR* folder = ::opendir(path.constData());
    if (!folder)
        return QString::fromStdString(errorText(errno));
    ::closedir(folder);
    return {};
}

} // namespace

TForm1::TForm1(UserDialogs& dialogs, ShellOpen& shell, const OutputMaker* pdfOutput, const QByteArray& startFolder)
    : m_dialogs(dialogs)
    , m_shell(std::make_unique<ReportingShellOpen>(
          shell, [this](const QString& fileOrAddress) { showNoProgramNote(fileOrAddress); }))
{
    loadResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setWindowIcon(QIcon(QStringLiteral(":/icons/zintrel.svg")));
    makeGrowingDialogFrame(*this, kClientSize);

    buildButtonRow();
    buildFolderPickers(startFolder.isEmpty() ? currentFolder() : startFolder);
    buildShortcuts();

    m_targetDialog = std::make_unique<SaveTargetDialog>(m_dialogs, this);
    SaveEnvironment environment;
    environment.pdfOutput = pdfOutput;
    m_save = std::make_unique<SaveController>(*this, m_dialogs, *m_shell, *m_targetDialog, std::move(environment),
                                              [this](const QString& path) { setFileLabel(path); });

    connect(cmdSettings, &QToolButton::clicked, this, &TForm1::cmdSettingsClick);
    connect(cmdSave, &QToolButton::clicked, this, &TForm1::cmdSaveClick);
    connect(cmdHelp, &QToolButton::clicked, this, &TForm1::cmdHelpClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);

    widenCutCaptions(*this);
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildButtonRow()
{
    const QSize size = kButtonIconSize;
    cmdSettings = makePictureButton(this, "cmdSettings", {2, 1, 89, 55}, QStringLiteral(":/icons/settings.svg"), size,
                                    kSettingsHint);
    cmdSave = makePictureButton(this, "cmdSave", {90, 1, 88, 55}, QStringLiteral(":/icons/save.svg"), size, kSaveHint);
    cmdHelp = makePictureButton(this, "cmdHelp", {178, 1, 88, 55}, QStringLiteral(":/icons/help.svg"), size, kHelpHint);
    SpeedButton1 = makePictureButton(this, "SpeedButton1", {266, 1, 88, 55}, QStringLiteral(":/icons/about.svg"), size,
                                     kAboutHint);
    SpeedButton2 = makePictureButton(this, "SpeedButton2", {354, 1, 88, 55}, QStringLiteral(":/icons/web.svg"), size,
                                     kVisitHint.arg(helpPageAddress(kProgramSection)));
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(kPanelPlace.rect);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
}

void TForm1::buildFolderPickers(const QByteArray& start)
{
    DCB1 = new QComboBox(this);
    DCB1->setObjectName(QStringLiteral("DCB1"));
    DCB1->setGeometry(kVolumesPlace.rect);
    DCB1->setIconSize(kVolumeIconSize);

    m_folderTree = new FolderTreeModel(this);

    DO1 = new FolderTreeView(this);
    DO1->setObjectName(QStringLiteral("DO1"));
    DO1->setGeometry(kTreePlace.rect);
    DO1->setFont(QFont(QString::fromLatin1(kWindowFontFace), kTreeFontPoints));
    // Ahead of the view's own handling, which would move the selection to a sibling.
    connect(m_folderTree, &QAbstractItemModel::rowsAboutToBeRemoved, this, &TForm1::leaveRemovedFolders);
    DO1->setModel(m_folderTree);
    DO1->setItemDelegate(new FixedRowDelegate(kTreeRowHeight, DO1));
    DO1->setUniformRowHeights(true);
    DO1->setHeaderHidden(true);
    DO1->setIconSize(kVolumeIconSize);
    DO1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DO1->setSelectionMode(QAbstractItemView::SingleSelection);
    DO1->setIndentation(16);
    // The classic style draws the dotted lines that join a folder to its parent.
    if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
        classic->setParent(DO1);
        DO1->setStyle(classic);
    }
    DO1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    DO1->header()->setStretchLastSection(false);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(kOptionsPlace.rect);
    chkInclude = new QCheckBox(kIncludeCaption, GroupBox1);
    chkInclude->setObjectName(QStringLiteral("chkInclude"));
    chkInclude->setGeometry(8, 16, 121, 17);
    chkInclude->setChecked(true);
    chkOpenAfter = new QCheckBox(kOpenAfterCaption, GroupBox1);
    chkOpenAfter->setObjectName(QStringLiteral("chkOpenAfter"));
    chkOpenAfter->setGeometry(8, 40, 169, 17);
    chkOpenAfter->setChecked(true);

    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setTextFormat(Qt::PlainText);
    lblNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblNote->setGeometry(kNotePlace.rect);
    QPalette notePalette = lblNote->palette();
    notePalette.setColor(QPalette::WindowText, kNoteColor);
    lblNote->setPalette(notePalette);
    lblNote->hide();

    lblFile = new ElidedLabel(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setRightMargin(kRightMargin);
    placeAutoSizeLabel(*lblFile, kFileLabelPlace.rect.x(), kFileLabelPlace.rect.y(), kFileLabelWidth);

    // Files only: neither folders nor hidden files nor devices, pipes and sockets.
    m_fileModel = new FileListModel(this);
    FLB1 = new QListView(this);
    FLB1->setObjectName(QStringLiteral("FLB1"));
    FLB1->setGeometry(kFilesPlace.rect);
    FLB1->setModel(m_fileModel);
    FLB1->setItemDelegate(new FixedRowDelegate(kFileRowHeight, FLB1));
    FLB1->setUniformItemSizes(true);
    FLB1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    lblCurPath = new QLabel(kCurrentPathCaption, this);
    lblCurPath->setObjectName(QStringLiteral("lblCurPath"));
    placeAutoSizeLabel(*lblCurPath, kCurPathPlace.rect.x(), kCurPathPlace.rect.y());
    lblPath = new ElidedLabel(this);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setRightMargin(kRightMargin);
    placeAutoSizeLabel(*lblPath, kPathPlace.rect.x(), kPathPlace.rect.y(), kPathLabelWidth);

    fillVolumeList(start);
    connect(m_folderTree, &FolderTreeModel::folderLoaded, this, &TForm1::keepSelectionInSight);
    connect(m_folderTree, &QAbstractItemModel::rowsInserted, this, &TForm1::keepSelectionInSight);
    DO1->installEventFilter(this);
    DO1->viewport()->installEventFilter(this);
    DO1->verticalScrollBar()->installEventFilter(this);
    connect(DO1->selectionModel(), &QItemSelectionModel::currentChanged, this, &TForm1::DO1Change);
    connect(DO1, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { m_folderTree->setExpanded(index, true); });
    connect(DO1, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { m_folderTree->setExpanded(index, false); });
    m_fileWatcher = new FolderWatcher(this);
    connect(m_fileWatcher, &FolderWatcher::changed, m_fileModel, &FileListModel::refresh);

    // The listing starts at the folder the program was given, or else the one it was started in.
    showVolume(QFile::encodeName(volumeOf(QFile::decodeName(start)).rootPath), start);
    connect(DCB1, &QComboBox::currentIndexChanged, this, &TForm1::DCB1Change);
    m_mountWatcher = new MountWatcher(this);
    connect(m_mountWatcher, &MountWatcher::changed, this, &TForm1::refreshVolumeList);
}

void TForm1::buildShortcuts()
{
    struct Row {
        QKeySequence keys;
        void (TForm1::*handler)();
    };
    const Row rows[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_S), &TForm1::cmdSaveClick},
        {QKeySequence(Qt::CTRL | Qt::Key_Comma), &TForm1::cmdSettingsClick},
        {QKeySequence(Qt::Key_F1), &TForm1::cmdHelpClick},
    };
    for (const Row& row : rows)
        connect(new QShortcut(row.keys, this), &QShortcut::activated, this, row.handler);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this, &QWidget::close);
}

void TForm1::fillVolumeList(const QByteArray& startFolder)
{
    QString startRoot = volumeOf(QFile::decodeName(startFolder)).rootPath;
    const QList<Volume> volumes = mountedVolumes();
    for (const Volume& volume : volumes) {
        DCB1->addItem(QIcon(volumeIcon(volume.kind)), volume.text, volume.rootPath);
        if (volume.rootPath == startRoot)
            DCB1->setCurrentIndex(DCB1->count() - 1);
    }
}

void TForm1::refreshVolumeList()
{
    const QString shown = QFile::decodeName(m_folderTree->volumeRoot());
    const QList<Volume> volumes = mountedVolumes();
    int current = -1;
    {
        QSignalBlocker quiet(DCB1);
        DCB1->clear();
        for (const Volume& volume : volumes) {
            DCB1->addItem(QIcon(volumeIcon(volume.kind)), volume.text, volume.rootPath);
            if (volume.rootPath == shown)
                current = DCB1->count() - 1;
        }
        if (current >= 0)
            DCB1->setCurrentIndex(current);
    }
    if (current >= 0)
        return;
    // The volume shown was unmounted: the tree moves to the volume that holds its folder now.
    const QByteArray folder = selectedFolder();
    const QString holder = volumeOf(QFile::decodeName(folder)).rootPath;
    {
        QSignalBlocker quiet(DCB1);
        DCB1->setCurrentIndex(DCB1->findData(holder));
    }
    showVolume(QFile::encodeName(holder), folder);
}

void TForm1::FormCreate()
{
    centreOnScreen(*this);
    DO1Change();
    setFileLabel(QString());
    applyWindowBackground(*this);
    m_holder = &fitOnScreen(*this, availableClientSize());
    if (m_holder != this)
        m_holder->installEventFilter(this);
}

void TForm1::attachDialogs(TfrmOptions& options, TfrmAbout& about)
{
    m_options = &options;
    m_about = &about;
    // F1 opens the help page from the settings too; the About dialog has a Help button of its own.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), &options), &QShortcut::activated, this, &TForm1::cmdHelpClick);
}

ListingOptions TForm1::listingOptions() const
{
    ListingOptions options = m_options ? m_options->options() : ListingOptions{};
    options.includeSubfolders = chkInclude->isChecked();
    options.openAfterCreation = chkOpenAfter->isChecked();
    return options;
}

QByteArray TForm1::selectedFolder() const { return m_folderTree->listedFolder(DO1->currentIndex()); }

void TForm1::showVolume(const QByteArray& root, const QByteArray& folder)
{
    m_folderTree->setVolumeRoot(root);
    // The folder, or the nearest one above it that is still there.
    QModelIndex selected = m_folderTree->indexOf(folder);
    for (QByteArray above = folder; !selected.isValid() && above.size() > root.size();) {
        above.truncate(std::max<qsizetype>(above.lastIndexOf('/'), 1));
        selected = m_folderTree->indexOf(above);
    }
    if (!selected.isValid())
        selected = m_folderTree->indexOf(root);
    DO1->setCurrentIndex(selected);
    DO1->expand(selected);
    revealSelectedFolder();
    m_scrollPending = true;
}

void TForm1::revealSelectedFolder()
{
    QModelIndex selected = DO1->currentIndex();
    for (QModelIndex above = selected.parent(); above.isValid(); above = above.parent())
        DO1->expand(above);
    DO1->scrollTo(selected, QAbstractItemView::PositionAtCenter);
}

void TForm1::keepSelectionInSight()
{
    // The folders above the selection arrive and get sorted one by one after a volume is
    // shown, each moving the selected row; the tree follows it until the user takes over.
    if (m_scrollPending)
        QTimer::singleShot(0, this, [this] {
            if (m_scrollPending)
                revealSelectedFolder();
        });
}

void TForm1::leaveRemovedFolders(const QModelIndex& parent, int first, int last)
{
    // A folder that goes from outside takes the selection to the folder it was in (still
    // there: its reading just left the folder out), never to a sibling the user did not choose.
    for (QModelIndex at = DO1->currentIndex(); at.isValid(); at = at.parent()) {
        if (at.parent() == parent && at.row() >= first && at.row() <= last) {
            DO1->setCurrentIndex(parent);
            return;
        }
    }
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_holder == this)
        layOut(size());
}

void TForm1::layOut(QSize size)
{
    const QSize extra = (size - kClientSize).expandedTo(QSize(0, 0));
    struct Row {
        QWidget* widget;
        const Place& place;
    };
    const Row rows[] = {
        {Panel1, kPanelPlace},      {DCB1, kVolumesPlace}, {DO1, kTreePlace},
        {GroupBox1, kOptionsPlace}, {lblNote, kNotePlace}, {FLB1, kFilesPlace},
    };
    for (const Row& row : rows)
        row.widget->setGeometry(placed(row.place, extra));
    QRect file = placed(kFileLabelPlace, extra);
    placeAutoSizeLabel(*lblFile, file.x(), file.y(), kFileLabelWidth);
    QRect curPath = placed(kCurPathPlace, extra);
    placeAutoSizeLabel(*lblCurPath, curPath.x(), curPath.y());
    QRect path = placed(kPathPlace, extra);
    placeAutoSizeLabel(*lblPath, path.x(), path.y(), kPathLabelWidth);
    lblFile->update();
    lblPath->update();
    updateNote();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_holder && event->type() == QEvent::Resize) {
        layOut(m_holder->size());
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == DO1 && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
            refreshSelectedFolder();
            return true;
        }
        m_scrollPending = false;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        m_scrollPending = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::refreshSelectedFolder()
{
    m_folderTree->refresh(DO1->currentIndex());
    m_fileModel->refresh();
}

void TForm1::DCB1Change(int index)
{
    QByteArray root = QFile::encodeName(DCB1->itemData(index).toString());
    if (root.isEmpty() || root == m_folderTree->volumeRoot())
        return;
    QString error = folderReadError(root);
    if (!error.isEmpty()) {
        // The tree, the path and the file list keep the folder they showed.
        m_dialogs.showError(this, error);
        return;
    }
    showVolume(root, root);
}

void TForm1::DO1Change()
{
    QByteArray folder = selectedFolder();
    lblPath->setText(shownName(folder));
    lblPath->setToolTip(lblPath->text());
    placeAutoSizeLabel(*lblPath, lblPath->x(), lblPath->y(), kPathLabelWidth);
    if (folder != m_fileModel->folder()) {
        if (!m_fileModel->folder().isEmpty())
            m_fileWatcher->unwatch(m_fileModel->folder());
        if (!folder.isEmpty())
            m_fileWatcher->watch(folder);
    }
    m_fileModel->setFolder(folder);
}

void TForm1::setFileLabel(const QString& path)
{
    lblFile->setText(path);
    lblFile->setToolTip(path);
    placeAutoSizeLabel(*lblFile, lblFile->x(), lblFile->y(), kFileLabelWidth);
}

void TForm1::showNoProgramNote(const QString& fileOrAddress)
{
    m_noteTarget = fileOrAddress;
    updateNote();
    lblNote->show();
}

void TForm1::clearNote()
{
    m_noteTarget.clear();
    lblNote->hide();
}

void TForm1::updateNote()
{
    if (m_noteTarget.isEmpty())
        return;
    lblNote->setText(
        kNoProgramNote.arg(lblNote->fontMetrics().elidedText(m_noteTarget, Qt::ElideMiddle, lblNote->width())));
    lblNote->setToolTip(m_noteTarget);
}

void TForm1::showDialog(QWidget& dialog)
{
    // Disabled, the window takes no input, so no save starts and no setting changes under it.
    setEnabled(false);
    dialog.winId();
    if (QWindow* handle = dialog.windowHandle())
        handle->setTransientParent(windowHandle());
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

void TForm1::cmdSettingsClick()
{
    if (m_options)
        showDialog(*m_options);
}

void TForm1::SpeedButton1Click()
{
    if (m_about)
        showDialog(*m_about);
}

void TForm1::cmdSaveClick()
{
    clearNote();
    m_save->save(listingOptions(), selectedFolder().toStdString());
}

void TForm1::cmdHelpClick()
{
    clearNote();
    m_shell->open(helpFilePath());
}

void TForm1::SpeedButton2Click()
{
    clearNote();
    m_shell->open(helpPageAddress(kProgramSection));
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A window that a dialog has disabled is not closed from outside either.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    // The dialogs are hidden then, so closing this window ends the program.
    if (m_options)
        m_options->hide();
    if (m_about)
        m_about->hide();
    event->accept();
}

} // namespace zintrel
