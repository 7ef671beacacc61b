#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

class QSocketNotifier;

namespace zintrel {

// Tells when a folder's entries change: one made, removed or renamed in it. Paths are the
// file system's bytes, so any folder can be watched. A folder watched for several reasons
// is watched once and counted; unwatch() as often as watch(). Without inotify (or past its
// limit) folders are simply not watched.
class FolderWatcher : public QObject {
    Q_OBJECT
public:
    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    void watch(const QByteArray& folder);
    void unwatch(const QByteArray& folder);
    // Forgets every folder at once.
    void clear();
    bool isWatching(const QByteArray& folder) const { return m_watches.contains(folder); }

signals:
    // Once per burst of events read together.
    void changed(const QByteArray& folder);

private:
    void readEvents();

    struct Watch {
        int descriptor = -1;
        int users = 0;
    };
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QHash<QByteArray, Watch> m_watches;
    QHash<int, QByteArray> m_folders; // by watch descriptor
};

} // namespace zintrel
