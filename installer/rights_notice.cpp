// The rights notice, in one place for the header and the version information's test.
#include "installer/rights_notice.h"

#include "installer/product.h"

namespace nimbic {

std::string RightsNotice(int32_t year)
{
    std::string notice = "\xC2\xA9 " + std::to_string(product::first_notice_year);
    if (year > product::first_notice_year) {
        notice += "\xE2\x80\x93" + std::to_string(year);
    }
    return notice + " " + std::string(product::maker) + ". All rights reserved.";
}

} // namespace nimbic
