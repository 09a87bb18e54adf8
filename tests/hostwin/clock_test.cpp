// The simulated machine's clock, waits and threads.
#include <gtest/gtest.h>

#include "hostwin/sim.h"

namespace {

DWORD WINAPI SleepThenSet(LPVOID p) {
    Sleep(1500);
    SetEvent(static_cast<HANDLE>(p));
    return 7;
}

TEST(Clock, LongWaitsCostNoRealTime) {
    uint64_t start = hostwin::Now();
    Sleep(20 * 60 * 1000);
    EXPECT_EQ(hostwin::Now() - start, 20u * 60 * 1000);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_TIMEOUT);
    EXPECT_EQ(hostwin::Now() - start, 20u * 60 * 1000 + 5000);
    CloseHandle(event);
}

TEST(Clock, EarlierDeadlineWins) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    uint64_t start = hostwin::Now();
    HANDLE thread = CreateThread(nullptr, 0, SleepThenSet, event, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(hostwin::Now() - start, 1500u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    // Signalled before the wait: an auto-reset event is consumed once.
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST(Clock, ManualClockHoldsTimeUntilAdvanced) {
    hostwin::SetAutoAdvance(false);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    uint64_t start = hostwin::Now();
    HANDLE thread = CreateThread(nullptr, 0, SleepThenSet, event, 0, nullptr);
    hostwin::SettleThreads();
    hostwin::AdvanceClock(1000);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    hostwin::AdvanceClock(500);
    hostwin::SetAutoAdvance(true);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(hostwin::Now() - start, 1500u);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST(Handles, ClosedValuesAreReusedAndStaleUsesCounted) {
    HANDLE a = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(a);
    HANDLE b = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(a, b);  // as Windows reuses handle values
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x4444)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(hostwin::InvalidHandleUses(), 1);
    CloseHandle(b);
    EXPECT_EQ(hostwin::OpenHandleCount(), 0);
}

DWORD WINAPI HoldSectionForever(LPVOID p) {
    EnterCriticalSection(static_cast<CRITICAL_SECTION *>(p));
    Sleep(INFINITE);
    return 0;
}

TEST(Threads, TerminatedOwnerLeavesSectionHeld) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, HoldSectionForever, &cs, 0, &id);
    SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(hostwin::ThreadPriority(id), THREAD_PRIORITY_ABOVE_NORMAL);
    while (!hostwin::CriticalSectionHeld(&cs)) Sleep(1);
    EXPECT_TRUE(TerminateThread(thread, 2));
    EXPECT_EQ(WaitForSingleObject(thread, 1000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 2u);
    EXPECT_TRUE(hostwin::CriticalSectionHeld(&cs));
    CloseHandle(thread);
}

TEST(Faults, NamedCallFailsAfterSkips) {
    hostwin::FailCall("CreateEventA", 1, 1);
    HANDLE first = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr);
    HANDLE third = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(hostwin::CallCount("CreateEventA"), 3);
    CloseHandle(first);
    CloseHandle(third);
}

}  // namespace
