#include "TfrmOptions.h"

#include "ArrowSpinEdit.h"
#include "ColorSwatch.h"
#include "DateFormats.h"
#include "Resources.h"
#include "UserDialogs.h"
#include "WindowLook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <cmath>
#include <limits>

namespace zintrel {

namespace {

const QSize kClientSize{678, 336};
const QString kCaption = QStringLiteral("Settings");

// Alt and the underlined letter ("&") ticks a check box or goes into a group box; each letter
// stands once in the dialog. An underline is all it changes of a caption. "Display
// Settings" has none: every letter it holds is taken by another caption.
const QString kDisplayTitle = QStringLiteral("Display Settings");
const QString kColumnCaptions[6] = {QStringLiteral("&Name"),       QStringLiteral("Si&ze"),
                                    QStringLiteral("Attri&butes"), QStringLiteral("Date and &Time"),
                                    QStringLiteral("&Path"),       QStringLiteral("&Level")};
const QString kSpacingCaption = QStringLiteral("Spaces between fields:");
const QString kIndentCaption = QStringLiteral("Indent size:");

const QString kFiltersTitle = QStringLiteral("&Filters");
const QString kMaskCaption = QStringLiteral("Filename mask: (ex: *.txt)");
const QString kExcludeTitle = QStringLiteral("E&xclude files with attributes:");
const QString kSizeCaption = QStringLiteral("Specify size (in &Kb):");
const QString kDateCaption = QStringLiteral("Specif&y date:");
const QString kFromCaption = QStringLiteral("from");
const QString kToCaption = QStringLiteral("to");

const QString kPdfTitle = QStringLiteral("PDF Settin&gs");
const QString kTitleCaption = QStringLiteral("Title:");
const QString kAuthorCaption = QStringLiteral("Author:");
const QString kSecurityCaption = QStringLiteral("&Use PDF security");
const QString kPasswordCaption = QStringLiteral("Password:");
const QString kConfirmCaption = QStringLiteral("Confirm:");
const QString kDontAllowCaption = QStringLiteral("Do not allow:");
const QString kOrientationTitle = QStringLiteral("&Orientation");
const QString kFolderColorCaption = QStringLiteral("Folder color:");
const QString kFileColorCaption = QStringLiteral("File color:");
const QString kFontCaption = QStringLiteral("Display font and size:");
const QString kFontSample = QStringLiteral("Example");
const QString kChooseCaption = QStringLiteral("...");
const QString kChooseFolderColor = QStringLiteral("Choose the folder color");
const QString kChooseFileColor = QStringLiteral("Choose the file color");
const QString kChooseFont = QStringLiteral("Choose the display font");

// The preset buttons' lists, appended as they stand and shown as their hints.
const QString kImagesList = QStringLiteral(
    "*.art; *.bmp; *.djvu; *.emf; *.eps; *.fpx; *.gif; *.icn; *.ico; *.iff; *.jpeg; *.kdc; *.ldf; *.lwf; *.mag; "
    "*.pbm; *.pcd; *.pcx; *.pgm; *.pic; *.pict; *.pix; *.png; *.ppm; *.psd; *.psp; *.ras; *.rs; *.sgi; *.tga; "
    "*.tiff; *.ttf; *.wmf; *.xbm; *.xpm");
const QString kSoundsList = QStringLiteral(
    "*.mp3; *.mp2; *.mp1; *.wma; *.mid; *.midi; *.rmi; *.kar; *.miz; *.mod; *.mdz; *.stm; *.stz; *.s3m; *.s3z; "
    "*.it; *.itz; *.xm; *.xmz; *.mtm; *.ult; *.669; *.far; *.amf; *.okt; *.ogg; *.cda; *.wav; *.voc; *.au; *.snd; "
    "*.aif; *.aiff; *.m3u; *.pls");
const QString kMoviesList = QStringLiteral("*.mpeg; *.mpg; *.m1v; *.mpa; *.mpe; *.avi; *.dat; *.mov");
const QString kDocsList = QStringLiteral(
    "*.doc; *.dot; *.htm; *.html; *.mht; *.rtf; *.xml; *.txt; *.xls; *.xlw; *.olk; *.pab; *.wri; *.mcw; *.wpd; "
    "*.wps; *.wpt; *.odc; *.dqy; *.dsn; *.mdb; *.mde; *.dbc; *.dbf; *.asp; *.hta; *.htc; *.htt; *.stm; *.xsl; "
    "*.cfm; *.jsp; *.php");
const QString kPresetSeparator = QStringLiteral("; ");

// The attribute boxes stand in columns too close for their captions at the usual distance
// from the box ("Read Only" would touch "Directory"): their captions start closer to it.
// (A rule of the window's own style sheet: one on the group box would let the desktop's font
// in there.)
const QString kAttributeBoxesStyle = QStringLiteral("QGroupBox#GroupBox5 QCheckBox { spacing: 3px; }");

// SpinEdit1 lies over the filter box, in window coordinates.
const QRect kSizeSpinRect{317, 241, 89, 22};
const QSize kPresetIconSize{32, 32};

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& text, QRect rect, bool checked)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(rect);
    box->setChecked(checked);
    return box;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    placeAutoSizeLabel(*label, x, y);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, QRect rect)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(rect);
    return edit;
}

QGroupBox* makeGroupBox(QWidget* parent, const char* name, const QString& title, QRect rect)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(rect);
    return box;
}

QSpinBox* makeSpinEdit(QWidget* parent, const char* name, QRect rect, int minimum, int maximum, int step)
{
    auto* spin = new ArrowSpinEdit(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setGeometry(rect);
    spin->setRange(minimum, maximum);
    spin->setSingleStep(step);
    return spin;
}

QPushButton* makeChooseButton(QWidget* parent, const char* name, QRect rect, const QString& what)
{
    auto* button = new QPushButton(kChooseCaption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(what);
    button->setGeometry(rect);
    // Enter in an edit must not press a "..." button.
    button->setAutoDefault(false);
    return button;
}

QDateEdit* makeDatePicker(QWidget* parent, const char* name, QRect rect)
{
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setGeometry(rect);
    picker->setCalendarPopup(true);
    // The short date as the listings write it (strftime's %x), so the filter's dates read
    // the same in the dialog and in the header.
    QString format = qtDateFormat(shortDateFormat());
    picker->setDisplayFormat(format.isEmpty() ? QLocale().dateFormat(QLocale::ShortFormat) : format);
    return picker;
}

QFont toQFont(const FontChoice& choice)
{
    QFont font(QString::fromStdString(choice.face), choice.pointSize);
    font.setBold(choice.bold);
    font.setItalic(choice.italic);
    font.setUnderline(choice.underline);
    font.setStrikeOut(choice.strikeOut);
    return font;
}

FontChoice toFontChoice(const QFont& font)
{
    FontChoice choice;
    choice.face = font.family().toStdString();
    double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pointSize();
    choice.pointSize = static_cast<int>(std::lround(points));
    choice.bold = font.bold();
    choice.italic = font.italic();
    choice.underline = font.underline();
    choice.strikeOut = font.strikeOut();
    return choice;
}

QColor toQColor(RgbColor color) { return QColor(color.red, color.green, color.blue); }

RgbColor toRgb(const QColor& color)
{
    return RgbColor{static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                    static_cast<std::uint8_t>(color.blue())};
}

QDate toQDate(const LocalDateTime& value) { return QDate(value.year, value.month, value.day); }

LocalDateTime withDate(LocalDateTime value, QDate date)
{
    value.year = date.year();
    value.month = date.month();
    value.day = date.day();
    return value;
}

} // namespace

TfrmOptions::TfrmOptions(QWidget& mainWindow, UserDialogs& dialogs)
    : QDialog(nullptr)
    , m_mainWindow(mainWindow)
    , m_dialogs(dialogs)
{
    loadResources();
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(kCaption);
    makeFixedDialogFrame(*this, kClientSize);
    setModal(false);

    GroupBox1 = makeGroupBox(this, "GroupBox1", kDisplayTitle, {8, 8, 153, 321});
    GroupBox2 = makeGroupBox(this, "GroupBox2", kFiltersTitle, {176, 8, 241, 321});
    GroupBox4 = makeGroupBox(this, "GroupBox4", kPdfTitle, {431, 8, 241, 321});
    buildDisplayGroup();
    buildFiltersGroup();
    buildPdfGroup();
    // After the three boxes in the tab order, and above the filter box it lies over.
    SpinEdit1 = makeSpinEdit(this, "SpinEdit1", kSizeSpinRect, std::numeric_limits<int>::min(),
                             std::numeric_limits<int>::max(), kSizeFilterStepKb);
    SpinEdit1->raise();

    connect(chkPass, &QCheckBox::clicked, this, &TfrmOptions::chkPassClick);
    connect(chkSpecSize, &QCheckBox::clicked, this, &TfrmOptions::chkSpecSizeClick);
    connect(chkSpecDate, &QCheckBox::clicked, this, &TfrmOptions::chkSpecDateClick);
    connect(cmdSelColFold, &QPushButton::clicked, this, &TfrmOptions::cmdSelColFoldClick);
    connect(cmdSelColFile, &QPushButton::clicked, this, &TfrmOptions::cmdSelColFileClick);
    connect(cmdSelFont, &QPushButton::clicked, this, &TfrmOptions::cmdSelFontClick);
    for (QSpinBox* spin : {SpinEdit1, SpinEdit2, SpinEdit3})
        connect(spin, &QSpinBox::valueChanged, this, &TfrmOptions::SpinEdit1Change);
    connect(cmd_images, &QToolButton::clicked, this, &TfrmOptions::cmd_imagesClick);
    connect(cmd_sounds, &QToolButton::clicked, this, &TfrmOptions::cmd_soundsClick);
    connect(cmd_movies, &QToolButton::clicked, this, &TfrmOptions::cmd_moviesClick);
    connect(cmd_docs, &QToolButton::clicked, this, &TfrmOptions::cmd_docsClick);

    widenCutCaptions(*this);
    FormCreate();
}

void TfrmOptions::buildDisplayGroup()
{
    GroupBox3 = makeGroupBox(GroupBox1, "GroupBox3", QString(), {16, 16, 121, 161});
    constexpr int kColumnTops[6] = {16, 40, 64, 88, 112, 136};
    for (int i = 0; i < 6; ++i) {
        QByteArray name = "chkDisp" + QByteArray::number(i + 1);
        chkDisp[i] = makeCheckBox(GroupBox3, name.constData(), kColumnCaptions[i], {16, kColumnTops[i], 97, 17}, true);
    }
    Label6 = makeLabel(GroupBox1, "Label6", kSpacingCaption, 16, 193);
    SpinEdit3 = makeSpinEdit(GroupBox1, "SpinEdit3", {16, 209, 113, 22}, 0, kMaxFieldSpacing, 1);
    lblIndentSize = makeLabel(GroupBox1, "lblIndentSize", kIndentCaption, 17, 242);
    SpinEdit2 = makeSpinEdit(GroupBox1, "SpinEdit2", {16, 257, 113, 22}, 0, kMaxIndentSize, 1);
}

void TfrmOptions::buildFiltersGroup()
{
    QWidget* box = GroupBox2;
    lblFileMask = makeLabel(box, "lblFileMask", kMaskCaption, 15, 16);
    EditFileMask = makeEdit(box, "EditFileMask", {15, 32, 208, 21});
    const QSize size = kPresetIconSize;
    cmd_images = makePictureButton(box, "cmd_images", {15, 56, 52, 43}, QStringLiteral(":/icons/preset-images.svg"),
                                   size, kImagesList);
    cmd_sounds = makePictureButton(box, "cmd_sounds", {67, 56, 52, 43}, QStringLiteral(":/icons/preset-sounds.svg"),
                                   size, kSoundsList);
    cmd_movies = makePictureButton(box, "cmd_movies", {119, 56, 52, 43}, QStringLiteral(":/icons/preset-movies.svg"),
                                   size, kMoviesList);
    cmd_docs = makePictureButton(box, "cmd_docs", {171, 56, 52, 43}, QStringLiteral(":/icons/preset-docs.svg"), size,
                                 kDocsList);

    GroupBox5 = makeGroupBox(box, "GroupBox5", kExcludeTitle, {10, 106, 220, 96});
    CheckBox1 = makeCheckBox(GroupBox5, "CheckBox1", QStringLiteral("&Read Only"), {8, 23, 97, 17}, false);
    CheckBox2 = makeCheckBox(GroupBox5, "CheckBox2", QStringLiteral("&Hidden"), {8, 47, 97, 17}, false);
    CheckBox3 = makeCheckBox(GroupBox5, "CheckBox3", QStringLiteral("&System"), {8, 71, 97, 17}, false);
    CheckBox5 = makeCheckBox(GroupBox5, "CheckBox5", QStringLiteral("Dir&ectory"), {80, 23, 65, 17}, false);
    CheckBox6 = makeCheckBox(GroupBox5, "CheckBox6", QStringLiteral("&Archive"), {80, 47, 57, 17}, false);
    CheckBox7 = makeCheckBox(GroupBox5, "CheckBox7", QStringLiteral("Any f&ile"), {80, 71, 57, 17}, false);
    CheckBox4 = makeCheckBox(GroupBox5, "CheckBox4", QStringLiteral("&Volume ID"), {147, 23, 68, 17}, false);

    chkSpecSize = makeCheckBox(box, "chkSpecSize", kSizeCaption, {15, 210, 113, 17}, false);
    cmbLeastMost = new QComboBox(box);
    cmbLeastMost->setObjectName(QStringLiteral("cmbLeastMost"));
    cmbLeastMost->setGeometry(71, 234, 65, 21);
    for (const char* label : kSizeModeLabels)
        cmbLeastMost->addItem(QString::fromLatin1(label));

    chkSpecDate = makeCheckBox(box, "chkSpecDate", kDateCaption, {15, 268, 82, 17}, false);
    lblfrom = makeLabel(box, "lblfrom", kFromCaption, 108, 268);
    DateTimePicker1 = makeDatePicker(box, "DateTimePicker1", {143, 264, 89, 21});
    lblto = makeLabel(box, "lblto", kToCaption, 108, 293);
    DateTimePicker2 = makeDatePicker(box, "DateTimePicker2", {143, 288, 89, 21});
}

void TfrmOptions::buildPdfGroup()
{
    QWidget* box = GroupBox4;
    lblTitle = makeLabel(box, "lblTitle", kTitleCaption, 36, 24);
    editTitle = makeEdit(box, "editTitle", {80, 20, 145, 21});
    lblAuthor = makeLabel(box, "lblAuthor", kAuthorCaption, 37, 48);
    editAuthor = makeEdit(box, "editAuthor", {80, 44, 145, 21});
    chkPass = makeCheckBox(box, "chkPass", kSecurityCaption, {17, 68, 129, 17}, false);
    Label1 = makeLabel(box, "Label1", kPasswordCaption, 41, 91);
    EditPass = makeEdit(box, "EditPass", {105, 87, 121, 21});
    EditPass->setEchoMode(QLineEdit::Password);
    Label2 = makeLabel(box, "Label2", kConfirmCaption, 41, 115);
    EditPass2 = makeEdit(box, "EditPass2", {105, 111, 121, 21});
    EditPass2->setEchoMode(QLineEdit::Password);
    lblDontAllow = makeLabel(box, "lblDontAllow", kDontAllowCaption, 18, 137);
    chkAllowPrint = makeCheckBox(box, "chkAllowPrint", QStringLiteral("Print Docu&ment"), {104, 135, 129, 17}, true);
    chkAllowChange = makeCheckBox(box, "chkAllowChange", QStringLiteral("&Change Document"), {104, 156, 129, 17}, true);
    chkAllowCopy = makeCheckBox(box, "chkAllowCopy", QStringLiteral("Copy from &Document"), {104, 176, 129, 17}, true);

    GroupBox6 = makeGroupBox(box, "GroupBox6", kOrientationTitle, {17, 189, 209, 41});
    RadioButton1 = new QRadioButton(QStringLiteral("Portrait"), GroupBox6);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(8, 16, 81, 17);
    RadioButton2 = new QRadioButton(QStringLiteral("Landscape"), GroupBox6);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(120, 16, 81, 17);

    lblColFold = makeLabel(box, "lblColFold", kFolderColorCaption, 19, 233);
    shFolder = new ColorSwatch(box);
    shFolder->setObjectName(QStringLiteral("shFolder"));
    shFolder->setGeometry(19, 249, 69, 17);
    cmdSelColFold = makeChooseButton(box, "cmdSelColFold", {85, 249, 17, 17}, kChooseFolderColor);
    lblColFile = makeLabel(box, "lblColFile", kFileColorCaption, 140, 233);
    shFile = new ColorSwatch(box);
    shFile->setObjectName(QStringLiteral("shFile"));
    shFile->setGeometry(140, 249, 69, 17);
    cmdSelColFile = makeChooseButton(box, "cmdSelColFile", {207, 249, 17, 17}, kChooseFileColor);
    Label5 = makeLabel(box, "Label5", kFontCaption, 17, 273);
    EditEx = makeEdit(box, "EditEx", {17, 289, 70, 21});
    EditEx->setText(kFontSample);
    cmdSelFont = makeChooseButton(box, "cmdSelFont", {85, 288, 17, 22}, kChooseFont);
}

void TfrmOptions::FormCreate()
{
    bindControls();
    centreOnScreen(*this);
    QDate today = QDate::currentDate();
    // The start values: every default, with both dates on today at their fixed times.
    showOptions(ListingOptions::defaults(today.year(), today.month(), today.day()));
    cmbLeastMost->setCurrentIndex(0);
    applyWindowBackground(*this, kAttributeBoxesStyle);
    fitOnScreen(*this, availableClientSize());
}

void TfrmOptions::bindControls()
{
    m_checkRows = {
        {chkDisp[0], &ListingOptions::showName, false},
        {chkDisp[1], &ListingOptions::showSize, false},
        {chkDisp[2], &ListingOptions::showAttributes, false},
        {chkDisp[3], &ListingOptions::showDateTime, false},
        {chkDisp[4], &ListingOptions::showPath, false},
        {chkDisp[5], &ListingOptions::showLevel, false},
        {CheckBox1, &ListingOptions::excludeReadOnly, false},
        {CheckBox2, &ListingOptions::excludeHidden, false},
        {CheckBox3, &ListingOptions::excludeSystem, false},
        {CheckBox4, &ListingOptions::excludeVolumeId, false},
        {CheckBox5, &ListingOptions::excludeDirectory, false},
        {CheckBox6, &ListingOptions::excludeArchive, false},
        {CheckBox7, &ListingOptions::excludeAnyFile, false},
        {chkSpecSize, &ListingOptions::sizeFilterEnabled, false},
        {chkSpecDate, &ListingOptions::dateFilterEnabled, false},
        {chkPass, &ListingOptions::pdfSecurity, false},
        // The boxes stand under "Do not allow:": a ticked box withholds the permission.
        {chkAllowPrint, &ListingOptions::allowPrint, true},
        {chkAllowChange, &ListingOptions::allowChange, true},
        {chkAllowCopy, &ListingOptions::allowCopy, true},
    };
    m_editRows = {
        {EditFileMask, &ListingOptions::fileMask},        {editTitle, &ListingOptions::pdfTitle},
        {editAuthor, &ListingOptions::pdfAuthor},         {EditPass, &ListingOptions::pdfPassword},
        {EditPass2, &ListingOptions::pdfPasswordConfirm},
    };
    m_spinRows = {
        {SpinEdit3, &ListingOptions::fieldSpacing},
        {SpinEdit2, &ListingOptions::indentSize},
    };
}

ListingOptions TfrmOptions::options() const
{
    ListingOptions options;
    for (const CheckRow& row : m_checkRows)
        options.*row.field = row.box->isChecked() != row.inverted;
    for (const EditRow& row : m_editRows)
        options.*row.field = row.edit->text().toStdString();
    for (const SpinRow& row : m_spinRows)
        options.*row.field = row.spin->value();

    int mode = cmbLeastMost->currentIndex();
    options.sizeFilterMode = mode == 0 ? SizeFilterMode::AtLeast
        : mode == 1                    ? SizeFilterMode::AtMost
                                       : SizeFilterMode::None;
    options.sizeFilterKb = SpinEdit1->value();
    options.dateFrom = withDate(m_dateFromTime, DateTimePicker1->date());
    options.dateTo = withDate(m_dateToTime, DateTimePicker2->date());
    options.landscape = RadioButton2->isChecked();
    options.listingFont = m_listingFont;
    options.folderColor = toRgb(shFolder->color());
    options.fileColor = toRgb(shFile->color());
    return options;
}

void TfrmOptions::showOptions(const ListingOptions& options)
{
    for (const CheckRow& row : m_checkRows)
        row.box->setChecked(options.*row.field != row.inverted);
    for (const EditRow& row : m_editRows)
        row.edit->setText(QString::fromStdString(options.*row.field));
    for (const SpinRow& row : m_spinRows)
        row.spin->setValue(options.*row.field);

    cmbLeastMost->setCurrentIndex(static_cast<int>(options.sizeFilterMode));
    SpinEdit1->setValue(static_cast<int>(std::min<std::int64_t>(options.sizeFilterKb, SpinEdit1->maximum())));
    m_dateFromTime = options.dateFrom;
    m_dateToTime = options.dateTo;
    DateTimePicker1->setDate(toQDate(options.dateFrom));
    DateTimePicker2->setDate(toQDate(options.dateTo));

    (options.landscape ? RadioButton2 : RadioButton1)->setChecked(true);
    m_listingFont = options.listingFont;
    EditEx->setFont(toQFont(options.listingFont));
    shFolder->setColor(toQColor(options.folderColor));
    shFile->setColor(toQColor(options.fileColor));

    chkPassClick();
    chkSpecSizeClick();
    chkSpecDateClick();
}

void TfrmOptions::FormClose() { m_mainWindow.setEnabled(true); }

void TfrmOptions::keyPressEvent(QKeyEvent* event)
{
    // Every change is in force already, so Enter closes the dialog as Escape does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmOptions::reject()
{
    // The close box and Escape both end here; the dialog is hidden, never destroyed.
    FormClose();
    QDialog::reject();
}

void TfrmOptions::chkPassClick()
{
    bool on = chkPass->isChecked();
    EditPass->setEnabled(on);
    EditPass2->setEnabled(on);
}

void TfrmOptions::chkSpecSizeClick()
{
    bool on = chkSpecSize->isChecked();
    cmbLeastMost->setEnabled(on);
    SpinEdit1->setEnabled(on);
}

void TfrmOptions::chkSpecDateClick()
{
    bool on = chkSpecDate->isChecked();
    DateTimePicker1->setEnabled(on);
    DateTimePicker2->setEnabled(on);
}

void TfrmOptions::chooseColor(ColorSwatch& swatch)
{
    // The dialog opens on the swatch's own colour, the one a choice replaces.
    if (std::optional<QColor> chosen = m_dialogs.chooseColor(this, swatch.color()))
        swatch.setColor(*chosen);
}

void TfrmOptions::cmdSelColFoldClick() { chooseColor(*shFolder); }

void TfrmOptions::cmdSelColFileClick() { chooseColor(*shFile); }

void TfrmOptions::cmdSelFontClick()
{
    // The dialog lists installed families only: it opens on the one that really draws the
    // listing font (the registered substitute of "MS Sans Serif", say), in its size and style.
    QFont shown = toQFont(m_listingFont);
    shown.setFamily(QFontInfo(shown).family());
    std::optional<QFont> chosen = m_dialogs.chooseFont(this, shown);
    // OK without a change keeps the font as it was, its name included.
    if (!chosen || toFontChoice(*chosen) == toFontChoice(shown))
        return;
    m_listingFont = toFontChoice(*chosen);
    EditEx->setFont(*chosen);
}

void TfrmOptions::SpinEdit1Change()
{
    if (SpinEdit1->value() < 0)
        SpinEdit1->setValue(0);
}

void TfrmOptions::appendPreset(const QString& list)
{
    QString mask = EditFileMask->text();
    if (!mask.isEmpty()) {
        mask += kPresetSeparator;
        EditFileMask->setText(mask);
    }
    EditFileMask->setText(EditFileMask->text() + list);
}

void TfrmOptions::cmd_imagesClick() { appendPreset(cmd_images->toolTip()); }

void TfrmOptions::cmd_soundsClick() { appendPreset(cmd_sounds->toolTip()); }

void TfrmOptions::cmd_moviesClick() { appendPreset(cmd_movies->toolTip()); }

void TfrmOptions::cmd_docsClick() { appendPreset(cmd_docs->toolTip()); }

} // namespace zintrel
