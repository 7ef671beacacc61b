#include "MountWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace zintrel {

MountWatcher::MountWatcher(QObject* parent)
    : QObject(parent)
    , m_fd(::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC))
{
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    // The kernel marks each change once, at the next poll: nothing to read to clear it.
    connect(m_notifier, &QSocketNotifier::activated, this, &MountWatcher::changed);
}

MountWatcher::~MountWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace zintrel
