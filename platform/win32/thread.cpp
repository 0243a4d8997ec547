// Worker threads on CreateThread. A thread is active while its handle is not signalled, which
// does not depend on the exit code it returns (GetExitCodeThread's "still active" is a value a
// body could return). Threads are always joined, never terminated: a worker ends within a pass.
#include "platform/thread.h"

#include <windows.h>

namespace platform {
namespace {

class Win32Thread final : public Thread {
public:
    explicit Win32Thread(Body body) : m_body(std::move(body)) {}

    bool Launch() {
        m_handle = ::CreateThread(nullptr, 0, &Win32Thread::Run, this, 0, nullptr);
        return m_handle != nullptr;
    }

    ~Win32Thread() override { Join(); }
    Win32Thread(const Win32Thread&) = delete;
    Win32Thread& operator=(const Win32Thread&) = delete;

    bool IsActive() const override {
        return m_handle != nullptr && ::WaitForSingleObject(m_handle, 0) == WAIT_TIMEOUT;
    }

    std::uint32_t ExitCode() const override {
        if (m_handle == nullptr) return m_exitCode;
        DWORD code = 0;
        return ::GetExitCodeThread(m_handle, &code) ? code : 0;
    }

    void Join() override {
        if (m_handle == nullptr) return;
        ::WaitForSingleObject(m_handle, INFINITE);
        DWORD code = 0;
        if (::GetExitCodeThread(m_handle, &code)) m_exitCode = code;
        ::CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    static DWORD WINAPI Run(void* self) { return static_cast<Win32Thread*>(self)->m_body(); }

    Body m_body;
    HANDLE m_handle = nullptr;
    std::uint32_t m_exitCode = 0;
};

}  // namespace

std::unique_ptr<Thread> Thread::Start(Body body) {
    auto thread = std::make_unique<Win32Thread>(std::move(body));
    if (!thread->Launch()) return nullptr;
    return thread;
}

}  // namespace platform
