#pragma once

// Opens a web address the careful way: writes the referrer page (which
// shows the address as a link) into the temporary folder and opens that
// page with the shell. Only when the page cannot be written is the address
// itself handed to the shell. Nothing is reported either way.
void OpenViaReferrerPage(const char* address);
