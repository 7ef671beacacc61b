// The settings dialog as an editor of the listing options.

#include "DateFormats.h"
#include "WindowsFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <ctime>

namespace zintrel::test {
namespace {

const QString kMovies = QStringLiteral("*.mpeg; *.mpg; *.m1v; *.mpa; *.mpe; *.avi; *.dat; *.mov");
const QString kImages = QStringLiteral(
    "*.art; *.bmp; *.djvu; *.emf; *.eps; *.fpx; *.gif; *.icn; *.ico; *.iff; *.jpeg; *.kdc; *.ldf; *.lwf; *.mag; "
    "*.pbm; *.pcd; *.pcx; *.pgm; *.pic; *.pict; *.pix; *.png; *.ppm; *.psd; *.psp; *.ras; *.rs; *.sgi; *.tga; "
    "*.tiff; *.ttf; *.wmf; *.xbm; *.xpm");
const QString kSounds = QStringLiteral(
    "*.mp3; *.mp2; *.mp1; *.wma; *.mid; *.midi; *.rmi; *.kar; *.miz; *.mod; *.mdz; *.stm; *.stz; *.s3m; *.s3z; "
    "*.it; *.itz; *.xm; *.xmz; *.mtm; *.ult; *.669; *.far; *.amf; *.okt; *.ogg; *.cda; *.wav; *.voc; *.au; *.snd; "
    "*.aif; *.aiff; *.m3u; *.pls");
const QString kDocs = QStringLiteral(
    "*.doc; *.dot; *.htm; *.html; *.mht; *.rtf; *.xml; *.txt; *.xls; *.xlw; *.olk; *.pab; *.wri; *.mcw; *.wpd; "
    "*.wps; *.wpt; *.odc; *.dqy; *.dsn; *.mdb; *.mde; *.dbc; *.dbf; *.asp; *.hta; *.htc; *.htt; *.stm; *.xsl; "
    "*.cfm; *.jsp; *.php");

class SettingsDialogTest : public WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        createWindows();
    }
    template <class T> T* settingsControl(const char* name) { return control<T>(*frmOptions, name); }
};

TEST_F(SettingsDialogTest, CheckBoxesEnableTheirDependentControlsAndKeepTheirValues)
{
    struct Row {
        const char* checkBox;
        std::vector<const char*> dependents;
    };
    const Row rows[] = {
        {"chkSpecSize", {"cmbLeastMost", "SpinEdit1"}},
        {"chkSpecDate", {"DateTimePicker1", "DateTimePicker2"}},
        {"chkPass", {"EditPass", "EditPass2"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.checkBox);
        auto* box = settingsControl<QCheckBox>(row.checkBox);
        ASSERT_NE(box, nullptr);
        QTest::mouseClick(box, Qt::LeftButton);
        for (const char* name : row.dependents)
            EXPECT_TRUE(settingsControl<QWidget>(name)->isEnabled()) << name;
        QTest::mouseClick(box, Qt::LeftButton);
        for (const char* name : row.dependents)
            EXPECT_FALSE(settingsControl<QWidget>(name)->isEnabled()) << name;
    }
}

TEST_F(SettingsDialogTest, DisabledControlsKeepWhatWasEntered)
{
    auto* security = settingsControl<QCheckBox>("chkPass");
    QTest::mouseClick(security, Qt::LeftButton);
    QTest::keyClicks(settingsControl<QLineEdit>("EditPass"), QStringLiteral("secret"));
    QTest::keyClicks(settingsControl<QLineEdit>("EditPass2"), QStringLiteral("secreT"));
    auto* sizeBox = settingsControl<QCheckBox>("chkSpecSize");
    QTest::mouseClick(sizeBox, Qt::LeftButton);
    settingsControl<QComboBox>("cmbLeastMost")->setCurrentIndex(1);
    QTest::keyClick(settingsControl<QSpinBox>("SpinEdit1"), Qt::Key_Up);

    QTest::mouseClick(security, Qt::LeftButton);
    QTest::mouseClick(sizeBox, Qt::LeftButton);
    ListingOptions off = frmOptions->options();
    EXPECT_FALSE(off.pdfSecurity);
    EXPECT_EQ(off.pdfPassword, "secret");
    EXPECT_EQ(off.pdfPasswordConfirm, "secreT");
    EXPECT_FALSE(off.sizeFilterEnabled);
    EXPECT_EQ(off.sizeFilterMode, SizeFilterMode::AtMost);
    EXPECT_EQ(off.sizeFilterKb, 10);

    QTest::mouseClick(sizeBox, Qt::LeftButton);
    ListingOptions on = frmOptions->options();
    EXPECT_TRUE(on.sizeFilterEnabled);
    EXPECT_EQ(on.sizeFilterMode, SizeFilterMode::AtMost);
    EXPECT_EQ(on.sizeFilterKb, 10);
}

TEST_F(SettingsDialogTest, PresetButtonsAppendTheirLists)
{
    struct Row {
        const char* typed;
        std::vector<const char*> presses;
        QString expected;
    };
    const QString sep = QStringLiteral("; ");
    const Row rows[] = {
        {"", {"cmd_movies"}, kMovies},
        {"", {"cmd_movies", "cmd_movies"}, kMovies + sep + kMovies},
        {"*.txt", {"cmd_movies"}, QStringLiteral("*.txt") + sep + kMovies},
        {"*.txt;", {"cmd_docs"}, QStringLiteral("*.txt;") + sep + kDocs},
        {"", {"cmd_images", "cmd_sounds"}, kImages + sep + kSounds},
        {"a b ", {"cmd_docs"}, QStringLiteral("a b ") + sep + kDocs},
    };
    auto* mask = settingsControl<QLineEdit>("EditFileMask");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        mask->clear();
        QTest::keyClicks(mask, QString::fromLatin1(row.typed));
        for (const char* button : row.presses)
            QTest::mouseClick(settingsControl<QToolButton>(button), Qt::LeftButton);
        EXPECT_EQ(mask->text(), row.expected);
        EXPECT_EQ(frmOptions->options().fileMask, row.expected.toStdString());
    }
    // Each button's hint is exactly the list it appends.
    EXPECT_EQ(settingsControl<QToolButton>("cmd_images")->toolTip(), kImages);
    EXPECT_EQ(settingsControl<QToolButton>("cmd_sounds")->toolTip(), kSounds);
    EXPECT_EQ(settingsControl<QToolButton>("cmd_movies")->toolTip(), kMovies);
    EXPECT_EQ(settingsControl<QToolButton>("cmd_docs")->toolTip(), kDocs);
}

TEST_F(SettingsDialogTest, SpinEditsStepWithinTheirLimits)
{
    struct Row {
        const char* name;
        Qt::Key key;
        int presses;
        int expected;
    };
    const Row rows[] = {
        {"SpinEdit1", Qt::Key_Down, 1, 0},    {"SpinEdit1", Qt::Key_Up, 3, 30},   {"SpinEdit1", Qt::Key_Down, 5, 0},
        {"SpinEdit1", Qt::Key_Up, 250, 2500}, {"SpinEdit2", Qt::Key_Up, 20, 10},  {"SpinEdit2", Qt::Key_Down, 20, 0},
        {"SpinEdit3", Qt::Key_Up, 20, 10},    {"SpinEdit3", Qt::Key_Down, 20, 0}, {"SpinEdit3", Qt::Key_Up, 4, 4},
    };
    QTest::mouseClick(settingsControl<QCheckBox>("chkSpecSize"), Qt::LeftButton);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + (row.key == Qt::Key_Up ? " up " : " down ") + std::to_string(row.presses));
        auto* spin = settingsControl<QSpinBox>(row.name);
        for (int i = 0; i < row.presses; ++i)
            QTest::keyClick(spin, row.key);
        EXPECT_EQ(spin->value(), row.expected);
    }
    ListingOptions options = frmOptions->options();
    EXPECT_EQ(options.sizeFilterKb, 2500);
    EXPECT_EQ(options.indentSize, 0);
    EXPECT_EQ(options.fieldSpacing, 4);
}

// Page Up and Page Down move ten steps; a held arrow key (its repeats) speeds up, and a new
// press starts again at one step.
TEST_F(SettingsDialogTest, SpinEditsPageAndSpeedUpWhenHeld)
{
    QTest::mouseClick(settingsControl<QCheckBox>("chkSpecSize"), Qt::LeftButton);
    auto* size = settingsControl<QSpinBox>("SpinEdit1");
    auto hold = [&](Qt::Key key, int repeats) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(size, &press);
        for (int i = 0; i < repeats; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(size, &repeat);
        }
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(size, &release);
    };
    struct Row {
        const char* what;
        std::function<void()> act;
        int expected;
    };
    const Row rows[] = {
        {"page up", [&] { QTest::keyClick(size, Qt::Key_PageUp); }, 100},
        {"page up again", [&] { QTest::keyClick(size, Qt::Key_PageUp); }, 200},
        {"page down", [&] { QTest::keyClick(size, Qt::Key_PageDown); }, 100},
        {"page down below 0",
         [&] {
             QTest::keyClick(size, Qt::Key_PageDown);
             QTest::keyClick(size, Qt::Key_PageDown);
         },
         0},
        // 10 steps of 10 Kb, 20 of 100 Kb, then 1,000 Kb a step.
        {"up held for 40 steps", [&] { hold(Qt::Key_Up, 39); }, 10 * 10 + 20 * 100 + 10 * 1000},
        {"a new press is one step", [&] { QTest::keyClick(size, Qt::Key_Up); }, 12110},
        {"down held for 12 steps", [&] { hold(Qt::Key_Down, 11); }, 12110 - 10 * 10 - 2 * 100},
        {"up held for 5 steps", [&] { hold(Qt::Key_Up, 4); }, 11810 + 5 * 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        EXPECT_EQ(size->value(), row.expected);
    }
    // The ranges hold whatever the speed.
    auto* indent = settingsControl<QSpinBox>("SpinEdit2");
    QTest::keyClick(indent, Qt::Key_PageUp);
    EXPECT_EQ(indent->value(), 10);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(indent, &press);
    for (int i = 0; i < 40; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(indent, &repeat);
    }
    EXPECT_EQ(indent->value(), 0);
}

// Every field the dialog edits goes into its control and comes back out unchanged, away
// from its default in both directions.
TEST_F(SettingsDialogTest, EveryFieldSurvivesTheControls)
{
    const ListingOptions start = frmOptions->options();
    ListingOptions flipped = start;
    for (bool ListingOptions::*flag :
         {&ListingOptions::showName,        &ListingOptions::showSize,          &ListingOptions::showAttributes,
          &ListingOptions::showDateTime,    &ListingOptions::showPath,          &ListingOptions::showLevel,
          &ListingOptions::excludeReadOnly, &ListingOptions::excludeHidden,     &ListingOptions::excludeSystem,
          &ListingOptions::excludeVolumeId, &ListingOptions::excludeDirectory,  &ListingOptions::excludeArchive,
          &ListingOptions::excludeAnyFile,  &ListingOptions::sizeFilterEnabled, &ListingOptions::dateFilterEnabled,
          &ListingOptions::pdfSecurity,     &ListingOptions::allowPrint,        &ListingOptions::allowChange,
          &ListingOptions::allowCopy,       &ListingOptions::landscape})
        flipped.*flag = !(start.*flag);
    flipped.fieldSpacing = 7;
    flipped.indentSize = 0;
    flipped.fileMask = "*.doc; *.dot";
    flipped.sizeFilterMode = SizeFilterMode::AtMost;
    flipped.sizeFilterKb = 120;
    flipped.dateFrom = LocalDateTime{2021, 2, 3, 11, 48, 27, 990};
    flipped.dateTo = LocalDateTime{2022, 12, 31, 11, 49, 24, 450};
    flipped.pdfTitle = "Title";
    flipped.pdfAuthor = "Author";
    flipped.pdfPassword = "secret";
    flipped.pdfPasswordConfirm = "secreT";
    flipped.listingFont = FontChoice{"Liberation Serif", 12, true, true, false, true};
    flipped.folderColor = RgbColor{1, 2, 3};
    flipped.fileColor = RgbColor{250, 128, 0};

    frmOptions->showOptions(flipped);
    EXPECT_TRUE(frmOptions->options() == flipped);
    frmOptions->showOptions(start);
    EXPECT_TRUE(frmOptions->options() == start);
}

TEST_F(SettingsDialogTest, SpinEditsRefuseTypingPasteAndCut)
{
    auto* spin = settingsControl<QSpinBox>("SpinEdit3");
    QApplication::clipboard()->setText(QStringLiteral("7"));
    struct Row {
        const char* what;
        std::function<void()> act;
    };
    const Row rows[] = {
        {"digit", [&] { QTest::keyClicks(spin, QStringLiteral("9")); }},
        {"letters", [&] { QTest::keyClicks(spin, QStringLiteral("ab")); }},
        {"backspace", [&] { QTest::keyClick(spin, Qt::Key_Backspace); }},
        {"delete", [&] { QTest::keyClick(spin, Qt::Key_Delete); }},
        {"paste", [&] { QTest::keySequence(spin, QKeySequence::Paste); }},
        {"cut", [&] { QTest::keySequence(spin, QKeySequence::Cut); }},
        {"select all then digit",
         [&] {
             QTest::keySequence(spin, QKeySequence::SelectAll);
             QTest::keyClicks(spin, QStringLiteral("5"));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        EXPECT_EQ(spin->value(), 2);
        EXPECT_EQ(spin->text(), QStringLiteral("2"));
    }
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->value(), 3);
}

TEST_F(SettingsDialogTest, PermissionBoxesWithholdWhatTheyTick)
{
    struct Row {
        const char* box;
        bool ListingOptions::*field;
    };
    const Row rows[] = {
        {"chkAllowPrint", &ListingOptions::allowPrint},
        {"chkAllowChange", &ListingOptions::allowChange},
        {"chkAllowCopy", &ListingOptions::allowCopy},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.box);
        auto* box = settingsControl<QCheckBox>(row.box);
        EXPECT_FALSE(frmOptions->options().*row.field);
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_TRUE(frmOptions->options().*row.field);
        // The other two stay withheld.
        int allowed = 0;
        ListingOptions now = frmOptions->options();
        for (const Row& other : rows)
            allowed += now.*other.field ? 1 : 0;
        EXPECT_EQ(allowed, 1);
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_FALSE(frmOptions->options().*row.field);
    }
}

TEST_F(SettingsDialogTest, ControlsEditTheirOptions)
{
    struct Row {
        const char* what;
        std::function<void()> act;
        std::function<bool(const ListingOptions&)> holds;
    };
    auto click
        = [this](const char* name) { QTest::mouseClick(settingsControl<QAbstractButton>(name), Qt::LeftButton); };
    const Row rows[] = {
        {"chkDisp1", [&] { click("chkDisp1"); }, [](const ListingOptions& o) { return !o.showName && o.showSize; }},
        {"chkDisp4", [&] { click("chkDisp4"); }, [](const ListingOptions& o) { return !o.showDateTime && o.showPath; }},
        {"chkDisp6", [&] { click("chkDisp6"); }, [](const ListingOptions& o) { return !o.showLevel; }},
        {"CheckBox1", [&] { click("CheckBox1"); },
         [](const ListingOptions& o) { return o.excludeReadOnly && !o.excludeHidden; }},
        {"CheckBox2", [&] { click("CheckBox2"); }, [](const ListingOptions& o) { return o.excludeHidden; }},
        {"CheckBox3", [&] { click("CheckBox3"); }, [](const ListingOptions& o) { return o.excludeSystem; }},
        {"CheckBox4", [&] { click("CheckBox4"); }, [](const ListingOptions& o) { return o.excludeVolumeId; }},
        {"CheckBox5", [&] { click("CheckBox5"); }, [](const ListingOptions& o) { return o.excludeDirectory; }},
        {"CheckBox6", [&] { click("CheckBox6"); }, [](const ListingOptions& o) { return o.excludeArchive; }},
        {"CheckBox7", [&] { click("CheckBox7"); }, [](const ListingOptions& o) { return o.excludeAnyFile; }},
        {"chkSpecDate", [&] { click("chkSpecDate"); }, [](const ListingOptions& o) { return o.dateFilterEnabled; }},
        {"RadioButton1", [&] { click("RadioButton1"); }, [](const ListingOptions& o) { return !o.landscape; }},
        {"RadioButton2", [&] { click("RadioButton2"); }, [](const ListingOptions& o) { return o.landscape; }},
        {"editTitle", [&] { QTest::keyClicks(settingsControl<QLineEdit>("editTitle"), QStringLiteral("My list")); },
         [](const ListingOptions& o) { return o.pdfTitle == "My list"; }},
        {"editAuthor", [&] { QTest::keyClicks(settingsControl<QLineEdit>("editAuthor"), QStringLiteral("Ann")); },
         [](const ListingOptions& o) { return o.pdfAuthor == "Ann"; }},
        {"chkPass", [&] { click("chkPass"); }, [](const ListingOptions& o) { return o.pdfSecurity; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        EXPECT_TRUE(row.holds(frmOptions->options()));
    }
}

TEST_F(SettingsDialogTest, DatePickersChangeOnlyTheDate)
{
    ListingOptions start = frmOptions->options();
    QDate today = QDate::currentDate();
    EXPECT_EQ(start.dateFrom, (LocalDateTime{today.year(), today.month(), today.day(), 11, 48, 27, 990}));
    EXPECT_EQ(start.dateTo, (LocalDateTime{today.year(), today.month(), today.day(), 11, 49, 24, 450}));

    auto* from = settingsControl<QDateEdit>("DateTimePicker1");
    auto* to = settingsControl<QDateEdit>("DateTimePicker2");
    EXPECT_TRUE(from->calendarPopup());
    from->setDate(QDate(2021, 3, 4));
    to->setDate(QDate(2020, 12, 31));
    ListingOptions changed = frmOptions->options();
    EXPECT_EQ(changed.dateFrom, (LocalDateTime{2021, 3, 4, 11, 48, 27, 990}));
    EXPECT_EQ(changed.dateTo, (LocalDateTime{2020, 12, 31, 11, 49, 24, 450}));
}

// Each colour button opens the dialog on its own swatch's colour, the one a choice replaces.
TEST_F(SettingsDialogTest, ColourDialogOpensOnTheSwatchsOwnColour)
{
    auto* folderButton = settingsControl<QPushButton>("cmdSelColFold");
    auto* fileButton = settingsControl<QPushButton>("cmdSelColFile");
    const QColor maroon(128, 0, 0);
    const QColor navy(0, 0, 128);
    const QColor green(0, 160, 0);
    const QColor orange(255, 128, 0);
    dialogs.colorAnswers = {green, std::nullopt, orange};

    QTest::mouseClick(folderButton, Qt::LeftButton); // green for folders
    QTest::mouseClick(fileButton, Qt::LeftButton);   // cancelled
    QTest::mouseClick(fileButton, Qt::LeftButton);   // orange for files
    QTest::mouseClick(folderButton, Qt::LeftButton); // cancelled (no answers left)
    QTest::mouseClick(fileButton, Qt::LeftButton);   // cancelled

    EXPECT_EQ(dialogs.colorDialogOpenedOn, (QList<QColor>{maroon, navy, navy, green, orange}));
    ListingOptions options = frmOptions->options();
    EXPECT_EQ(options.folderColor, (RgbColor{0, 160, 0}));
    EXPECT_EQ(options.fileColor, (RgbColor{255, 128, 0}));
}

// The pickers show a date as the listing's header does (strftime's %x).
TEST_F(SettingsDialogTest, DatePickersShowTheListingsShortDate)
{
    auto* from = settingsControl<QDateEdit>("DateTimePicker1");
    from->setDate(QDate(2026, 12, 8));
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 8;
    char text[64];
    std::size_t length = std::strftime(text, sizeof text, "%x", &tm);
    EXPECT_EQ(from->text(), QString::fromLatin1(text, static_cast<qsizetype>(length)));
    EXPECT_EQ(from->text(), QStringLiteral("12/08/26")); // the C locale of the tests
}

TEST(DateFormats, StrftimeFormatsBecomeDateEditFormats)
{
    struct Case {
        const char* strftime;
        const char* qt; // empty: not to be shown by a date edit
    } cases[] = {
        {"%m/%d/%y", "MM/dd/yy"},
        {"%d.%m.%Y", "dd.MM.yyyy"},
        {"%d.%m.%y", "dd.MM.yy"},
        {"%Y-%m-%d", "yyyy-MM-dd"},
        {"%F", "yyyy-MM-dd"},
        {"%D", "MM/dd/yy"},
        {"%e/%m/%Y", "d/MM/yyyy"},
        {"%d %b %Y", "dd MMM yyyy"},
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5",
         "yyyy\xE5\xB9\xB4MM\xE6\x9C\x88"
         "dd\xE6\x97\xA5"},
        {"%d de %B de %Y", "dd' de 'MMMM' de 'yyyy"},
        {"%Ey", "yy"},
        {"%d'%m", "dd''''MM"},
        {"%C%y", ""},
        {"%U", ""},
        {"%d%", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qtDateFormat(c.strftime), QString::fromUtf8(c.qt)) << c.strftime;
}

// The font dialog lists installed families only. It opens on the family that draws the
// listing font (the substitute of "MS Sans Serif"), at its size and style; OK without a
// change keeps the font as it was.
TEST_F(SettingsDialogTest, FontDialogOpensOnTheFontThatDrawsTheListingFont)
{
    auto* fontButton = settingsControl<QPushButton>("cmdSelFont");
    auto* sample = settingsControl<QLineEdit>("EditEx");
    const QFont sampleBefore = sample->font();
    const FontChoice before = frmOptions->options().listingFont;
    ASSERT_EQ(before.face, "MS Sans Serif");

    dialogs.fontAnswers = {std::nullopt};
    QTest::mouseClick(fontButton, Qt::LeftButton);
    ASSERT_EQ(dialogs.fontDialogOpenedOn.size(), 1);
    const QFont opened = dialogs.fontDialogOpenedOn[0];
    EXPECT_EQ(opened.family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(opened.pointSize(), 8);
    EXPECT_FALSE(opened.bold());
    EXPECT_FALSE(opened.italic());
    // Qt's own dialog, given that font, shows it and no other.
    QFontDialog real(opened);
    EXPECT_EQ(real.currentFont().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(real.currentFont().pointSize(), 8);
    EXPECT_FALSE(real.currentFont().bold());
    EXPECT_FALSE(real.currentFont().italic());

    // OK on the font as it opened: nothing changes, not even the name.
    dialogs.fontAnswers = {real.currentFont()};
    QTest::mouseClick(fontButton, Qt::LeftButton);
    EXPECT_TRUE(frmOptions->options().listingFont == before);
    EXPECT_EQ(sample->font(), sampleBefore);
}

TEST_F(SettingsDialogTest, FontDialogOpensOnTheLastChosenFontAndSetsTheSample)
{
    auto* fontButton = settingsControl<QPushButton>("cmdSelFont");
    auto* sample = settingsControl<QLineEdit>("EditEx");
    QFont chosen(QStringLiteral("Liberation Serif"), 14);
    chosen.setItalic(true);
    dialogs.fontAnswers = {chosen, std::nullopt};

    QTest::mouseClick(fontButton, Qt::LeftButton);
    QTest::mouseClick(fontButton, Qt::LeftButton);

    ASSERT_EQ(dialogs.fontDialogOpenedOn.size(), 2);
    EXPECT_EQ(dialogs.fontDialogOpenedOn[0].family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(dialogs.fontDialogOpenedOn[0].pointSize(), 8);
    EXPECT_EQ(dialogs.fontDialogOpenedOn[1].family(), chosen.family());
    EXPECT_EQ(dialogs.fontDialogOpenedOn[1].pointSize(), 14);
    EXPECT_TRUE(dialogs.fontDialogOpenedOn[1].italic());
    EXPECT_EQ(sample->font(), chosen);

    FontChoice listingFont = frmOptions->options().listingFont;
    EXPECT_EQ(listingFont.face, "Liberation Serif");
    EXPECT_EQ(listingFont.pointSize, 14);
    EXPECT_TRUE(listingFont.italic);
}

TEST_F(SettingsDialogTest, StartsFromTheDefaults)
{
    QDate today = QDate::currentDate();
    ListingOptions expected = ListingOptions::defaults(today.year(), today.month(), today.day());
    ListingOptions actual = Form1->listingOptions();
    EXPECT_EQ(actual.fileMask, expected.fileMask);
    EXPECT_EQ(actual.fieldSpacing, expected.fieldSpacing);
    EXPECT_EQ(actual.indentSize, expected.indentSize);
    EXPECT_EQ(actual.sizeFilterMode, expected.sizeFilterMode);
    EXPECT_EQ(actual.sizeFilterKb, expected.sizeFilterKb);
    EXPECT_EQ(actual.dateFrom, expected.dateFrom);
    EXPECT_EQ(actual.dateTo, expected.dateTo);
    EXPECT_EQ(actual.includeSubfolders, expected.includeSubfolders);
    EXPECT_EQ(actual.openAfterCreation, expected.openAfterCreation);
    EXPECT_EQ(actual.allowPrint, expected.allowPrint);
    EXPECT_EQ(actual.landscape, expected.landscape);
    EXPECT_EQ(actual.listingFont, expected.listingFont);
    EXPECT_EQ(actual.folderColor, expected.folderColor);
    EXPECT_EQ(actual.fileColor, expected.fileColor);
}

} // namespace
} // namespace zintrel::test
