// What the COM engine uses of the Windows COM header; fakeax.cpp records it.
#pragma once

typedef long HRESULT;
typedef unsigned long DWORD;
enum { COINIT_MULTITHREADED = 0x0 };
HRESULT CoInitializeEx(void* reserved, DWORD flags);
