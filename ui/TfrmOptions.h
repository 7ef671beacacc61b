#pragma once

#include "listing/ListingOptions.h"

#include <QColor>
#include <QDialog>
#include <QFont>

#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace zintrel {

class ColorSwatch;
class UserDialogs;

// The settings dialog: the editor of every listing option but the two of the main window.
// The values live in its controls from program start to end; closing only hides it (the
// close box, Escape or Enter), and every change takes effect at once.
class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    // mainWindow is enabled again when the dialog closes.
    TfrmOptions(QWidget& mainWindow, UserDialogs& dialogs);

    // The options as the controls hold them now (includeSubfolders and openAfterCreation
    // keep their defaults; the main window supplies them).
    ListingOptions options() const;
    // Puts options into the controls.
    void showOptions(const ListingOptions& options);

public slots:
    void FormClose();
    void chkPassClick();
    void chkSpecSizeClick();
    void chkSpecDateClick();
    void cmdSelColFoldClick();
    void cmdSelColFileClick();
    void cmdSelFontClick();
    void SpinEdit1Change();
    void cmd_imagesClick();
    void cmd_soundsClick();
    void cmd_moviesClick();
    void cmd_docsClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void FormCreate();
    // The table of controls that edit one field each; dates, font, colours and the size
    // mode are mapped by hand.
    void bindControls();
    void buildDisplayGroup();
    void buildFiltersGroup();
    void buildPdfGroup();
    void appendPreset(const QString& list);
    void chooseColor(ColorSwatch& swatch);

    QWidget& m_mainWindow;
    UserDialogs& m_dialogs;

    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QGroupBox* GroupBox4;

    QGroupBox* GroupBox3;
    QCheckBox* chkDisp[6];
    QLabel* Label6;
    QSpinBox* SpinEdit3;
    QLabel* lblIndentSize;
    QSpinBox* SpinEdit2;

    QLabel* lblFileMask;
    QLineEdit* EditFileMask;
    QToolButton* cmd_images;
    QToolButton* cmd_sounds;
    QToolButton* cmd_movies;
    QToolButton* cmd_docs;
    QGroupBox* GroupBox5;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox5;
    QCheckBox* CheckBox6;
    QCheckBox* CheckBox7;
    QCheckBox* chkSpecSize;
    QComboBox* cmbLeastMost;
    QSpinBox* SpinEdit1;
    QCheckBox* chkSpecDate;
    QLabel* lblfrom;
    QDateEdit* DateTimePicker1;
    QLabel* lblto;
    QDateEdit* DateTimePicker2;

    QLabel* lblTitle;
    QLineEdit* editTitle;
    QLabel* lblAuthor;
    QLineEdit* editAuthor;
    QCheckBox* chkPass;
    QLabel* Label1;
    QLineEdit* EditPass;
    QLabel* Label2;
    QLineEdit* EditPass2;
    QLabel* lblDontAllow;
    QCheckBox* chkAllowPrint;
    QCheckBox* chkAllowChange;
    QCheckBox* chkAllowCopy;
    QGroupBox* GroupBox6;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QLabel* lblColFold;
    ColorSwatch* shFolder;
    QPushButton* cmdSelColFold;
    QLabel* lblColFile;
    ColorSwatch* shFile;
    QPushButton* cmdSelColFile;
    QLabel* Label5;
    QLineEdit* EditEx;
    QPushButton* cmdSelFont;

    struct CheckRow {
        QCheckBox* box;
        bool ListingOptions::*field;
        bool inverted; // ticked means the field is false
    };
    struct EditRow {
        QLineEdit* edit;
        std::string ListingOptions::*field;
    };
    struct SpinRow {
        QSpinBox* spin;
        int ListingOptions::*field;
    };
    std::vector<CheckRow> m_checkRows;
    std::vector<EditRow> m_editRows;
    std::vector<SpinRow> m_spinRows;

    // The date pickers show dates only; the times of day of the two dates are kept here.
    LocalDateTime m_dateFromTime;
    LocalDateTime m_dateToTime;
    FontChoice m_listingFont;
};

} // namespace zintrel
