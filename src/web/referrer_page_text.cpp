#include "web/referrer_page_text.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/product_text.h"
#include "base/version.h"
#include "settings/options.h"

namespace {

constexpr size_t kMaxPath = 259;

constexpr char kPageNameTail[] = " - Internet Referrering Page.htm";

// Filled with the page name, the address twice and the maker's site.
constexpr char kPageTemplate[] =
    "<html>\n"
    "<head>\n"
    "<title>%s</title>\n"
    "</head>\n"
    "\n"
    "<body>\n"
    "\n"
    "<font face=\"arial\" size=\"4\">\n"
    "\n"
    "Click to visit.....\n"
    "\n"
    "<br><br>\n"
    "\n"
    "<a href=\"%s\">%s</a><br><br>\n"
    "\n"
    "</font>\n"
    "\n"
    "<br><br>\n"
    "\n"
    "<table border=\"0\" width=\"400\">\n"
    "<td>\n"
    "<font face=\"arial\" size=\"2\">\n"
    "[<a href=\"%s\">BrackenmoorWorks</a> (and it's associates) cannot be held responsible for the content of "
    "linked internet sites/pages.\n"
    "The content of linked internet sites/pages is the property of their respective owners.]\n"
    "</font>\n"
    "</td>\n"
    "</table>\n"
    "\n"
    "</body>\n"
    "</html>";

}  // namespace

size_t FormatReferrerPageName(char* name)
{
    const int length = std::snprintf(name, kMaxPath + 1, "%s%s", AppVersion, kPageNameTail);
    return length < 0 ? 0 : static_cast<size_t>(length);
}

bool ComposeReferrerPagePath(std::wstring_view temp, std::wstring_view tmp, std::wstring_view pageName,
                             std::wstring& path)
{
    const size_t nameLength = pageName.size();
    if (nameLength > kMaxPath)
        return false;
    // Both values are held to the limit, even when TEMP alone will be used.
    const size_t folderLimit = kMaxPath - nameLength;
    if (temp.size() > folderLimit || tmp.size() > folderLimit)
        return false;
    std::wstring composed(!temp.empty() ? temp : tmp);
    if (composed.empty())
        return false;
    AddBackslash(composed);
    if (composed.size() + nameLength > kMaxPath)
        return false;
    composed += pageName;
    path = std::move(composed);
    return true;
}

bool FormatReferrerPageText(char* text, size_t size, const char* pageName, const char* address)
{
    const int length = std::snprintf(text, size, kPageTemplate, pageName, address, address, makerSiteAddress);
    return length >= 0 && static_cast<size_t>(length) < size;
}

void ComposeUpdateCheckAddress(char* address)
{
    std::strcpy(address, productPageAddress);
    AddBackslash(address);
    std::strcat(address, "version_checker.pl?version=");
    std::strcat(address, AppVersion);
}
