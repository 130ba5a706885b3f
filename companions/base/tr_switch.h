// Switching the message language inside a running process (tests, a future
// language setting of the window).
#pragma once

// Call after changing LANGUAGE or the message locale: gettext keeps the texts
// it has found, so a switch must be announced before Tr sees it.
void MessageLanguageChanged();
