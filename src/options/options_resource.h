// Identifiers of the options dialog and its controls, shared by the resource script and the
// dialog procedure. Plain preprocessor definitions, so that resource compilers read them too.
#pragma once

#define IDD_OPTIONS 101

#define IDC_CODEC 1004
#define IDC_FORMAT 1005
#define IDC_MODE 1006

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
