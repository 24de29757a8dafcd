#include "device/DeviceSession.h"

#include "device/port/PortTexts.h"

#include <cstdio>

namespace salvo {

const std::array<const char*, 3> InstructionLines = {
    "Connectez le ignivelle au PC par la liaison série.",
    "Mettez en marche l'appareil en appuyant sur le bouton.",
    "Appuyez sur \"Connecter\" pour lancer le transfert.",
};

const char* const MsgWrongModel = "Le type d'appareil ne correspond pas à un Ignivelle.\n\n\r"
                                  "L'appareil n'est pas un Ignivelle!";

const char* const DeviceSession::Separator = " ";

std::string DeviceSession::VersionText(int major, int minor) {
    char text[64];
    std::snprintf(text, sizeof text, "La version du circuit est %u.%u",
                  static_cast<unsigned>(major), static_cast<unsigned>(minor));
    return text;
}

void DeviceSession::Instructions() {
    for (const char* line : InstructionTexts())
        Status(line);
}

void DeviceSession::StopTimer() {
    Reporter.SetTimerEnabled(false);
}

void DeviceSession::SetPosition(int position) {
    Position = position < ProgressMaximum ? position : ProgressMaximum;
    Reporter.SetProgressPosition(Position);
}

void DeviceSession::Activate() {
    Reporter.ClearStatus();
    Instructions();
}

bool DeviceSession::OpenForSearch() {
    Reporter.ShowProgress(false);
    SetPosition(0);
    Status(Separator);
    Status("Recherche de la connexion.");
    Reporter.RepaintStatus();
    if (!Link || Link->OpenPort() != Success) {
        // The box says only that the port is not valid; the memo says why.
        if (Link)
            Status(PortOpenFailureText(Link->LastError, Link->PortName));
        Reporter.ShowInformation("Le port série n'est pas valide", InfoButton::Ok);
        return false;
    }
    PortLostShown = false;
    ShowPortReach();
    Reporter.SetTimerInterval(SearchInterval);
    Reporter.SetTimerEnabled(true);
    Reporter.SetConnectionEnabled(false);
    Reporter.SetCancelEnabled(true);
    Reporter.ShowProgress(false);
    SetPosition(0);
    return true;
}

void DeviceSession::ShowPortReach() {
    // The same COM number may now lead to another adapter, or to none.
    std::string reach = PortReachLine(Link->PortName);
    if (!reach.empty())
        Status(reach);
}

bool DeviceSession::Search() {
    // A port let go after it failed is opened again as soon as it is back: a replugged adapter
    // is found without leaving the dialog.
    if (!Link->PortOpen()) {
        if (Link->OpenPort() != Success)
            return false;
        ShowPortReach();
    }
    int32_t result = Link->Connect(1);
    if (result != Success) {
        // Nothing shown while nobody answers: the next tick asks again. A port that fails
        // outright (an adapter pulled out) would fail every later try as well.
        if (result == NoAnswer) {
            PortLostShown = false;
        } else {
            if (!PortLostShown)
                Status(PortLostText(Link->PortName));
            PortLostShown = true;
            Link->ClosePort();
        }
        return false;
    }
    PortLostShown = false;
    Status("Appareil connecté");
    Status(Separator);
    return true;
}

void DeviceSession::Fail(SessionFailure code) {
    StopTimer();
    Reporter.PostSessionFailed(code);
}

void DeviceSession::BackToIdle() {
    StopTimer();
    Reporter.SetQuitEnabled(true);
    Reporter.SetConnectionEnabled(true);
    Reporter.SetCancelEnabled(false);
    Reporter.ShowProgress(false);
    SetPosition(0);
    Status(Separator);
    Instructions();
}

void DeviceSession::FailedEnding(const char* line, const char* box, const std::string& note) {
    if (Link)
        Link->EndSession();
    Status(Separator);
    if (line)
        Status(line);
    if (!note.empty())
        Status(note);
    if (box)
        Reporter.ShowInformation(box, InfoButton::Ok);
    BackToIdle();
}

void DeviceSession::Cancel() {
    StopTimer();
    Reporter.SetConnectionEnabled(true);
    if (Link)
        Link->EndSession();
    Reporter.CloseDialog();
}

void DeviceSession::Quit() {
    StopTimer();
    Reporter.SetConnectionEnabled(true);
    if (Link) {
        Link->EndSession();
        Link->ClosePort();
    }
    Reporter.CloseDialog();
}

void DeviceSession::Close() {
    // Left as "&Annuler" leaves it, so that the next showing can connect.
    StopTimer();
    Reporter.SetConnectionEnabled(true);
    if (Link)
        Link->EndSession();
}

} // namespace salvo
