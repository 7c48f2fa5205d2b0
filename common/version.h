// The version texts and the maker's lines shared by the banner, the help
// screen, the title blocks and the closing lines, and by the version resource
// of the Windows program (platform/win32/folmar.rc).
#pragma once

#define FOLMAR_VERSION "5.1b"
#define FOLMAR_VERSION_DATE "18 January, 2008"
#define FOLMAR_SETTINGS_SHARED_PATH "C:\\Orvan\\Folmar.ini"
#define FOLMAR_DEFAULT_OUTPUT "C:\\FolmarAll.txt"

#define MAKER_NAME "Orvan Software"
#define MAKER_WEB "www.orvan.example"
#define MAKER_EMAIL "sales@orvan.example"
#define MAKER_NOTICE "Copyright (c) Orvan Software 1994-2008"
// The copyright of this program's code, under the MIT licence (LICENSE).
#define FOLMAR_LICENCE_NOTICE "Copyright (c) 2026 the Folmar authors"
