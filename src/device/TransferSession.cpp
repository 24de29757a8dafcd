#include "device/TransferSession.h"

namespace salvo {

namespace {

std::string SerialMismatchText(uint32_t device, uint32_t expected) {
    return "Le numéro de série du ignivelle (" + std::to_string(device) +
           ") n'est pas le numéro de série enregistré (" + std::to_string(expected) +
           ")\n\n\rVoulez vous programmer ce ignivelle avec ce programme?";
}

std::string IncompleteText(int written) {
    return "Attention : l'appareil contient maintenant un programme incomplet (voies 1 à " +
           std::to_string(written) + " écrites). Recommencez le transfert.";
}

} // namespace

void TransferSession::Activate() {
    DeviceSession::Activate();
    if (Incomplete > 0)
        Status(IncompleteText(Incomplete));
}

void TransferSession::Start() {
    TransferState = StepSearch;
    Writing = false;
    Incomplete = 0;
    OpenForSearch();
}

std::string TransferSession::IncompleteWarning() {
    if (!Writing)
        return {};
    Writing = false;
    // The device now holds new channels up to SendIndex and old ones after it.
    if (SendIndex <= 0 || !Link || SendIndex >= Link->ChannelCount())
        return {};
    Incomplete = SendIndex;
    return IncompleteText(Incomplete);
}

void TransferSession::Close() {
    if (std::string warning = IncompleteWarning(); !warning.empty())
        Status(warning);
    DeviceSession::Close();
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

void TransferSession::SearchStep() {
    if (Search())
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
    if (Questions.AskSerialMismatch(SerialMismatchText(serial, ExpectedSerial))) {
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
    Writing = true;
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
    Writing = false;
    SetPosition(ProgressMaximum);
    Status("Transmission réussie");
    Link->EndSession();
    StopTimer();
    Reporter.PostSessionSucceeded();
}

void TransferSession::SessionFailed(SessionFailure code) {
    const std::string warning = IncompleteWarning();
    switch (code) {
    case WrongModel:
        FailedEnding("Mauvais type d'appareil", MsgWrongModel, warning);
        break;
    case TransmissionError:
        FailedEnding("Erreur de transmission",
                     "Une erreur de transmission est survenue.\n\n\r Vous pouvez essayer de "
                     "recommencer un autre transfert.",
                     warning);
        break;
    case SerialRefused:
        FailedEnding("Programmation abandonnée! Mauvais numéro de série.", nullptr, warning);
        break;
    default:
        FailedEnding(nullptr, nullptr, warning);
        break;
    }
}

void TransferSession::SessionSucceeded() {
    Reporter.Beep();
    Reporter.ShowInformation("La programmation du ignivelle a réussi.", InfoButton::Yes);
    BackToIdle();
}

} // namespace salvo
