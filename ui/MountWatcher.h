#pragma once

#include <QObject>

class QSocketNotifier;

namespace zintrel {

// Tells when a volume is mounted or unmounted anywhere on the machine, from the kernel's
// mount table (which reports each change as a priority event on /proc/self/mounts).
// Without that file nothing is reported.
class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr);
    ~MountWatcher() override;

signals:
    void changed();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace zintrel
