// The few KERNEL32 calls and types the plug-in uses, for builds without Windows.
// Each behaves as the plug-in relies on at its call; the Shim* functions let
// tests watch and break the local heap.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef void* HANDLE;
typedef void* HLOCAL;
typedef void* HINSTANCE;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef uintptr_t DWORD_PTR;
typedef intptr_t LONG_PTR;
typedef size_t SIZE_T;

#define WINAPI
#define TRUE 1
#define FALSE 0

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LMEM_LOCKCOUNT 0x00FFu
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(intptr_t(-1)))
#define INVALID_FILE_SIZE 0xFFFFFFFFu

// Local memory. A fixed block's handle is its address; a moveable block's is
// not, and a moveable block of 0 bytes locks to null, as on Windows.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
LPVOID LocalLock(HLOCAL block);
BOOL LocalUnlock(HLOCAL block);
HLOCAL LocalFree(HLOCAL block);  // null on success
SIZE_T LocalSize(HLOCAL block);
UINT LocalFlags(HLOCAL block);   // the lock count in LMEM_LOCKCOUNT

// Files. Handles are small integers (at most 0xFFFF). Share modes are honoured
// between the handles of this process: share mode 0 is really exclusive.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD attributes, HANDLE templateFile);
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* bytesRead, void* overlapped);
BOOL CloseHandle(HANDLE file);

// Threads, over POSIX threads. A thread's handle is a pointer, never a small
// integer like a file's; CloseHandle takes both. Starting a thread counts
// against the allocation countdown, so tests can fail it.
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID);
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_FAILED 0xFFFFFFFFu
HANDLE CreateThread(void* security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD* threadId);
DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds);  // threads only, INFINITE only
HANDLE GetCurrentProcess();
// The processors the process may run on: those of sched_getaffinity, unless
// SetProcessAffinityMask has narrowed them (which here changes only what is reported).
BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask);
BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR processMask);

LPSTR lstrcpyA(LPSTR to, LPCSTR from);
int lstrlenA(LPCSTR text);

// Test controls.
size_t ShimLiveLocalBlocks();
// Makes the nth allocation from now fail (1: the next one); 0 fails none.
void ShimFailAllocation(unsigned nth);
// Counts one allocation against the countdown; true when it must fail.
bool ShimAllocationFails();
