#pragma once
// What every session with a device shares, whether it writes a program (TransferSession) or
// reads one back (ReadBackSession): the dialog it reports to, the search for the device, the
// cancel, quit and closing, and the way a session ends.

#include "device/Classep02.h"

#include <array>
#include <cstdint>
#include <string>

namespace salvo {

// Codes of the failed ending.
enum SessionFailure : int32_t { WrongModel = 0, TransmissionError = 1, SerialRefused = 2 };

constexpr int SearchInterval = 1500; // ms between ticks while looking for the device
constexpr int ProgressMaximum = 100;

extern const std::array<const char*, 3> InstructionLines;
extern const char* const MsgWrongModel;

enum class InfoButton { Ok, Yes };

// What a session shows and drives in its dialog.
class SessionReporter {
public:
    virtual ~SessionReporter() = default;

    // The status memo EditStatus.
    virtual void ClearStatus() = 0;
    virtual void AddStatusLine(const std::string& line) = 0;
    // Makes the memo visible and repaints it now, before a call that may block.
    virtual void RepaintStatus() = 0;

    // LabelProgression and ProgressionBar together (range 0 to ProgressMaximum).
    virtual void ShowProgress(bool shown) = 0;
    virtual void SetProgressPosition(int position) = 0;

    // TimerConnection.
    virtual void SetTimerInterval(int milliseconds) = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;

    // ButtonConnection, BoutonAnulation, ButtonQuitter.
    virtual void SetConnectionEnabled(bool enabled) = 0;
    virtual void SetCancelEnabled(bool enabled) = 0;
    virtual void SetQuitEnabled(bool enabled) = 0;

    // A modal information box with one button: "OK", or "&Oui" for the success box.
    virtual void ShowInformation(const std::string& text, InfoButton button) = 0;
    virtual void Beep() = 0;

    // Queue the ending on the dialog's own event queue; once the current tick has returned, the
    // dialog hands it to the session's SessionFailed or SessionSucceeded.
    virtual void PostSessionFailed(SessionFailure code) = 0;
    virtual void PostSessionSucceeded() = 0;

    // Close the dialog. However it closes, the dialog then calls the session's Close.
    virtual void CloseDialog() = 0;
};

class DeviceSession {
public:
    explicit DeviceSession(SessionReporter& reporter) : Reporter(reporter) {}
    virtual ~DeviceSession() = default;

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // The link for the coming sessions; borrowed, never freed here.
    void SetLink(CP02* link) { Link = link; }
    CP02* GetLink() const { return Link; }

    // The dialog is created or shown: the memo holds the instructions.
    virtual void Activate();
    // "&Connecter".
    virtual void Start() = 0;
    // One tick of TimerConnection: one step of the session.
    virtual void Tick() = 0;
    // The posted endings.
    virtual void SessionFailed(SessionFailure code) = 0;
    virtual void SessionSucceeded() = 0;
    // "&Annuler": the port stays held by the link.
    void Cancel();
    // "&Quitter": the port is released.
    void Quit();
    // The dialog closes, whatever closed it.
    virtual void Close();

    int ProgressPosition() const { return Position; }

protected:
    void Status(const std::string& line) { Reporter.AddStatusLine(line); }
    // The lines the memo shows between sessions; a read-back never speaks of a transfer.
    virtual const std::array<const char*, 3>& InstructionTexts() const { return InstructionLines; }
    void Instructions();
    void StopTimer();
    void SetPosition(int position);
    void Fail(SessionFailure code);
    // Start's common part: the search line, then the port opened and the search timer on.
    // False when the port could not be opened (its box was shown).
    bool OpenForSearch();
    // One search tick: true once the device has answered. A port that fails is released and
    // said lost, then opened again by the next ticks.
    bool Search();
    // The memo's line naming what the opened port reaches.
    void ShowPortReach();
    // The failed ending: the session ended, its status line, a note of ours under it, its box
    // (each none when null or empty), idle.
    void FailedEnding(const char* line, const char* box, const std::string& note = {});
    // The buttons, bar and timer of a session that has ended, then the instructions again.
    void BackToIdle();

    static std::string VersionText(int major, int minor);
    static const char* const Separator;

    SessionReporter& Reporter;
    CP02* Link = nullptr;
    int Position = 0;
    bool PortLostShown = false; // said once per loss
};

} // namespace salvo
