// Identifiers of the dialog that the dialog manager's tests run.
#pragma once

#define IDD_TEST 200
#define IDC_PLAIN 300
#define IDC_SORTED 301
#define IDC_TEXT 302
