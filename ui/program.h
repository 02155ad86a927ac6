// The program's start-up texts, its title and the two ways out.
#pragma once

#include "core/text.h"

// The program's own name and version: set by the window's created event, released by the unload
// routine when the program ends.
extern Text ProgramName;
extern Text ProgramVersion;

// The vendor's web site (in the title, opened when the window closes) and the page the close button opens.
Text VendorSite();
Text VendorClosingPage();

// Releases ProgramName and ProgramVersion; registered with atexit at start-up.
void ReleaseProgramTexts();

// MainWindow exists with all its controls: sets the name and version and shows them.
void OnMainWindowCreated();
// Name in the header, the brand text right after it, and the window's title.
void ShowTitle();
// Asks the shell to open target (a web address: the default browser) and returns at once.
void OpenDocument(const Text& target);

// A close request (close box, system menu, Alt+F4, Esc): opens the vendor's site. It never refuses:
// the window then closes as by default.
void OnCloseRequest();
// 功能_关闭软件 clicked: opens the closing page and ends the program at once, exit code 0.
[[noreturn]] void OnCloseButtonClicked();
