#pragma once

#include <QStringListModel>

namespace zintrel {

// The names of one folder's visible files, read on a pool thread so that a folder of any
// size never stalls the window; a newer folder replaces a reading still under way.
class FileListModel : public QStringListModel {
    Q_OBJECT
public:
    using QStringListModel::QStringListModel;
    void setFolder(const QString& folder);
    const QString& folder() const { return m_folder; }

private:
    QString m_folder;
    quint64 m_generation = 0;
};

} // namespace zintrel
