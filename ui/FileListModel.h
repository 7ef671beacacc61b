#pragma once

#include <QByteArray>
#include <QStringListModel>

namespace zintrel {

// The names of one folder's visible files, read on a pool thread so that a folder of any
// size never stalls the window; a newer reading replaces one still under way.
class FileListModel : public QStringListModel {
    Q_OBJECT
public:
    using QStringListModel::QStringListModel;
    // Shows another folder (given by its bytes); empty until it is read.
    void setFolder(const QByteArray& folder);
    // Reads the same folder again, keeping what is shown until the new names are in.
    void refresh();
    const QByteArray& folder() const { return m_folder; }

private:
    void read();

    QByteArray m_folder;
    quint64 m_generation = 0;
};

} // namespace zintrel
