#pragma once
// Plays the transfer dialog for session tests and the protocol fuzzer: records what the session
// shows and delivers the posted endings after the tick, as the dialog's event queue does.

#include "device/TransferSession.h"

#include <algorithm>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace salvo::test {

using Lines = std::vector<std::string>;

// Ticks while the timer runs and hands over each posted ending (-1 for success, else the
// failure code) once its tick has returned, as the dialogs' event loop does.
template <class SessionType>
int RunSession(SessionType& session, std::deque<int>& posted, const bool& timerOn, int maxTicks) {
    int ticks = 0;
    while (ticks < maxTicks) {
        if (!posted.empty()) {
            int ending = posted.front();
            posted.pop_front();
            if (ending < 0)
                session.SessionSucceeded();
            else
                session.SessionFailed(static_cast<SessionFailure>(ending));
        } else if (timerOn) {
            session.Tick();
            ++ticks;
        } else {
            break;
        }
    }
    return ticks;
}

class DialogDouble : public TransferReporter {
public:
    TransferSession Session{*this};
    Lines Memo;
    std::vector<std::string> Events;
    std::vector<std::pair<std::string, InfoButton>> Boxes;
    std::vector<std::string> Questions;
    bool Answer = true;
    bool TimerOn = false;
    int Interval = 100;
    bool ProgressShown = false;
    int Position = 0;
    std::vector<int> Positions;
    bool ConnectionEnabled = true;
    bool CancelEnabled = false;
    bool QuitEnabled = true;
    int Closings = 0;
    std::deque<int> Posted; // -1 for success, else the failure code

    explicit DialogDouble(CP02* link, uint32_t expectedSerial = 0) {
        Session.SetLink(link);
        Session.ExpectedSerial = expectedSerial;
        Session.Activate();
    }

    void ClearStatus() override { Memo.clear(); }
    void AddStatusLine(const std::string& line) override { Memo.push_back(line); }
    void RepaintStatus() override { Events.push_back("repaint"); }
    void ShowProgress(bool shown) override { ProgressShown = shown; }
    void SetProgressPosition(int position) override {
        Position = position;
        Positions.push_back(position);
    }
    void SetTimerInterval(int ms) override { Interval = ms; }
    void SetTimerEnabled(bool on) override { TimerOn = on; }
    void SetConnectionEnabled(bool on) override { ConnectionEnabled = on; }
    void SetCancelEnabled(bool on) override { CancelEnabled = on; }
    void SetQuitEnabled(bool on) override { QuitEnabled = on; }
    bool AskSerialMismatch(const std::string& text) override {
        Questions.push_back(text);
        Events.push_back(TimerOn ? "question with timer on" : "question");
        return Answer;
    }
    void ShowInformation(const std::string& text, InfoButton button) override {
        Boxes.emplace_back(text, button);
        Events.push_back("box");
    }
    void Beep() override { Events.push_back("beep"); }
    void PostSessionFailed(SessionFailure code) override { Posted.push_back(code); }
    void PostSessionSucceeded() override { Posted.push_back(-1); }
    void CloseDialog() override {
        ++Closings;
        Session.Close();
    }

    int Run(int maxTicks = 100) { return RunSession(Session, Posted, TimerOn, maxTicks); }

    bool MemoHas(const std::string& line) const {
        return std::find(Memo.begin(), Memo.end(), line) != Memo.end();
    }
};

} // namespace salvo::test
