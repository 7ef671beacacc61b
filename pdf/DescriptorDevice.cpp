#include "DescriptorDevice.h"

namespace zintrel {

DescriptorDevice::DescriptorDevice(int fd, std::string displayPath)
    : m_out(fd, std::move(displayPath))
{
}

void DescriptorDevice::finish()
{
    if (!m_error) {
        try {
            m_out.flush();
        } catch (const IoError& error) {
            m_error = error;
        }
    }
    QIODevice::close();
    if (m_error)
        throw *m_error;
}

qint64 DescriptorDevice::writeData(const char* data, qint64 length)
{
    if (m_error)
        return -1;
    try {
        m_out.write(std::string_view(data, static_cast<std::size_t>(length)));
    } catch (const IoError& error) {
        m_error = error;
        return -1;
    }
    return length;
}

} // namespace zintrel
