#include "web/web_commands.h"

#include "base/product_text.h"
#include "ui/message_box.h"
#include "web/referrer_page.h"
#include "web/referrer_page_text.h"

namespace {

#define DW_PAGE_NOTE                                                                                       \
    "PLEASE NOTE: This will generate a HTML page that can be checked for routed personal information by " \
    "viewing the source. Your firewall will not be queried for permission."

constexpr char kVisitQuestion[] = "Visit the Dunewright internet site?\n\n" DW_PAGE_NOTE;
constexpr char kUpdateQuestion[] = "Check for 'Dunewright' updates?\n\n" DW_PAGE_NOTE;

#undef DW_PAGE_NOTE

}  // namespace

void VisitProductSite(HWND mainWindow)
{
    if (ShowMessage(mainWindow, kVisitQuestion, MB_YESNO | MB_ICONWARNING) == IDYES)
        OpenViaReferrerPage(productPageAddress);
}

void CheckForUpdates()
{
    if (ShowMessage(nullptr, kUpdateQuestion, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    char address[MAX_PATH + 1];
    ComposeUpdateCheckAddress(address);
    OpenViaReferrerPage(address);
}
