#include "TransferSession.h"

#include "PortTexts.h"

#include <cstdio>

namespace salvo {

const std::array<const char*, 3> InstructionLines = {
    "Connectez le ignivelle au PC par la liaison série.",
    "Mettez en marche l'appareil en appuyant sur le bouton.",
    "Appuyez sur \"Connecter\" pour lancer le transfert.",
};

namespace {

const char* const Separator = " ";

std::string SerialMismatchText(uint32_t device, uint32_t expected) {
    return "Le numéro de série du ignivelle (" + std::to_string(device) +
           ") n'est pas le numéro de série enregistré (" + std::to_string(expected) +
           ")\n\n\rVoulez vous programmer ce ignivelle avec ce programme?";
}

std::string VersionText(int major, int minor) {
    char text[64];
    std::snprintf(text, sizeof text, "La version du circuit est %u.%u",
                  static_cast<unsigned>(major), static_cast<unsigned>(minor));
    return text;
}

} // namespace

void TransferSession::Instructions() {
    for (const char* line : InstructionLines)
        Status(line);
}

void TransferSession::StopTimer() {
    Reporter.SetTimerEnabled(false);
}

void TransferSession::SetPosition(int position) {
    Position = position < ProgressMaximum ? position : ProgressMaximum;
    Reporter.SetProgressPosition(Position);
}

void TransferSession::Activate() {
    Reporter.ClearStatus();
    Instructions();
}

void TransferSession::Start() {
    Reporter.ShowProgress(false);
    SetPosition(0);
    Status(Separator);
    Status("Recherche de la connexion.");
    Reporter.RepaintStatus();
    TransferState = StepSearch;
    if (!Link || Link->OpenPort() != Success) {
        // The box says only that the port is not valid; the memo says why.
        if (Link)
            Status(PortOpenFailureText(Link->LastError, Link->PortName));
        Reporter.ShowInformation("Le port série n'est pas valide", InfoButton::Ok);
        return;
    }
    Reporter.SetTimerInterval(SearchInterval);
    Reporter.SetTimerEnabled(true);
    Reporter.SetConnectionEnabled(false);
    Reporter.SetCancelEnabled(true);
    Reporter.ShowProgress(false);
    SetPosition(0);
}

void TransferSession::Tick() {
    if (!Link) {
        StopTimer();
        return;
    }
    switch (TransferState) {
    case StepSearch:
        SearchStep();
        break;
    case StepModel:
        ModelStep();
        break;
    case StepSerial:
        SerialStep();
        break;
    case StepData:
        DataStep();
        break;
    default:
        if (TransferState >= StepEnd)
            EndStep();
        else
            SearchStep();
        break;
    }
}

void TransferSession::Fail(SessionFailure code) {
    StopTimer();
    Reporter.PostSessionFailed(code);
}

void TransferSession::SearchStep() {
    // Nothing shown while nobody answers: the next tick asks again.
    if (Link->Connect(1) != Success)
        return;
    Status("Appareil connecté");
    Status(Separator);
    TransferState = StepModel;
}

void TransferSession::ModelStep() {
    Status("Demande du type d'appareil");
    int32_t result = Link->CheckModel();
    if (result == OtherModel) {
        Fail(WrongModel);
        return;
    }
    // A device whose model could not be read is not one to write a program into.
    if (result != Success) {
        Fail(TransmissionError);
        return;
    }
    Status(Link->ModelName());
    Status(Separator);
    TransferState = StepSerial;
}

void TransferSession::SerialStep() {
    Status("Demande du numéro de série");
    uint32_t serial = 0;
    // Only numbers actually read are shown and compared.
    if (Link->ReadSerialNumber(serial) != Success) {
        Fail(TransmissionError);
        return;
    }
    Status("Le numéro de série est : " + std::to_string(serial));
    int major = 0;
    int minor = 0;
    if (Link->ReadCircuitVersion(major, minor) != Success) {
        Fail(TransmissionError);
        return;
    }
    Status(VersionText(major, minor));
    if (serial == ExpectedSerial) {
        BeginData();
        return;
    }
    StopTimer();
    if (Reporter.AskSerialMismatch(SerialMismatchText(serial, ExpectedSerial))) {
        BeginData();
        Reporter.SetTimerEnabled(true);
    } else {
        Reporter.PostSessionFailed(SerialRefused);
    }
}

void TransferSession::BeginData() {
    Status(Separator);
    SendIndex = 0;
    Status("Transmission des données");
    Step = ProgressMaximum / SlotCount;
    Reporter.ShowProgress(true);
    SetPosition(0);
    Reporter.SetTimerInterval(DataInterval);
    TransferState = StepData;
}

void TransferSession::DataStep() {
    if (Link->SendChannel(SendIndex) != Success) {
        Fail(TransmissionError);
        return;
    }
    SetPosition(Position + Step);
    ++SendIndex;
    if (SendIndex >= Link->ChannelCount())
        TransferState = StepEnd;
}

void TransferSession::EndStep() {
    SetPosition(ProgressMaximum);
    Status("Transmission réussie");
    Link->EndSession();
    StopTimer();
    Reporter.PostSessionSucceeded();
}

void TransferSession::Idle() {
    StopTimer();
    Reporter.SetQuitEnabled(true);
    Reporter.SetConnectionEnabled(true);
    Reporter.SetCancelEnabled(false);
    Reporter.ShowProgress(false);
    SetPosition(0);
}

void TransferSession::SessionFailed(SessionFailure code) {
    if (Link)
        Link->EndSession();
    Status(Separator);
    switch (code) {
    case WrongModel:
        Status("Mauvais type d'appareil");
        Reporter.ShowInformation("Le type d'appareil ne correspond pas à un Ignivelle.\n\n\r"
                                 "L'appareil n'est pas un Ignivelle!",
                                 InfoButton::Ok);
        break;
    case TransmissionError:
        Status("Erreur de transmission");
        Reporter.ShowInformation("Une erreur de transmission est survenue.\n\n\r Vous pouvez "
                                 "essayer de recommencer un autre transfert.",
                                 InfoButton::Ok);
        break;
    case SerialRefused:
        Status("Programmation abandonnée! Mauvais numéro de série.");
        break;
    }
    Idle();
    Status(Separator);
    Instructions();
}

void TransferSession::SessionSucceeded() {
    Reporter.Beep();
    Reporter.ShowInformation("La programmation du ignivelle a réussi.", InfoButton::Yes);
    Idle();
    Status(Separator);
    Instructions();
}

void TransferSession::Cancel() {
    StopTimer();
    Reporter.SetConnectionEnabled(true);
    if (Link)
        Link->EndSession();
    Reporter.CloseDialog();
}

void TransferSession::Quit() {
    StopTimer();
    Reporter.SetConnectionEnabled(true);
    if (Link) {
        Link->EndSession();
        Link->ClosePort();
    }
    Reporter.CloseDialog();
}

void TransferSession::Close() {
    StopTimer();
    if (Link)
        Link->EndSession();
}

} // namespace salvo
