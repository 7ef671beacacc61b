#include "Flate.h"

#include <stdexcept>
#include <zlib.h>

namespace zintrel {

std::string deflated(std::string_view data, int level)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), level)
        != Z_OK)
        throw std::runtime_error("The PDF document could not be compressed.");
    out.resize(size);
    return out;
}

std::string inflated(std::string_view data)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        throw std::runtime_error("zlib cannot start");
    std::string out;
    char buffer[1 << 14];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            break;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("not a zlib stream");
    return out;
}

} // namespace zintrel
