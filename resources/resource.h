#pragma once
// Resource identifiers shared by Tamsel2.rc and the code.
#define IDI_TAMSEL 1
#define IDC_DRAGHAND 101
#define IDR_LOGO 102
