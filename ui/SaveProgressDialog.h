#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zintrel {

class SaveProgressState;

// The modal window of a running save: what it is doing (reading, with the folder and the
// folders and files listed so far; drawing the PDF, with the page and a bar over the
// listing's lines; encrypting and writing), and Cancel. Rejecting it (Cancel, Escape, the close box) asks the save to
// stop.
class SaveProgressDialog : public QDialog {
    Q_OBJECT
public:
    SaveProgressDialog(const SaveProgressState& state, QWidget* parent);

    // Shows the state now and then every tick until the dialog is hidden.
    void startPolling();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    const SaveProgressState& m_state;
    QLabel* m_caption; // what the save is doing
    QLabel* m_folder;
    QLabel* m_counts;
    QProgressBar* m_busy;
    QPushButton* m_cancel;
    QTimer m_poll;
};

} // namespace zintrel
