// Templates that only the Windows tests use (ids far from the program's).
#pragma once
#define IDD_TEST_EDIT 9001
#define IDC_TEST_EDIT 9002
#define IDC_TEST_COMBO 9003
