#pragma once

#include <QString>

#include <string>

namespace zintrel {

// The short date format of LC_TIME as strftime spells it: what %x stands for.
std::string shortDateFormat();

// The QDateEdit display format that shows a date as strftimeFormat does; empty when the
// format uses something a date edit cannot show (the century alone, a week number, ...).
QString qtDateFormat(const std::string& strftimeFormat);

} // namespace zintrel
