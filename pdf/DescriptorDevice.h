#pragma once

#include "platform/IoError.h"
#include "platform/OutputFile.h"

#include <QIODevice>

#include <optional>
#include <string>

namespace zintrel {

// Hands QPdfWriter's output to an OutputFile over a descriptor it does not own. QPdfWriter
// cannot take an exception, so the first failure is kept and thrown by finish().
class DescriptorDevice : public QIODevice {
public:
    DescriptorDevice(int fd, std::string displayPath);

    bool isSequential() const override { return true; }

    // Flushes; throws IoError on the first failure met so far.
    void finish();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    OutputFile m_out;
    std::optional<IoError> m_error;
};

} // namespace zintrel
