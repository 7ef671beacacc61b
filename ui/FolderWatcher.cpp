#include "FolderWatcher.h"

#include <QSet>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

namespace zintrel {

namespace {

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF
    | IN_ONLYDIR;
constexpr std::size_t kEventBuffer = 16 * 1024;

} // namespace

FolderWatcher::FolderWatcher(QObject* parent)
    : QObject(parent)
    , m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
    }
}

FolderWatcher::~FolderWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderWatcher::watch(const QByteArray& folder)
{
    Watch& watch = m_watches[folder];
    if (watch.users++ > 0 || m_fd < 0)
        return;
    watch.descriptor = ::inotify_add_watch(m_fd, folder.constData(), kEvents);
    if (watch.descriptor >= 0)
        m_folders.insert(watch.descriptor, folder);
}

void FolderWatcher::unwatch(const QByteArray& folder)
{
    auto found = m_watches.find(folder);
    if (found == m_watches.end() || --found->users > 0)
        return;
    if (found->descriptor >= 0) {
        ::inotify_rm_watch(m_fd, found->descriptor);
        m_folders.remove(found->descriptor);
    }
    m_watches.erase(found);
}

void FolderWatcher::clear()
{
    for (int descriptor : m_folders.keys())
        ::inotify_rm_watch(m_fd, descriptor);
    m_folders.clear();
    m_watches.clear();
}

void FolderWatcher::readEvents()
{
    QSet<QByteArray> touched;
    alignas(inotify_event) char buffer[kEventBuffer];
    for (;;) {
        ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            auto folder = m_folders.constFind(event->wd);
            if (folder != m_folders.constEnd())
                touched.insert(*folder);
            // A folder that is gone has lost its watch with it.
            if ((event->mask & IN_IGNORED) && folder != m_folders.constEnd()) {
                auto watch = m_watches.find(*folder);
                if (watch != m_watches.end())
                    watch->descriptor = -1;
                m_folders.remove(event->wd);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    for (const QByteArray& folder : touched)
        emit changed(folder);
}

} // namespace zintrel
