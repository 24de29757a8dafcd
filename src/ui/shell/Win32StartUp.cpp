// The running copy is a hidden window of the user's desktop, handed files by WM_COPYDATA: it
// goes with the process however that ends, and other users' desktops do not see it.

#include "ui/shell/StartUp.h"

#include <windows.h>

namespace {

constexpr ULONG_PTR FileTag = 0x53445446; // a file to open, as UTF-16
constexpr LRESULT Taken = 1;
constexpr UINT AnswerMs = 5000;
// A starting copy takes longer than this only when something is wrong with it.
constexpr DWORD TurnMs = 10000;

const wchar_t* Wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

LRESULT CALLBACK ChannelProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_COPYDATA)
        return DefWindowProcW(window, message, wparam, lparam);
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    auto* copy = reinterpret_cast<RunningCopy*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!copy || data->dwData != FileTag || data->cbData % sizeof(wchar_t) != 0)
        return 0;
    copy->Received(QString::fromWCharArray(static_cast<const wchar_t*>(data->lpData),
                                           data->cbData / sizeof(wchar_t)));
    return Taken;
}

} // namespace

QString InstanceName() {
    return QStringLiteral("SalvodeskRunningCopy");
}

bool HandToRunningCopy(const QString& name, const QString& path) {
    HWND target = FindWindowExW(HWND_MESSAGE, nullptr, Wide(name), nullptr);
    if (!target)
        return false;
    // The running copy may then come to the front.
    DWORD process = 0;
    GetWindowThreadProcessId(target, &process);
    AllowSetForegroundWindow(process);
    COPYDATASTRUCT data{};
    data.dwData = FileTag;
    data.cbData = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(Wide(path));
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, AnswerMs, &answer) != 0 &&
           answer == static_cast<DWORD_PTR>(Taken);
}

struct StartUpTurn::Hold {
    HANDLE Mutex = nullptr;
    bool Owned = false;
};

StartUpTurn::StartUpTurn(const QString& name) : Own(std::make_unique<Hold>()) {
    // The session's own namespace: one turn per desktop, released with its process.
    Own->Mutex = CreateMutexW(nullptr, FALSE, Wide(QStringLiteral("Local\\") + name + "StartUp"));
    if (Own->Mutex) {
        const DWORD got = WaitForSingleObject(Own->Mutex, TurnMs);
        Own->Owned = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
    }
}

StartUpTurn::~StartUpTurn() {
    Release();
    if (Own->Mutex)
        CloseHandle(Own->Mutex);
}

void StartUpTurn::Release() {
    if (Own->Owned)
        ReleaseMutex(Own->Mutex);
    Own->Owned = false;
}

struct RunningCopy::Channel {
    QString Name;
    HWND Window = nullptr;
    bool Registered = false;
};

RunningCopy::RunningCopy(Workspace& workspace, QObject* parent)
    : QObject(parent), W(workspace), Own(std::make_unique<Channel>()) {}

RunningCopy::~RunningCopy() {
    if (Own->Window)
        DestroyWindow(Own->Window);
    if (Own->Registered)
        UnregisterClassW(Wide(Own->Name), GetModuleHandleW(nullptr));
}

bool RunningCopy::Listen(const QString& name) {
    if (FindWindowExW(HWND_MESSAGE, nullptr, Wide(name), nullptr))
        return false;
    Own->Name = name;
    WNDCLASSW kind{};
    kind.lpfnWndProc = ChannelProc;
    kind.hInstance = GetModuleHandleW(nullptr);
    kind.lpszClassName = Wide(Own->Name);
    Own->Registered = RegisterClassW(&kind) != 0;
    if (!Own->Registered)
        return false;
    Own->Window = CreateWindowExW(0, Wide(Own->Name), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  kind.hInstance, nullptr);
    if (!Own->Window)
        return false;
    SetWindowLongPtrW(Own->Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}
