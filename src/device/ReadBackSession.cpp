#include "device/ReadBackSession.h"

#include "model/program/TimeText.h"

#include <cstring>

namespace salvo {

const std::array<const char*, 3> ReadBackInstructionLines = {
    InstructionLines[0],
    InstructionLines[1],
    "Appuyez sur \"Connecter\" pour lancer la lecture.",
};

namespace {

constexpr uint16_t AutomaticBit = 0x8000;

const char* TypeName(bool automatic) {
    return ChannelTypeNames[automatic ? 1 : 0];
}

// The model whose type code this is, or -1.
int ModelOfTypeCode(const char (&code)[4]) {
    for (int m = 0; m < ModelCount; ++m)
        if (std::memcmp(code, TypeCodes[static_cast<size_t>(m)], 3) == 0)
            return m;
    return -1;
}

} // namespace

void LoadDeviceChannels(ChannelTable& table, const DeviceContents& contents) {
    table.SetModel(contents.Model);
    for (int i = 0; i < contents.ChannelCount(); ++i) {
        uint16_t word = contents.Words[static_cast<size_t>(i)];
        ChannelSlot& slot = table.Slots[static_cast<size_t>(i)];
        slot.Type = (i > 0 && (word & AutomaticBit)) ? Automatic : Manual;
        slot.Steps = word & 0x7FFFu;
    }
}

void ReadBackSession::Start() {
    ReadState = ReadStepSearch;
    ReadIndex = 0;
    Device = DeviceContents{};
    Complete = false;
    OpenForSearch();
}

void ReadBackSession::Tick() {
    if (!Link) {
        StopTimer();
        return;
    }
    switch (ReadState) {
    case ReadStepModel:
        ModelStep();
        break;
    case ReadStepSerial:
        SerialStep();
        break;
    case ReadStepData:
        DataStep();
        break;
    default:
        if (ReadState >= ReadStepEnd)
            EndStep();
        else
            SearchStep();
        break;
    }
}

void ReadBackSession::SearchStep() {
    if (!Search())
        return;
    ReadState = ReadStepModel;
    Reporter.SetTimerInterval(ReadInterval);
}

void ReadBackSession::ModelStep() {
    Status("Demande du type d'appareil");
    char code[4] = {0, 0, 0, 0};
    if (Link->ReadCheckedTypeCode(code) != Success) {
        Fail(TransmissionError);
        return;
    }
    int model = ModelOfTypeCode(code);
    // Only a device of the document's model can hold the document's program.
    if (model < 0 || (Mode == ReadBackMode::Verify && model != Link->Model)) {
        Fail(WrongModel);
        return;
    }
    Device.Model = model;
    Status(ModelNames[static_cast<size_t>(model)]);
    Status(Separator);
    ReadState = ReadStepSerial;
}

void ReadBackSession::SerialStep() {
    Status("Demande du numéro de série");
    uint32_t serial = 0;
    for (int i = 0; i < 4; ++i) {
        int byte = 0;
        if (Link->ReadCheckedRegister(SerialNumberRegister + i, byte) != Success) {
            Fail(TransmissionError);
            return;
        }
        serial |= static_cast<uint32_t>(byte) << (8 * i);
    }
    Status("Le numéro de série est : " + std::to_string(serial));
    int major = 0;
    int minor = 0;
    if (Link->ReadCheckedRegister(VersionMajorRegister, major) != Success ||
        Link->ReadCheckedRegister(VersionMinorRegister, minor) != Success) {
        Fail(TransmissionError);
        return;
    }
    Status(VersionText(major, minor));
    Device.SerialNumber = serial;
    Device.VersionMajor = major;
    Device.VersionMinor = minor;

    Status(Separator);
    Status("Lecture des données");
    ReadIndex = 0;
    Reporter.ShowProgress(true);
    SetPosition(0);
    ReadState = ReadStepData;
}

void ReadBackSession::DataStep() {
    int low = 0;
    int high = 0;
    if (Link->ReadCheckedRegister(2 * ReadIndex, low) != Success ||
        Link->ReadCheckedRegister(2 * ReadIndex + 1, high) != Success) {
        Fail(TransmissionError);
        return;
    }
    Device.Words[static_cast<size_t>(ReadIndex)] = static_cast<uint16_t>(low | high << 8);
    ++ReadIndex;
    int count = Device.ChannelCount();
    SetPosition(ProgressMaximum * ReadIndex / count);
    if (ReadIndex >= count)
        ReadState = ReadStepEnd;
}

void ReadBackSession::EndStep() {
    SetPosition(ProgressMaximum);
    Status("Lecture réussie");
    Complete = true;
    Link->EndSession();
    StopTimer();
    Reporter.PostSessionSucceeded();
}

void ReadBackSession::SessionFailed(SessionFailure code) {
    Complete = false;
    if (code == WrongModel)
        FailedEnding("Mauvais type d'appareil", MsgWrongModel);
    else
        FailedEnding("Erreur de transmission", "Une erreur de transmission est survenue.\n\n"
                                               "Vous pouvez recommencer la lecture.");
}

void ReadBackSession::Close() {
    Complete = false;
    DeviceSession::Close();
}

void ReadBackSession::SessionSucceeded() {
    if (!Complete) // only a read that went to its end has anything to show
        return;
    if (Mode == ReadBackMode::Verify) {
        Verdict();
    } else {
        if (Device.Words[0] & AutomaticBit)
            Status("La voie 1 est automatique dans l'appareil : elle est lue Manuel, la voie 1 "
                   "étant toujours manuelle.");
        Results.ProgramRead(Device);
    }
    BackToIdle();
}

void ReadBackSession::Verdict() {
    ChannelTable program;
    program.CopyTableFrom(*Link);
    ChannelTable device;
    LoadDeviceChannels(device, Device);
    std::string differing;
    for (int i = 0; i < Device.ChannelCount(); ++i) {
        uint16_t word = Device.Words[static_cast<size_t>(i)];
        if (word == program.ChannelWord(i))
            continue;
        std::string n = std::to_string(i + 1);
        // A channel's time may agree while its own delay does not: both are shown, each side in
        // the same form.
        auto side = [this](const char* who, bool automatic, ChannelTable& table, int index) {
            return std::string(who) + " " + TypeName(automatic) + ", retard " +
                   FormatTime(table.GetStepDelay(index), DecimalSeparator) + " s (à " +
                   FormatTime(table.GetChannelTime(index), DecimalSeparator) + " s)";
        };
        Status("Voie " + n + " : " +
               side("programme", program.GetChannelType(i) == Automatic, program, i) + " ; " +
               side("appareil", (word & AutomaticBit) != 0, device, i));
        differing += (differing.empty() ? "" : ", ") + n;
    }
    if (Device.SerialNumber != ExpectedSerial)
        Status("Le numéro de série de l'appareil (" + std::to_string(Device.SerialNumber) +
               ") n'est pas celui du programme (" + std::to_string(ExpectedSerial) + ").");
    if (differing.empty())
        Reporter.ShowInformation("L'appareil contient exactement ce programme.", InfoButton::Ok);
    else
        Results.ShowWarning(
            "L'appareil ne contient pas ce programme.\n\nVoies différentes : " + differing + ".");
}

} // namespace salvo
