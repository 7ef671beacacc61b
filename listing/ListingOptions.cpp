#include "ListingOptions.h"

namespace zintrel {

ListingOptions ListingOptions::defaults(int year, int month, int day)
{
    ListingOptions options;
    options.dateFrom = LocalDateTime{year, month, day, 11, 48, 27, 990};
    options.dateTo = LocalDateTime{year, month, day, 11, 49, 24, 450};
    return options;
}

} // namespace zintrel
