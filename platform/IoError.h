#pragma once

#include <stdexcept>
#include <string>

namespace zintrel {

// The user-facing text for an errno value: "File access denied", "Disk full" or "I/O error N".
std::string errorText(int errorNumber);

// A failed open, write, close or rename. what() is errorText(), on a second line the file,
// and on a third what went wrong where the number alone would not say it.
class IoError : public std::runtime_error {
public:
    IoError(int errorNumber, const std::string& path, const std::string& detail = {});
    int errorNumber() const { return m_errorNumber; }
    const std::string& path() const { return m_path; }

private:
    int m_errorNumber;
    std::string m_path;
};

} // namespace zintrel
