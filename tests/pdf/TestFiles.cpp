#include "TestFiles.h"

#include <fstream>
#include <stdexcept>

std::string TestFolder::writeListing(const std::string& name, const std::vector<std::string>& lines) const
{
    std::string file = path(name);
    std::ofstream out(file, std::ios::binary);
    for (const std::string& line : lines)
        out << line << "\r\n";
    if (!out.flush())
        throw std::runtime_error("cannot write " + file);
    return file;
}
