// Opening a web address or a file in the user's browser.
#pragma once

// Opens target (an address or a file) with the desktop's handler for it;
// when that can't be started or reports a failure, with the desktop's
// default program for HTML; when that fails too, with x-www-browser. True
// when one of them started. A null or empty target starts nothing: false.
bool LaunchBrowser(const char* target);
